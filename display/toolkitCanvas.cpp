#include "display/toolkitCanvas.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

CanvasWidget::CanvasWidget(ToolkitCanvas& canvas, QWidget* parent) : QWidget(parent), canvas_(canvas)
{
    // Every pixel of the widget is painted from the array or the border: nothing shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

int CanvasWidget::borderWidth() const
{
    return canvas_.borderStyle() == BorderStyle::singleLine ? 1 : 0;
}

void CanvasWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const int border = borderWidth();
    if (border != 0) {
        // The focus shows on the border alone, so it never covers a pixel of the picture. QWidget
        // repaints a focusable widget whenever it gains or loses the focus.
        painter.setPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Shadow));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(0, 0, width() - 1, height() - 1);
    }
    // The client area shows the array as it was last drawn, whether or not the canvas keeps a store.
    const QRect client(border, border, canvas_.clientWidth(), canvas_.clientHeight());
    const QRect area = event->rect() & client;
    if (area.isEmpty()) {
        return;
    }
    const QImage image(reinterpret_cast<const uchar*>(canvas_.pixels()), canvas_.arrayWidth(),
                       canvas_.arrayHeight(), qsizetype(canvas_.arrayWidth()) * 4, QImage::Format_RGB32);
    painter.drawImage(area, image, area.translated(-border, -border));
}

ToolkitCanvas::ToolkitCanvas(const CanvasSettings& settings, QWidget* parent, int left, int top)
    : Canvas(settings), widget_(new CanvasWidget(*this, parent))
{
    widget_->setGeometry(left, top, width(), height());
    widget_->setVisible(settings.visible);
    setDisplayDepth(widget_->depth());
}

ToolkitCanvas::~ToolkitCanvas()
{
    delete widget_.data();
}

bool ToolkitCanvas::visible() const
{
    return widget_ != nullptr && widget_->isVisible();
}

void ToolkitCanvas::setVisible(bool visible)
{
    Canvas::setVisible(visible);
    if (widget_ != nullptr) {
        widget_->setVisible(visible);
    }
}

void ToolkitCanvas::pixelsChanged(const PixelRect& area)
{
    // Painted now, not at the next turn of the event loop: the change is on the display on return.
    if (widget_ != nullptr && widget_->isVisible()) {
        const int border = widget_->borderWidth();
        widget_->repaint(int(area.left) + border, int(area.top) + border, int(area.width), int(area.height));
    }
}

void ToolkitCanvas::sizeChanged()
{
    if (widget_ != nullptr) {
        widget_->resize(width(), height());
    }
}
