#include "tests/support/viewerFixture.h"
#include "viewer/handlers.h"

namespace {

using DragTest = ViewerFixture;

// The view as it shows a 60 x 40 pattern picture whose top-left corner lies at (left, top) of the
// view's client area, at scale 1.0.
auto patternAt(std::int64_t left, std::int64_t top)
{
    return [=](std::int32_t x, std::int32_t y) {
        const std::int64_t px = x - left;
        const std::int64_t py = y - top;
        return px >= 0 && px < 60 && py >= 0 && py < 40 ? patternPixel(std::int32_t(px), std::int32_t(py))
                                                        : fixtureFace;
    };
}

TEST_F(DragTest, PreviewCopiesAShiftedWindowAndReleaseCommits)
{
    showPicture(60, 40);
    // A picture away from the corner, so the shift shows on every side of it.
    onViewLeftPressed(0, 0, 0);
    onViewLeftReleased(50, 70, 0);
    ASSERT_TRUE(canvasShows(*viewCanvas, patternAt(50, 70)));
    const auto backBefore = canvasPixels(*backCanvas);

    onViewLeftPressed(100, 100, 0);
    EXPECT_EQ(dragging, 1);
    EXPECT_EQ(dragStartX, 100);
    EXPECT_EQ(dragStartY, 100);
    onViewMouseMoved(130, 90, 0);

    // The back-canvas window at left viewWidth - 30, top viewHeight + 10.
    EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t x, std::int32_t y) {
        return backCanvas->pixel(432 - 30 + x, 336 + 10 + y);
    }));
    EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(80, 60)));
    EXPECT_EQ(view->offsetX, 432 + 50);
    EXPECT_EQ(view->offsetY, 336 + 70);
    EXPECT_EQ(canvasPixels(*backCanvas), backBefore);

    onViewLeftReleased(130, 90, 0);
    EXPECT_EQ(view->offsetX, 432 + 50 + 30);
    EXPECT_EQ(view->offsetY, 336 + 70 - 10);
    EXPECT_EQ(dragging, 0);
    EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(80, 60)));
    EXPECT_TRUE(canvasShows(*backCanvas, [](std::int32_t x, std::int32_t y) {
        const std::int32_t px = x - (432 + 80);
        const std::int32_t py = y - (336 + 60);
        return px >= 0 && px < 60 && py >= 0 && py < 40 ? patternPixel(px, py) : fixtureFace;
    }));
}

// Content beyond the visible third shows in the preview: the back canvas holds it already.
TEST_F(DragTest, PreviewShowsWhatLiesOutsideTheVisibleThird)
{
    showPicture(60, 40);
    view->offsetX = 432 - 20; // 20 columns left of the visible third
    view->offsetY = 336 - 10;
    redrawView();
    ASSERT_TRUE(canvasShows(*viewCanvas, patternAt(-20, -10)));
    onViewLeftPressed(0, 0, 0);
    onViewMouseMoved(25, 15, 0);
    EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(5, 5)));
}

TEST_F(DragTest, PressWhileDraggingStartsOver)
{
    showPicture(60, 40);
    onViewLeftPressed(100, 100, 0);
    onViewMouseMoved(150, 150, 0);
    onViewLeftPressed(200, 200, 0);
    EXPECT_EQ(dragStartX, 200);
    EXPECT_EQ(dragStartY, 200);
    onViewMouseMoved(210, 220, 0);
    EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(10, 20)));
    onViewLeftReleased(210, 220, 0);
    EXPECT_EQ(view->offsetX, 442);
    EXPECT_EQ(view->offsetY, 356);
    EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(10, 20)));
}

TEST_F(DragTest, WhileIdleMovesDoNothingAndReleaseOnlyClearsDragging)
{
    showPicture(60, 40);
    // A state the next redraw would change (the picture lies left of the view and would go home), so
    // a stray redraw would show.
    view->offsetX = 100;
    const ViewerGlobals before = currentGlobals();
    const auto viewBefore = canvasPixels(*viewCanvas);
    const auto backBefore = canvasPixels(*backCanvas);

    onViewMouseMoved(300, 200, 0);
    onViewLeftReleased(10, 300, 0);
    onViewMouseMoved(50, 60, 0);

    EXPECT_TRUE(currentGlobals() == before);
    EXPECT_EQ(canvasPixels(*viewCanvas), viewBefore);
    EXPECT_EQ(canvasPixels(*backCanvas), backBefore);

    // A double-click: the second release finds the drag over.
    onViewLeftPressed(40, 40, 0);
    onViewLeftReleased(40, 40, 0);
    EXPECT_EQ(view->offsetX, 432); // the zero move still redrew, and the reset fired
    view->offsetX = 100;
    onViewLeftReleased(40, 40, 0);
    EXPECT_EQ(view->offsetX, 100);
    EXPECT_EQ(dragging, 0);
}

// Only drift left or up past the visible third sends the picture home.
TEST_F(DragTest, OffViewResetAfterDraggingLeftOrUpOnly)
{
    struct Case {
        const char* name;
        std::int32_t dx;
        std::int32_t dy;
        std::int64_t offsetX;
        std::int64_t offsetY;
    };
    const Case cases[] = {
        {"right edge exactly at the left edge", -60, 0, 372, 336},
        {"one pixel further left", -61, 0, 432, 336},
        {"bottom edge exactly at the top edge", 0, -40, 432, 296},
        {"one pixel further up", 0, -41, 432, 336},
        {"up and left both past", -100, -100, 432, 336},
        {"left past, down fine", -61, 200, 432, 336},
        {"far right", 400, 0, 832, 336},
        {"far down", 0, 300, 432, 636},
        {"right and down", 429, 333, 861, 669},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        showPicture(60, 40);
        const std::int32_t startX = c.dx < 0 ? 429 : 0;
        const std::int32_t startY = c.dy < 0 ? 333 : 0;
        onViewLeftPressed(startX, startY, 0);
        onViewLeftReleased(startX + c.dx, startY + c.dy, 0);
        EXPECT_EQ(view->offsetX, c.offsetX);
        EXPECT_EQ(view->offsetY, c.offsetY);
        EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(c.offsetX - 432, c.offsetY - 336)));
        TearDown();
    }
}

// With no picture a drag shows the back canvas's face fill and leaves that frame after the release.
TEST_F(DragTest, WithoutAPictureTheDragPreviewsTheFace)
{
    ASSERT_TRUE(canvasShows(*viewCanvas, [](std::int32_t, std::int32_t) { return viewWhite; }));
    onViewLeftPressed(100, 100, 0);
    onViewMouseMoved(130, 90, 0);
    EXPECT_TRUE(canvasShows(*viewCanvas, [](std::int32_t, std::int32_t) { return fixtureFace; }));
    onViewLeftReleased(130, 90, 0);
    EXPECT_EQ(view->offsetX, 462);
    EXPECT_EQ(view->offsetY, 326);
    EXPECT_EQ(dragging, 0);
    EXPECT_TRUE(canvasShows(*viewCanvas, [](std::int32_t, std::int32_t) { return fixtureFace; }));
}

// Positions the view never delivers still give sound arithmetic: the offsets are 64-bit and the
// preview's window and the draw position take their low 32 bits.
TEST_F(DragTest, ExtremePositionsStayInRange)
{
    showPicture(60, 40);
    onViewLeftPressed(INT32_MIN, INT32_MIN, 0);
    onViewMouseMoved(INT32_MAX, INT32_MAX, 0);
    onViewLeftReleased(INT32_MAX, INT32_MAX, 0);
    EXPECT_EQ(view->offsetX, 432 + 4294967295LL);
    EXPECT_EQ(view->offsetY, 336 + 4294967295LL);
    // Far right and below, so not reset; the draw takes the offsets' low 32 bits (431, 335).
    EXPECT_TRUE(canvasShows(*viewCanvas, patternAt(-1, -1)));
}

} // namespace
