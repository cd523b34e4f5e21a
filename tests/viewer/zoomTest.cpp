#include "display/pictureStore.h"
#include "tests/support/viewerFixture.h"
#include "viewer/handlers.h"

#include <cfloat>
#include <cmath>
#include <vector>

namespace {

using ZoomTest = ViewerFixture;

TEST_F(ZoomTest, WheelStepsAddAFifthPerNotchAndStopAt001)
{
    struct Case {
        const char* name;
        double start;
        std::vector<std::int32_t> distances;
        double expected;
    };
    const Case cases[] = {
        {"one notch down", 1.0, {-1}, 0.8},
        {"five notches down stop at the floor", 1.0, {-1, -1, -1, -1, -1}, 0.01},
        {"the fourth of five leaves 5.55e-17 first", 1.0, {-1, -1, -1, -1}, 0.20000000000000007},
        {"two notches at once", 1.0, {2}, 1.4},
        {"less than a notch", 1.0, {0}, 1.0},
        {"far below the floor", 1.0, {-1000}, 0.01},
        {"up from the floor", 0.01, {1}, 0.21000000000000002},
        {"a zoom-out factor below the floor is lifted by distance 0", 0.005, {0}, 0.01},
        {"or left at 0.005 + 0.2", 0.005, {1}, 0.005 + 0.2},
        {"1e-7 below the floor counts as on it", 0.01 - 1e-7, {0}, 0.01 - 1e-7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view->scale = c.start;
        for (std::int32_t distance : c.distances) {
            onViewWheel(distance, 0);
        }
        EXPECT_EQ(view->scale, c.expected);
    }
}

TEST_F(ZoomTest, ButtonsMultiplyWithoutSnapping)
{
    showPicture(60, 40);
    onZoomInClicked();
    EXPECT_EQ(view->scale, 1.2);
    // 72 x 48 at home.
    EXPECT_EQ(canvasPixels(*viewCanvas), referenceView(pictureId, 432, 336, 72, 48));
    onZoomOutClicked();
    EXPECT_EQ(view->scale, 0.96);
    EXPECT_EQ(canvasPixels(*viewCanvas), referenceView(pictureId, 432, 336, 57, 38));
    EXPECT_EQ(view->offsetX, 432);
    EXPECT_EQ(view->offsetY, 336);
}

TEST_F(ZoomTest, EveryZoomRedraws)
{
    showPicture(60, 40);
    // Left of the visible third: the redraw sends the picture home.
    struct Case {
        const char* name;
        void (*zoom)();
    };
    const Case cases[] = {
        {"wheel distance 0", [] { onViewWheel(0, 0); }},
        {"zoom in", onZoomInClicked},
        {"zoom out", onZoomOutClicked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view->scale = 1.0;
        redrawView();
        view->offsetX = 300;
        viewCanvas->clear();
        c.zoom();
        EXPECT_EQ(view->offsetX, 432);
        EXPECT_EQ(view->offsetY, 336);
        const std::int32_t drawWidth = std::int32_t(60 * view->scale);
        const std::int32_t drawHeight = std::int32_t(40 * view->scale);
        EXPECT_EQ(canvasPixels(*viewCanvas), referenceView(pictureId, 432, 336, drawWidth, drawHeight));
    }
}

// Zooming in stops where the drawn size would leave the signed 32-bit range; up to there the picture
// is drawn, its top-left pixel now filling the whole view.
TEST_F(ZoomTest, ZoomInStopsBeforeTheDrawnSizeLeaves32Bits)
{
    struct Case {
        const char* name;
        std::int32_t width;
        std::int32_t height;
    };
    const Case cases[] = {
        {"1 x 1", 1, 1},
        {"the height binds", 2, 3},
        {"the width binds", 16384, 1},
    };
    const std::uint32_t topLeft = 0xFF2060A0u;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        unloadPicture(pictureId);
        pictureId = addPatternPicture(c.width, c.height, [&](std::int32_t x, std::int32_t y) {
            return x == 0 && y == 0 ? topLeft : 0xFF000000u;
        });
        pictureWidth = c.width;
        pictureHeight = c.height;
        const double longer = double(std::max(c.width, c.height));
        // The factor that many clicks from 1.0 give, a few clicks short of the bound.
        double expected = 1.0;
        while (expected * 1.2 * 1.2 * 1.2 * 1.2 * longer <= 2147483647.0) {
            expected *= 1.2;
        }
        view->scale = expected;
        for (int click = 0; click < 6; ++click) {
            onZoomInClicked();
            if (expected * 1.2 * longer <= 2147483647.0) {
                expected *= 1.2;
            }
            ASSERT_EQ(view->scale, expected) << "after click " << click;
        }
        EXPECT_LE(view->scale * longer, 2147483647.0);
        EXPECT_GT(view->scale * 1.2 * longer, 2147483647.0);
        EXPECT_EQ(view->offsetX, 432);
        EXPECT_EQ(view->offsetY, 336);
        EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return topLeft; }));

        // The wheel is held to the same bound, and a refused step still redraws.
        const double bounded = view->scale;
        viewCanvas->clear();
        onViewWheel(INT32_MAX, 0);
        EXPECT_EQ(view->scale, bounded);
        EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return topLeft; }));
        onZoomOutClicked();
        EXPECT_EQ(view->scale, bounded * 0.8);
        TearDown();
    }
}

TEST_F(ZoomTest, TheBoundAdmits2To31Minus1Exactly)
{
    const std::uint32_t colour = 0xFF406080u;
    pictureId = addPatternPicture(1, 1, [&](std::int32_t, std::int32_t) { return colour; });
    pictureWidth = 1;
    pictureHeight = 1;
    view->scale = 2147483646.0;
    onViewWheel(5, 0); // 5 * 0.2 is exactly 1
    EXPECT_EQ(view->scale, 2147483647.0);
    EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return colour; }));
    onViewWheel(5, 0);
    EXPECT_EQ(view->scale, 2147483647.0);
    onViewWheel(INT32_MAX, 0);
    EXPECT_EQ(view->scale, 2147483647.0);
    onViewWheel(-5, 0);
    EXPECT_EQ(view->scale, 2147483646.0);
}

// With no size to bound it (no picture, or a picture of 0 x 0) the factor may grow but never becomes
// infinite.
TEST_F(ZoomTest, TheFactorStaysFinite)
{
    struct Case {
        const char* name;
        bool emptyPicture;
        std::uint32_t shown; // nothing to draw: the view stays white, or shows the cleared face
    };
    for (const Case& c : {Case{"no picture", false, viewWhite}, Case{"a 0 x 0 picture", true, fixtureFace}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.emptyPicture) {
            pictureId = addPatternPicture(0, 0);
            ASSERT_NE(pictureId, 0);
        }
        view->scale = DBL_MAX / 1.3;
        onZoomInClicked();
        EXPECT_EQ(view->scale, DBL_MAX / 1.3 * 1.2);
        onZoomInClicked();
        EXPECT_EQ(view->scale, DBL_MAX / 1.3 * 1.2);
        view->scale = DBL_MAX;
        onViewWheel(INT32_MAX, 0);
        EXPECT_TRUE(std::isfinite(view->scale));
        EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return c.shown; }));
        TearDown();
    }
}

// Zoom-out has no floor: every click is the exact product, and the factor never reaches zero.
TEST_F(ZoomTest, ZoomOutHasNoFloorAndNeverReachesZero)
{
    showPicture(60, 40);
    view->scale = 0x1p-1000;
    onZoomOutClicked();
    EXPECT_EQ(view->scale, 0x1p-1000 * 0.8);
    for (int click = 0; click < 200; ++click) {
        onZoomOutClicked();
    }
    EXPECT_GT(view->scale, 0.0);
    EXPECT_LT(view->scale, DBL_MIN);
    // Nothing of the picture is left to draw: the view shows the face colour alone.
    EXPECT_TRUE(canvasShows(*viewCanvas, [](std::int32_t, std::int32_t) { return fixtureFace; }));
}

} // namespace
