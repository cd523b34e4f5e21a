#include "tests/support/viewerFixture.h"
#include "viewer/handlers.h"

#include <cfloat>
#include <chrono>
#include <cmath>
#include <sys/resource.h>

namespace {

using HostileStateTest = ViewerFixture;

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Zoom factors from the smallest subnormal to the largest double.
const double extremeScales[] = {4.9406564584124654e-324,
                                DBL_MIN,
                                1e-300,
                                1e-200,
                                1e-100,
                                1e-20,
                                1e-9,
                                1e-3,
                                0.01,
                                1.0 / 48,
                                0.5,
                                1.0,
                                1.2,
                                7.5,
                                1e3,
                                33554431.0, // 64 x this is just below 2^31
                                33554432.0, // 64 x this is 2^31: low 32 bits negative
                                1e9,
                                1e20,
                                1e100,
                                1e200,
                                1e300,
                                DBL_MAX};

TEST_F(HostileStateTest, EveryZoomFactorRedrawsWhatItsDrawSizeSays)
{
    showPicture(64, 48);
    const auto redrawAt = [](double scale) {
        view->scale = scale;
        view->offsetX = 432;
        view->offsetY = 336;
        redrawView();
    };
    // The scaler's work and memory follow the visible area, never the drawn size: a drawing 2^31
    // pixels wide costs no more than one of the view's size. (Measured before the comparisons below,
    // whose reference canvases take memory of their own.)
    const long residentBefore = peakResidentKiB();
    const auto start = std::chrono::steady_clock::now();
    for (double scale : extremeScales) {
        redrawAt(scale);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_LT(peakResidentKiB() - residentBefore, 64 * 1024);

    for (double scale : extremeScales) {
        SCOPED_TRACE(scale);
        redrawAt(scale);
        // The draw size goes through truncToInt (saturating at the 64-bit ends) and its low 32
        // bits; a picture drawn right or below the view stays, one whose end lies left of or above
        // the view's edge goes home.
        const std::int32_t drawWidth = low32(truncToInt(64.0 * scale));
        const std::int32_t drawHeight = low32(truncToInt(48.0 * scale));
        EXPECT_EQ(view->scale, scale);
        EXPECT_EQ(canvasPixels(*viewCanvas), referenceView(pictureId, low32(view->offsetX),
                                                           low32(view->offsetY), drawWidth, drawHeight));
    }
}

TEST_F(HostileStateTest, HandlersAtEveryZoomFactorKeepItFiniteAndPositive)
{
    showPicture(64, 48);
    const long residentBefore = peakResidentKiB();
    const auto start = std::chrono::steady_clock::now();
    for (double scale : extremeScales) {
        SCOPED_TRACE(scale);
        const auto check = [](const char* step) {
            SCOPED_TRACE(step);
            ASSERT_TRUE(std::isfinite(view->scale));
            ASSERT_GT(view->scale, 0.0);
        };
        view->scale = scale;
        onZoomInClicked();
        check("zoom in");
        onZoomOutClicked();
        check("zoom out");
        for (std::int32_t distance : {1, -1, INT32_MAX, INT32_MIN, 0}) {
            view->scale = scale;
            onViewWheel(distance, 0);
            check("wheel");
        }
        // A zoom in that would make the drawing wider than 2^31 - 1 pixels leaves the factor alone.
        view->scale = scale;
        onZoomInClicked();
        if (64.0 * scale * 1.2 > 2147483647.0) {
            EXPECT_EQ(view->scale, scale);
        }
        onViewLeftPressed(INT32_MIN, INT32_MAX, 0);
        onViewMouseMoved(INT32_MAX, INT32_MIN, 0);
        onViewLeftReleased(INT32_MAX, INT32_MIN, 0);
        check("drag");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_LT(peakResidentKiB() - residentBefore, 64 * 1024);
}

TEST_F(HostileStateTest, DragsAtTheEdgesOfThe32And64BitRanges)
{
    showPicture(64, 48);
    struct Case {
        const char* name;
        std::int64_t offsetX;
        std::int64_t offsetY;
        std::int32_t pressX, pressY, releaseX, releaseY;
        std::int64_t expectedX; // before the redraw's home rule
        std::int64_t expectedY;
    };
    const Case cases[] = {
        // The travel is taken in doubles: INT32_MAX - INT32_MIN = 2^32 - 1, exactly.
        {"32-bit extremes from home", 432, 336, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 432 + 4294967295,
         336 + 4294967295},
        // Near the 64-bit end the sum saturates instead of wrapping.
        {"saturates at INT64_MAX", INT64_MAX, INT64_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX,
         INT64_MAX, INT64_MAX},
        {"a drag left from INT64_MIN saturates there, then goes home", INT64_MIN, INT64_MIN, INT32_MAX,
         INT32_MAX, INT32_MIN, INT32_MIN, 432, 336},
        {"no travel at INT64_MAX keeps it (rounded through a double)", INT64_MAX, INT64_MAX, 5, 5, 5, 5,
         INT64_MAX, INT64_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view->scale = 1.0;
        view->offsetX = c.offsetX;
        view->offsetY = c.offsetY;
        onViewLeftPressed(c.pressX, c.pressY, 0);
        // The preview's window may lie anywhere, even wholly outside the back canvas.
        onViewMouseMoved(c.releaseX, c.releaseY, 0);
        onViewMouseMoved(c.pressX, c.pressY, 0);
        onViewLeftReleased(c.releaseX, c.releaseY, 0);
        EXPECT_EQ(view->offsetX, c.expectedX);
        EXPECT_EQ(view->offsetY, c.expectedY);
        EXPECT_EQ(dragging, 0);
        EXPECT_EQ(canvasPixels(*viewCanvas),
                  referenceView(pictureId, low32(view->offsetX), low32(view->offsetY), 64, 48));
    }
}

} // namespace
