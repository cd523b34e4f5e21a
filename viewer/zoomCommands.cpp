#include "viewer/handlers.h"
#include "viewer/viewState.h"

#include <cmath>

namespace {

constexpr double zoomInFactor = 1.2;
constexpr double zoomOutFactor = 0.8;
constexpr double wheelStep = 0.2;
constexpr double wheelFloor = 0.01;

// A zoom factor the redraw can use: finite, and the picture's drawn size still a signed 32-bit
// number of pixels. A picture of 0 x 0 leaves only the finiteness to check.
bool drawSizeFits(double scale)
{
    return std::isfinite(scale) && double(pictureWidth) * scale <= 2147483647.0 &&
           double(pictureHeight) * scale <= 2147483647.0;
}

} // namespace

void onZoomInClicked()
{
    const double zoomed = view->scale * zoomInFactor;
    if (drawSizeFits(zoomed)) {
        view->scale = zoomed;
    }
    redrawView();
}

void onZoomOutClicked()
{
    // No lower limit: the product shrinks toward the smallest double but never reaches zero.
    view->scale = view->scale * zoomOutFactor;
    redrawView();
}

void onViewWheel(std::int32_t distance, std::int32_t)
{
    const double step = double(distance) * wheelStep;
    double wheeled = view->scale + step;
    if (lessThan(wheeled, wheelFloor)) {
        wheeled = wheelFloor;
    }
    if (drawSizeFits(wheeled)) {
        view->scale = wheeled;
    }
    redrawView();
}
