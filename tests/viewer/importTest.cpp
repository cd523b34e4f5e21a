#include "display/pictureStore.h"
#include "tests/support/viewerFixture.h"
#include "viewer/handlers.h"

#include <string>

namespace {

using ImportTest = ViewerFixture;

// Zoomed, panned and in the middle of a drag preview: a state an import has something to reset in.
void zoomPanAndStartDragging()
{
    onZoomInClicked();
    onViewLeftPressed(10, 10, 0);
    onViewLeftReleased(30, 25, 0);
    onViewLeftPressed(100, 100, 0);
    onViewMouseMoved(120, 90, 0);
}

TEST_F(ImportTest, CancelledDialogChangesNothing)
{
    showPicture(60, 40);
    zoomPanAndStartDragging();
    const std::int32_t shownId = pictureId;
    const ViewerGlobals before = currentGlobals();
    const auto viewBefore = canvasPixels(*viewCanvas);
    const auto backBefore = canvasPixels(*backCanvas);

    dialog.queueCancel();
    onImportClicked();

    EXPECT_EQ(dialog.openCount(), 1);
    EXPECT_TRUE(currentGlobals() == before);
    EXPECT_TRUE(isPictureLoaded(shownId));
    EXPECT_EQ(canvasPixels(*viewCanvas), viewBefore);
    EXPECT_EQ(canvasPixels(*backCanvas), backBefore);
}

// Whatever makes the load fail, the old picture is gone and the view shows the empty face, not the
// unloaded picture's last frame; later zooms and drags show nothing stale either.
TEST_F(ImportTest, FailedImportLeavesTheEmptyFace)
{
    const std::string textFile = testFilePath("notes.jpg");
    ASSERT_TRUE(writeTextFile(textFile, "not a picture, whatever the name says\n"));
    struct Case {
        const char* name;
        std::string confirmed; // what the dialog gives back; empty: no text at all
    };
    const Case cases[] = {
        {"text file named .jpg", textFile},
        {"missing file", testFilePath("missing.bmp")},
        {"a folder", ::testing::TempDir()},
        {"the dialog gives no text", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        showPicture(60, 40);
        zoomPanAndStartDragging();
        const std::int32_t oldId = pictureId;
        // The face colour is looked up when the back canvas is cleared, not when it was made.
        setSystemFaceColour(0x123456);
        const std::uint32_t face = 0xFF123456u;

        dialog.queueConfirm(c.confirmed);
        onImportClicked();

        EXPECT_FALSE(isPictureLoaded(oldId));
        EXPECT_EQ(pictureId, 0);
        EXPECT_EQ(pictureWidth, 0);
        EXPECT_EQ(pictureHeight, 0);
        EXPECT_EQ(view->offsetX, 432);
        EXPECT_EQ(view->offsetY, 336);
        EXPECT_EQ(view->scale, 1.0);
        EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return face; }));
        EXPECT_TRUE(canvasShows(*backCanvas, [&](std::int32_t, std::int32_t) { return face; }));

        onZoomInClicked();
        onViewWheel(3, 0);
        EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return face; }));
        onViewLeftPressed(200, 200, 0);
        onViewMouseMoved(0, 333, 0);
        EXPECT_TRUE(canvasShows(*viewCanvas, [&](std::int32_t, std::int32_t) { return face; }));
        TearDown();
    }
}

// Needs the BMP decoder in the picture store.
class ImportFromFileTest : public ViewerFixture {
  protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        bmpPath = testFilePath("pattern.bmp");
        ASSERT_TRUE(writePatternBmp(bmpPath, 60, 40));
        const std::int32_t probe = loadPicture(bmpPath);
        unloadPicture(probe);
        if (probe == 0) {
            GTEST_SKIP() << "the picture store cannot decode BMP files yet";
        }
    }
    std::string bmpPath;
};

TEST_F(ImportFromFileTest, ShowsThePictureAtHomeAtItsOwnSize)
{
    showPicture(7, 5);
    zoomPanAndStartDragging();
    onZoomInClicked();
    const std::int32_t oldId = pictureId;

    dialog.queueConfirm(bmpPath);
    onImportClicked();

    EXPECT_FALSE(isPictureLoaded(oldId));
    EXPECT_NE(pictureId, 0);
    EXPECT_EQ(pictureWidth, 60);
    EXPECT_EQ(pictureHeight, 40);
    EXPECT_EQ(view->offsetX, 432);
    EXPECT_EQ(view->offsetY, 336);
    EXPECT_EQ(view->scale, 1.0);
    // The drag that was going on is not the import's business.
    EXPECT_EQ(dragging, 1);
    EXPECT_TRUE(canvasShows(*viewCanvas, [](std::int32_t x, std::int32_t y) {
        return x < 60 && y < 40 ? patternPixel(x, y) : fixtureFace;
    }));
}

TEST_F(ImportFromFileTest, ImportingTheSameFileTwiceGivesTheSamePictureAtHome)
{
    dialog.queueConfirm(bmpPath);
    onImportClicked();
    const std::int32_t firstId = pictureId;
    const auto firstView = canvasPixels(*viewCanvas);
    onViewWheel(4, 0);
    onViewLeftPressed(0, 0, 0);
    onViewLeftReleased(200, 100, 0);

    dialog.queueConfirm(bmpPath);
    onImportClicked();

    EXPECT_NE(pictureId, firstId);
    EXPECT_FALSE(isPictureLoaded(firstId));
    EXPECT_EQ(view->offsetX, 432);
    EXPECT_EQ(view->offsetY, 336);
    EXPECT_EQ(view->scale, 1.0);
    EXPECT_EQ(canvasPixels(*viewCanvas), firstView);
}

TEST_F(ImportFromFileTest, FailedImportAfterAGoodOneShowsTheFace)
{
    dialog.queueConfirm(bmpPath);
    onImportClicked();
    ASSERT_NE(pictureId, 0);
    const std::string textFile = testFilePath("photo.bmp");
    ASSERT_TRUE(writeTextFile(textFile, "BM but nothing after it"));
    dialog.queueConfirm(textFile);
    onImportClicked();
    EXPECT_EQ(pictureId, 0);
    EXPECT_TRUE(canvasShows(*viewCanvas, [](std::int32_t, std::int32_t) { return fixtureFace; }));
}

TEST(ScriptedDialog, KeepsTheLastConfirmedPathThroughCancels)
{
    ScriptedDialog dialog;
    EXPECT_FALSE(dialog.open()); // nothing queued: cancelled
    EXPECT_FALSE(dialog.fileName().has_value());
    dialog.queueCancel();
    EXPECT_FALSE(dialog.open());
    EXPECT_FALSE(dialog.fileName().has_value());

    dialog.queueConfirm("/pictures/a.bmp");
    dialog.queueCancel();
    dialog.queueConfirm(std::string(600, 'y')); // far beyond 259 bytes: never dropped for its length
    EXPECT_TRUE(dialog.open());
    EXPECT_EQ(dialog.fileName(), "/pictures/a.bmp");
    EXPECT_FALSE(dialog.open());
    EXPECT_EQ(dialog.fileName(), "/pictures/a.bmp");
    EXPECT_TRUE(dialog.open());
    EXPECT_EQ(dialog.fileName(), std::string(600, 'y'));
    EXPECT_EQ(dialog.openCount(), 5);
    EXPECT_EQ(dialog.pendingAnswers(), 0u);
}

} // namespace
