#include "display/canvas.h"
#include "viewer/handlers.h"
#include "viewer/viewState.h"

void onViewLeftPressed(std::int32_t x, std::int32_t y, std::int32_t)
{
    // A press while dragging starts over and drops the uncommitted movement.
    dragging = 1;
    dragStartX = x;
    dragStartY = y;
}

void onViewMouseMoved(std::int32_t x, std::int32_t y, std::int32_t)
{
    if (dragging == 0) {
        return;
    }
    const std::int64_t dx = truncToInt(double(x) - double(dragStartX));
    const std::int64_t dy = truncToInt(double(y) - double(dragStartY));
    // The middle third starts at (viewWidth, viewHeight); the window moves against the pointer so the
    // content seems to follow it. Nothing is drawn: the back canvas holds the last redraw.
    const std::int32_t backLeft = low32(truncToInt(double(viewWidth) - double(dx)));
    const std::int32_t backTop = low32(truncToInt(double(viewHeight) - double(dy)));
    画板后台->copyRect(backLeft, backTop, viewWidth, viewHeight, *画板, 0, 0);
}

void onViewLeftReleased(std::int32_t x, std::int32_t y, std::int32_t)
{
    if (dragging == 1) {
        // The picture moves by the pointer's travel since the press: offset + (x - start).
        view->offsetX = truncToInt((double(view->offsetX) + double(x)) - double(dragStartX));
        view->offsetY = truncToInt((double(view->offsetY) + double(y)) - double(dragStartY));
        redrawView();
    }
    dragging = 0;
}
