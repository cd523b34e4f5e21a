#include "platform/widgets.h"

#include "display/toolkitCanvas.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

QColor toColor(CanvasColour colour)
{
    return QColor::fromRgb(colour.resolve());
}

} // namespace

WindowWidget::WindowWidget(const WindowDesign& design)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint),
      design_(design)
{
    setWindowTitle(QString::fromUtf8(design.caption.data(), qsizetype(design.caption.size())));
    setAttribute(Qt::WA_DeleteOnClose);
    // Before the frame is known the client area gets the whole outer size; fitOuterSize corrects it.
    setFixedSize(design.outerWidth, design.outerHeight);
}

void WindowWidget::placeFrame(QPoint topLeft)
{
    framePosition_ = topLeft;
    move(topLeft);
    fitOuterSize();
}

void WindowWidget::fitOuterSize()
{
    if (fitting_) {
        return;
    }
    // Until the frame is known (or where there is none) the frame and the client area coincide.
    const QRect frame = frameGeometry();
    const QSize margins = frame.size() - geometry().size();
    const QSize client(design_.outerWidth - margins.width(), design_.outerHeight - margins.height());
    fitting_ = true;
    if (client != size() && client.width() > 0 && client.height() > 0) {
        setFixedSize(client);
    }
    if (frameGeometry().topLeft() != framePosition_) {
        move(framePosition_);
    }
    fitting_ = false;
}

void WindowWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), toColor(design_.backgroundColour));
}

void WindowWidget::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    fitOuterSize();
}

void WindowWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The focused control shows its focus from the start, not only once the Tab key has been used:
    // the style draws a push button's focus frame only in a window marked so, and showing the window
    // clears the mark.
    setAttribute(Qt::WA_KeyboardFocusChange);
    fitOuterSize();
}

LabelWidget::LabelWidget(const ControlDesign& design, QWidget* parent) : QWidget(parent), design_(design)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LabelWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), toColor(design_.backgroundColour));
    const QString text = QString::fromUtf8(design_.text.data(), qsizetype(design_.text.size()));
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    if (design_.raisedText) {
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(rect(), flags, text);
        painter.setPen(toColor(design_.textColour));
        painter.drawText(rect().translated(1, 1), flags, text);
    } else {
        painter.setPen(toColor(design_.textColour));
        painter.drawText(rect(), flags, text);
    }
}

QAccessibleInterface* accessibleControl(const QString&, QObject* object)
{
    if (auto* label = dynamic_cast<LabelWidget*>(object)) {
        return new QAccessibleWidget(label, QAccessible::StaticText);
    }
    if (auto* canvas = dynamic_cast<CanvasWidget*>(object)) {
        return new QAccessibleWidget(canvas, QAccessible::Graphic);
    }
    return nullptr;
}

KeyboardRules::KeyboardRules(QWidget* window, std::vector<QPointer<QWidget>> tabOrder)
    : QObject(window), window_(window), tabOrder_(std::move(tabOrder))
{
}

bool KeyboardRules::eventFilter(QObject*, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Escape:
        // Exactly as a click on the close box.
        if (window_ != nullptr) {
            window_->close();
        }
        return true;
    case Qt::Key_Tab:
        moveFocus(!(key->modifiers() & Qt::ShiftModifier));
        return true;
    case Qt::Key_Backtab:
        moveFocus(false);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F1:
        return true;
    default:
        return false;
    }
}

void KeyboardRules::moveFocus(bool forward)
{
    std::vector<QWidget*> order;
    for (const QPointer<QWidget>& widget : tabOrder_) {
        if (widget != nullptr && widget->isVisible() && widget->isEnabled()) {
            order.push_back(widget);
        }
    }
    if (order.empty()) {
        return;
    }
    const std::ptrdiff_t count = std::ssize(order);
    const auto current = std::find(order.begin(), order.end(), QApplication::focusWidget());
    std::ptrdiff_t next = 0;
    if (current != order.end()) {
        next = (current - order.begin() + (forward ? 1 : count - 1)) % count;
    } else if (!forward) {
        next = count - 1;
    }
    order[std::size_t(next)]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

std::int32_t keyBits(Qt::KeyboardModifiers modifiers)
{
    std::int32_t keys = 0;
    if (modifiers & Qt::ControlModifier) {
        keys |= keyCtrl;
    }
    if (modifiers & Qt::ShiftModifier) {
        keys |= keyShift;
    }
    if (modifiers & Qt::AltModifier) {
        keys |= keyAlt;
    }
    return keys;
}

CanvasInput::CanvasInput(EventSource source, ToolkitCanvas& canvas)
    : QObject(canvas.widget()), source_(source), canvas_(canvas)
{
}

CanvasInput::ClientPoint CanvasInput::clientPoint(QPointF widgetPosition, bool clamped) const
{
    const int border = canvas_.borderStyle() == BorderStyle::singleLine ? 1 : 0;
    const std::int32_t x = std::int32_t(std::floor(widgetPosition.x())) - border;
    const std::int32_t y = std::int32_t(std::floor(widgetPosition.y())) - border;
    const std::int32_t width = canvas_.clientWidth();
    const std::int32_t height = canvas_.clientHeight();
    const bool inside = x >= 0 && y >= 0 && x < width && y < height;
    if (!clamped || inside || width == 0 || height == 0) {
        return {x, y, inside};
    }
    return {std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1), true};
}

void CanvasInput::raise(std::int32_t identifier, const ClientPoint& point, std::int32_t keys) const
{
    raiseEvent(source_, identifier, {point.x, point.y, keys});
}

bool CanvasInput::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const ClientPoint point = clientPoint(mouse->position(), false);
        const std::int32_t keys = keyBits(mouse->modifiers());
        if (mouse->button() == Qt::LeftButton) {
            // The press that completes a double-click is reported once, as double-clicked.
            if ((mouse->flags() & Qt::MouseEventCreatedDoubleClick) == 0 && point.inside) {
                leftDrag_ = true;
                raise(eventLeftPressed, point, keys);
            }
        } else if (mouse->button() == Qt::RightButton && point.inside) {
            raise(eventRightPressed, point, keys);
        }
        break;
    }
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const ClientPoint point = clientPoint(mouse->position(), false);
        if (mouse->button() == Qt::LeftButton && point.inside) {
            raise(eventLeftDoubleClicked, point, keyBits(mouse->modifiers()));
        }
        break;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const std::int32_t keys = keyBits(mouse->modifiers());
        if (leftDrag_ && (mouse->buttons() & Qt::LeftButton) == 0) {
            // The release got lost (the toolkit's grab was broken): end the drag now.
            leftDrag_ = false;
            raise(eventLeftReleased, clientPoint(mouse->position(), true), keys);
        }
        const ClientPoint point = clientPoint(mouse->position(), leftDrag_);
        if (point.inside) {
            raise(eventMouseMoved, point, keys);
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const std::int32_t keys = keyBits(mouse->modifiers());
        if (mouse->button() == Qt::LeftButton) {
            const ClientPoint point = clientPoint(mouse->position(), leftDrag_);
            leftDrag_ = false;
            if (point.inside) {
                raise(eventLeftReleased, point, keys);
            }
        } else if (mouse->button() == Qt::RightButton) {
            const ClientPoint point = clientPoint(mouse->position(), false);
            if (point.inside) {
                raise(eventRightReleased, point, keys);
            }
        }
        break;
    }
    case QEvent::Wheel: {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const QPoint delta = wheel->angleDelta();
        // Only the vertical wheel zooms; a purely sideways turn raises nothing.
        if (delta.y() == 0 && delta.x() != 0) {
            break;
        }
        if (clientPoint(wheel->position(), false).inside) {
            raiseEvent(source_, eventWheelScrolled, {wheelDistance(delta.y()), keyBits(wheel->modifiers())});
        }
        break;
    }
    default:
        break;
    }
    // Handlers never consume input: the control's own processing follows.
    return false;
}
