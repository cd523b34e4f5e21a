#include "app/onWindowCreated.h"

#include "display/canvas.h"
#include "viewer/viewState.h"

void onWindowCreated()
{
    // Outer sizes, border included: the view's two border pixels each way are part of the thirds.
    viewWidth = 画板->width();
    viewHeight = 画板->height();
    // Two separate resizes, width first.
    画板后台->setWidth(low32(truncToInt(double(viewWidth) * 3.0)));
    画板后台->setHeight(low32(truncToInt(double(viewHeight) * 3.0)));
    画板后台->setVisible(false);
    view->offsetX = viewWidth;
    view->offsetY = viewHeight;
    view->scale = 1.0;
    dragging = 0;
}

void onLabel2Feedback(std::int32_t, std::int32_t) {}
