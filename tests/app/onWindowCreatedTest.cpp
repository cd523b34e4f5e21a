#include "app/onWindowCreated.h"

#include "tests/support/viewerFixture.h"

#include <utility>
#include <vector>

namespace {

// A canvas that records every resize it is given.
class RecordingCanvas : public Canvas {
  public:
    using Canvas::Canvas;
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes;

  protected:
    void sizeChanged() override { sizes.emplace_back(width(), height()); }
};

class WindowCreatedTest : public ViewerFixture {
  protected:
    void SetUp() override
    {
        makeDesignCanvases();
        CanvasSettings backSettings;
        backSettings.width = 88;
        backSettings.height = 72;
        backSettings.backgroundColor = CanvasColour::systemFace();
        backSettings.keepsStore = true;
        backSettings.visible = false;
        auto recording = std::make_unique<RecordingCanvas>(backSettings);
        recordingBack = recording.get();
        backCanvas = std::move(recording);
        画板后台 = backCanvas.get();
    }
    RecordingCanvas* recordingBack = nullptr;
};

TEST_F(WindowCreatedTest, MeasuresTheViewSizesTheBackCanvasAndGoesHome)
{
    // Left alone: they keep whatever they hold.
    pictureId = 0;
    dragStartX = 7;
    dragStartY = -3;
    dragging = 1;
    state = ViewState{5, 6, 0.5};

    onWindowCreated();

    EXPECT_EQ(viewWidth, 432);
    EXPECT_EQ(viewHeight, 336);
    EXPECT_EQ(view->offsetX, 432);
    EXPECT_EQ(view->offsetY, 336);
    EXPECT_EQ(view->scale, 1.0);
    EXPECT_EQ(dragging, 0);
    EXPECT_EQ(dragStartX, 7);
    EXPECT_EQ(dragStartY, -3);
    EXPECT_EQ(pictureId, 0);
    EXPECT_EQ(pictureWidth, 0);
    EXPECT_EQ(pictureHeight, 0);

    // Width first, then height, each its own resize.
    const std::vector<std::pair<std::int32_t, std::int32_t>> resizes = {{1296, 72}, {1296, 1008}};
    EXPECT_EQ(recordingBack->sizes, resizes);
    EXPECT_EQ(backCanvas->width(), 1296);
    EXPECT_EQ(backCanvas->height(), 1008);
    EXPECT_EQ(backCanvas->arrayWidth(), 1296);
    EXPECT_EQ(backCanvas->arrayHeight(), 1008);
    EXPECT_FALSE(backCanvas->visible());
    EXPECT_TRUE(canvasShows(*backCanvas, [](std::int32_t, std::int32_t) { return fixtureFace; }));
    // Nothing is drawn: the view stays white.
    EXPECT_TRUE(viewCanvas->visible());
    EXPECT_EQ(viewCanvas->arrayWidth(), 430);
    EXPECT_EQ(viewCanvas->arrayHeight(), 334);
    EXPECT_TRUE(canvasShows(*viewCanvas, [](std::int32_t, std::int32_t) { return viewWhite; }));
}

// The state the viewer tests start from is the one the created handler leaves.
TEST_F(WindowCreatedTest, LeavesTheStateTheViewerFixtureStartsFrom)
{
    onWindowCreated();
    const ViewerGlobals created = currentGlobals();
    const auto back = canvasPixels(*backCanvas);
    const bool backVisible = backCanvas->visible();
    ViewerFixture::SetUp();
    EXPECT_TRUE(currentGlobals() == created);
    EXPECT_EQ(canvasPixels(*backCanvas), back);
    EXPECT_EQ(backCanvas->visible(), backVisible);
}

TEST_F(WindowCreatedTest, BackCanvasIsThreeTimesTheViewEachWay)
{
    struct Case {
        const char* name;
        std::int32_t viewWidth;
        std::int32_t viewHeight;
        std::int32_t backWidth;
        std::int32_t backHeight;
    };
    const Case cases[] = {
        {"small", 10, 4, 30, 12},
        {"wide", 500, 30, 1500, 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        viewCanvas->setWidth(c.viewWidth);
        viewCanvas->setHeight(c.viewHeight);
        onWindowCreated();
        EXPECT_EQ(viewWidth, c.viewWidth);
        EXPECT_EQ(viewHeight, c.viewHeight);
        EXPECT_EQ(backCanvas->width(), c.backWidth);
        EXPECT_EQ(backCanvas->height(), c.backHeight);
        EXPECT_EQ(view->offsetX, c.viewWidth);
        EXPECT_EQ(view->offsetY, c.viewHeight);
    }
}

TEST(Label2Feedback, DoesNothing)
{
    view = nullptr;
    onLabel2Feedback(1, 2);
    onLabel2Feedback(INT32_MIN, INT32_MAX);
    SUCCEED();
}

} // namespace
