#include "display/canvas.h"
#include "viewer/viewState.h"

void redrawView()
{
    if (pictureId == 0) {
        return;
    }
    const std::int32_t drawWidth = low32(truncToInt(double(pictureWidth) * view->scale));
    const std::int32_t drawHeight = low32(truncToInt(double(pictureHeight) * view->scale));
    // Only drift left or up sends the picture home; one lying right of or below the view stays.
    if (lessThan((double(view->offsetX) + double(drawWidth)), double(viewWidth)) ||
        lessThan((double(view->offsetY) + double(drawHeight)), double(viewHeight))) {
        view->offsetX = viewWidth;
        view->offsetY = viewHeight;
    }
    // Clearing the back canvas and drawing the picture: only what the picture leaves uncovered is cleared.
    画板后台->clearAndDrawPicture(pictureId, low32(view->offsetX), low32(view->offsetY), drawWidth,
                                  drawHeight);
    画板后台->copyRect(viewWidth, viewHeight, viewWidth, viewHeight, *画板, 0, 0);
}
