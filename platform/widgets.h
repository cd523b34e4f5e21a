#pragma once

// The platform layer's widgets and input rules over Qt. Internal to platform/.

#include "platform/platform.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

class QAccessibleInterface;
class ToolkitCanvas;

// A top-level window of the design: fixed outer size, system menu and close box only, painted in its
// background colour (the face colour looked up at every paint).
class WindowWidget : public QWidget {
  public:
    explicit WindowWidget(const WindowDesign& design);

    // Puts the frame's top-left corner there, now and whenever the frame becomes known.
    void placeFrame(QPoint topLeft);

    // Sets the client size so that the frame around it has the design's outer size, and the frame
    // where placeFrame put it.
    void fitOuterSize();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    const WindowDesign& design_;
    QPoint framePosition_;
    bool fitting_ = false;
};

// A label: background filled, text on one line, left-aligned and centred vertically; a raised text is
// drawn in white first and in its colour one pixel right and down.
class LabelWidget : public QWidget {
  public:
    LabelWidget(const ControlDesign& design, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const ControlDesign& design_;
};

// The window's keyboard rules, looked at before the focused control gets a key: Escape asks the
// window to close, Tab and Shift+Tab move the focus through the Tab order with wrap-around, Enter
// and F1 do nothing.
class KeyboardRules : public QObject {
  public:
    KeyboardRules(QWidget* window, std::vector<QPointer<QWidget>> tabOrder);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void moveFocus(bool forward);

    QPointer<QWidget> window_;
    std::vector<QPointer<QWidget>> tabOrder_;
};

// Turns the pointer input of a canvas into its events, in client coordinates. A left-button drag that
// began in the client area keeps its events until the button goes up, wherever the pointer goes, with
// the position clamped into the client area. The press that completes a double-click is reported as
// double-clicked, not as pressed. The wheel is raised while the pointer is over the canvas. The input
// then goes on as if no handler had run.
class CanvasInput : public QObject {
  public:
    CanvasInput(EventSource source, ToolkitCanvas& canvas);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct ClientPoint {
        std::int32_t x = 0;
        std::int32_t y = 0;
        bool inside = false;
    };
    ClientPoint clientPoint(QPointF widgetPosition, bool clamped) const;
    void raise(std::int32_t identifier, const ClientPoint& point, std::int32_t keys) const;

    EventSource source_;
    ToolkitCanvas& canvas_;
    bool leftDrag_ = false;
};

// The accessible face of the window's own kinds of control: a label is static text and a canvas a
// picture; null for every other object, which the toolkit describes itself.
QAccessibleInterface* accessibleControl(const QString& key, QObject* object);

// Modifier bits of the keys parameter: 1 Ctrl, 2 Shift, 4 Alt.
std::int32_t keyBits(Qt::KeyboardModifiers modifiers);
