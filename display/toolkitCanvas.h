#pragma once

#include "display/canvas.h"

#include <QPointer>
#include <QWidget>

class ToolkitCanvas;

// The on-screen face of a toolkit canvas: its border and its pixel array. While the canvas has the
// keyboard focus its border is drawn in the palette's highlight colour; the client area never shows
// anything but the array.
class CanvasWidget : public QWidget {
  public:
    CanvasWidget(ToolkitCanvas& canvas, QWidget* parent);

    // Where the client area starts inside the widget: 1 with a single-line border, else 0.
    int borderWidth() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ToolkitCanvas& canvas_;
};

// A canvas on a window. It draws into the same pixel array as the in-memory canvas, and every change
// is painted before the operation returns; whenever the display asks, the widget shows the array as
// last drawn, never a blank area.
class ToolkitCanvas : public Canvas {
  public:
    ToolkitCanvas(const CanvasSettings& settings, QWidget* parent, int left, int top);
    ~ToolkitCanvas() override;

    // Null once the window has destroyed the widget.
    QWidget* widget() const { return widget_; }

    // True only while the canvas and the window it sits in are both shown.
    bool visible() const override;
    void setVisible(bool visible) override;

  protected:
    void pixelsChanged(const PixelRect& area) override;
    void sizeChanged() override;

  private:
    QPointer<CanvasWidget> widget_;
};
