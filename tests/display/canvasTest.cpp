#include "display/canvas.h"

#include "display/pictureStore.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr std::uint32_t white = 0xFFFFFFFFu;
constexpr std::uint32_t face = 0xFF102030u;

// A picture whose every pixel differs from its neighbours and from the canvas colours used here.
std::int32_t addGradientPicture(std::int32_t width, std::int32_t height)
{
    auto picture = allocatePicture(PictureKind::Bmp, width, height);
    EXPECT_TRUE(picture.has_value());
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            picture->pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = opaquePixel(
                std::uint32_t(x * 7) & 0xFF, std::uint32_t(y * 5) & 0xFF, std::uint32_t(x + y) % 200);
        }
    }
    return addPicture(std::move(*picture));
}

std::uint32_t gradientPixel(std::int32_t x, std::int32_t y)
{
    return opaquePixel(std::uint32_t(x * 7) & 0xFF, std::uint32_t(y * 5) & 0xFF, std::uint32_t(x + y) % 200);
}

// The two canvases of the main window, as the window design creates them.
CanvasSettings viewCanvasSettings()
{
    return {432, 336, BorderStyle::singleLine, CanvasColour::fromRgb(255, 255, 255), false, true};
}

CanvasSettings backCanvasSettings()
{
    return {88, 72, BorderStyle::none, CanvasColour::systemFace(), true, false};
}

// Records what the display is told to show again.
class RecordingCanvas : public Canvas {
  public:
    using Canvas::Canvas;
    std::vector<PixelRect> changed;

  protected:
    void pixelsChanged(const PixelRect& area) override { changed.push_back(area); }
};

std::vector<std::uint32_t> allPixels(const Canvas& canvas)
{
    return std::vector<std::uint32_t>(canvas.pixels(),
                                      canvas.pixels() + std::size_t(canvas.arrayWidth()) *
                                                            std::size_t(canvas.arrayHeight()));
}

class CanvasTest : public ::testing::Test {
  protected:
    void SetUp() override { setSystemFaceColour(face); }
    void TearDown() override { setSystemFaceColour(0xFFF0F0F0u); }
};

// The back canvas grown the way the window-created handler grows it.
void growLikeTheWindow(Canvas& back)
{
    back.setWidth(1296);
    back.setHeight(1008);
    back.setVisible(false);
}

} // namespace

TEST_F(CanvasTest, ClientAreaFollowsBorder)
{
    Canvas viewCanvas(viewCanvasSettings());
    EXPECT_EQ(viewCanvas.width(), 432);
    EXPECT_EQ(viewCanvas.height(), 336);
    EXPECT_EQ(viewCanvas.clientWidth(), 430);
    EXPECT_EQ(viewCanvas.clientHeight(), 334);
    // White until something is copied in.
    EXPECT_EQ(allPixels(viewCanvas), std::vector<std::uint32_t>(430 * 334, white));
}

TEST_F(CanvasTest, CopyOfViewSizedRectangleDropsWhatLiesOutsideTheClientArea)
{
    Canvas back(backCanvasSettings());
    growLikeTheWindow(back);
    const std::int32_t id = addGradientPicture(1296, 1008);
    back.drawPicture(id, 0, 0);
    Canvas viewCanvas(viewCanvasSettings());
    viewCanvas.copyRect(432, 336, 432, 336, viewCanvas, 0, 0); // from itself: all beyond, nothing
    back.copyRect(432, 336, 432, 336, viewCanvas, 0, 0);
    for (std::int32_t y = 0; y < 334; ++y) {
        for (std::int32_t x = 0; x < 430; ++x) {
            ASSERT_EQ(viewCanvas.pixel(x, y), gradientPixel(432 + x, 336 + y)) << x << ", " << y;
        }
    }
    // On a borderless target the last two columns and rows of the same copy do land.
    Canvas wide({500, 400, BorderStyle::none, CanvasColour::fromRgb(255, 255, 255), true, true});
    back.copyRect(432, 336, 432, 336, wide, 0, 0);
    for (std::int32_t y = 0; y < 400; ++y) {
        for (std::int32_t x = 0; x < 500; ++x) {
            const std::uint32_t expected = x < 432 && y < 336 ? gradientPixel(432 + x, 336 + y) : white;
            ASSERT_EQ(wide.pixel(x, y), expected) << x << ", " << y;
        }
    }
    unloadPicture(id);
}

TEST_F(CanvasTest, ClearedBackCanvasCopiesSystemFaceLookedUpAtEachClear)
{
    Canvas back(backCanvasSettings());
    growLikeTheWindow(back);
    const std::int32_t id = addGradientPicture(50, 50);
    back.drawPicture(id, 432, 336);
    back.clear();
    Canvas viewCanvas(viewCanvasSettings());
    back.copyRect(432, 336, 432, 336, viewCanvas, 0, 0);
    EXPECT_EQ(allPixels(viewCanvas), std::vector<std::uint32_t>(430 * 334, face));
    // The desktop changed its colours: the next clear uses the new face colour.
    setSystemFaceColour(0xFF405060u);
    back.clear();
    back.copyRect(432, 336, 432, 336, viewCanvas, 0, 0);
    EXPECT_EQ(allPixels(viewCanvas), std::vector<std::uint32_t>(430 * 334, 0xFF405060u));
    unloadPicture(id);
}

TEST_F(CanvasTest, ClearOfRectangleAndOmittedArguments)
{
    Canvas canvas({10, 8, BorderStyle::none, CanvasColour::fromRgb(1, 2, 3), true, true});
    const std::int32_t id = addGradientPicture(10, 8);
    canvas.drawPicture(id, 0, 0);
    canvas.clear(2, std::nullopt, 3, std::nullopt);            // columns 2..4, every row
    canvas.clear(std::nullopt, 6, std::nullopt, std::nullopt); // rows 6..7, every column
    for (std::int32_t y = 0; y < 8; ++y) {
        for (std::int32_t x = 0; x < 10; ++x) {
            const bool cleared = (x >= 2 && x < 5) || y >= 6;
            ASSERT_EQ(canvas.pixel(x, y), cleared ? opaquePixel(1, 2, 3) : gradientPixel(x, y))
                << x << ", " << y;
        }
    }
    unloadPicture(id);
}

TEST_F(CanvasTest, StoreKeepsContentThroughResizes)
{
    Canvas back(backCanvasSettings());
    EXPECT_EQ(allPixels(back), std::vector<std::uint32_t>(88 * 72, face));
    const std::int32_t id = addGradientPicture(1, 1);
    back.drawPicture(id, 10, 10);
    back.setWidth(1296);
    back.setHeight(1008);
    ASSERT_EQ(back.arrayWidth(), 1296);
    ASSERT_EQ(back.arrayHeight(), 1008);
    std::vector<std::uint32_t> expected(1296 * 1008, face);
    expected[10 * 1296 + 10] = gradientPixel(0, 0);
    EXPECT_EQ(allPixels(back), expected);
    unloadPicture(id);
}

TEST_F(CanvasTest, ShrinkThenGrowLosesWhatWasCutOff)
{
    Canvas back(backCanvasSettings());
    const std::int32_t id = addGradientPicture(88, 72);
    back.drawPicture(id, 0, 0);
    back.setWidth(40);
    back.setHeight(30);
    back.setWidth(88);
    back.setHeight(72);
    for (std::int32_t y = 0; y < 72; ++y) {
        for (std::int32_t x = 0; x < 88; ++x) {
            ASSERT_EQ(back.pixel(x, y), x < 40 && y < 30 ? gradientPixel(x, y) : face) << x << ", " << y;
        }
    }
    unloadPicture(id);
}

TEST_F(CanvasTest, SizeWritesAreClamped)
{
    struct Case {
        std::int32_t written;
        std::int32_t expected;
    };
    const Case cases[] = {{40000, 32627}, {32628, 32627}, {32627, 32627}, {-1, 0},
                          {INT32_MIN, 0}, {0, 0},         {5, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        Canvas framed({10, 1, BorderStyle::singleLine, CanvasColour::fromRgb(0, 0, 0), false, true});
        framed.setWidth(c.written);
        EXPECT_EQ(framed.width(), c.expected);
        EXPECT_EQ(framed.clientWidth(), std::max(c.expected - 2, 0));
        Canvas stored({1, 10, BorderStyle::none, CanvasColour::fromRgb(0, 0, 0), true, true});
        stored.setHeight(c.written);
        EXPECT_EQ(stored.height(), c.expected);
        EXPECT_EQ(stored.width(), 1);
        // A store is at least one pixel each way.
        EXPECT_EQ(stored.arrayHeight(), std::max(c.expected, 1));
    }
}

// A canvas without a store may be narrowed to no client area at all and widened again; what lay
// beyond the narrow size is gone.
TEST_F(CanvasTest, ViewCanvasNarrowedToNothingAndBack)
{
    const std::uint32_t white = 0xFFFFFFFFu;
    Canvas view({432, 336, BorderStyle::singleLine, CanvasColour::fromRgb(255, 255, 255), false, true});
    view.clear();
    Canvas back({1296, 1008, BorderStyle::none, CanvasColour::fromRgb(10, 20, 30), true, false});
    back.copyRect(0, 0, 432, 336, view, 0, 0);
    ASSERT_EQ(view.pixel(5, 5), 0xFF0A141Eu);
    view.setWidth(-5);
    EXPECT_EQ(view.width(), 0);
    EXPECT_EQ(view.clientWidth(), 0);
    EXPECT_EQ(view.clientHeight(), 334);
    view.setWidth(432);
    EXPECT_EQ(view.clientWidth(), 430);
    for (std::int32_t y = 0; y < 334; ++y) {
        for (std::int32_t x = 0; x < 430; ++x) {
            ASSERT_EQ(view.pixel(x, y), white) << x << ", " << y;
        }
    }
}

TEST_F(CanvasTest, DrawingNothing)
{
    const std::int32_t live = addGradientPicture(20, 10);
    const std::int32_t gone = addGradientPicture(20, 10);
    unloadPicture(gone);
    struct Case {
        const char* name;
        std::int32_t id;
        std::int32_t width;
        std::int32_t height;
    };
    const Case cases[] = {
        {"id 0", 0, -1, -1},           {"never loaded", 987654, -1, -1}, {"unloaded", gone, -1, -1},
        {"width 0", live, 0, 10},      {"height 0", live, 20, 0},        {"below -1", live, -2, 10},
        {"entirely left", live, 5, 5}, // drawn at -5 below
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingCanvas canvas({30, 20, BorderStyle::none, CanvasColour::fromRgb(9, 9, 9), true, true});
        const std::vector<std::uint32_t> before = allPixels(canvas);
        const std::int32_t left = c.name[0] == 'e' ? -5 : 0;
        canvas.drawPicture(c.id, left, 0, c.width, c.height);
        EXPECT_EQ(allPixels(canvas), before);
        EXPECT_TRUE(canvas.changed.empty());
    }
    Canvas canvas(viewCanvasSettings());
    EXPECT_EQ(canvas.measurePictureWidth(0), 0);
    EXPECT_EQ(canvas.measurePictureHeight(gone), 0);
    EXPECT_EQ(canvas.measurePictureWidth(live), 20);
    EXPECT_EQ(canvas.measurePictureHeight(live), 10);
    unloadPicture(live);
}

TEST_F(CanvasTest, MinusOneMeansThePicturesOwnSize)
{
    const std::int32_t id = addGradientPicture(5, 3);
    Canvas own({20, 20, BorderStyle::none, CanvasColour::fromRgb(9, 9, 9), true, true});
    Canvas given({20, 20, BorderStyle::none, CanvasColour::fromRgb(9, 9, 9), true, true});
    own.drawPicture(id, 1, 2, -1, 10);
    given.drawPicture(id, 1, 2, 5, 10);
    EXPECT_EQ(allPixels(own), allPixels(given));
    own.drawPicture(id, 1, 2, 12, -1);
    given.drawPicture(id, 1, 2, 12, 3);
    EXPECT_EQ(allPixels(own), allPixels(given));
    unloadPicture(id);
}

TEST_F(CanvasTest, StretchInXOnlyFillsExactlyTheRectangle)
{
    const std::int32_t id = addGradientPicture(100, 50);
    RecordingCanvas canvas({320, 60, BorderStyle::none, CanvasColour::fromRgb(9, 9, 9), true, true});
    canvas.drawPicture(id, 10, 5, 300, 50);
    for (std::int32_t y = 0; y < 60; ++y) {
        for (std::int32_t x = 0; x < 320; ++x) {
            const bool inside = x >= 10 && x < 310 && y >= 5 && y < 55;
            // Each picture column becomes three canvas columns; rows stay as they are.
            const std::uint32_t expected = inside ? gradientPixel((x - 10) / 3, y - 5) : opaquePixel(9, 9, 9);
            ASSERT_EQ(canvas.pixel(x, y), expected) << x << ", " << y;
        }
    }
    ASSERT_EQ(canvas.changed.size(), 1u);
    EXPECT_EQ(canvas.changed[0].left, 10);
    EXPECT_EQ(canvas.changed[0].top, 5);
    EXPECT_EQ(canvas.changed[0].width, 300);
    EXPECT_EQ(canvas.changed[0].height, 50);
    unloadPicture(id);
}

TEST_F(CanvasTest, NearestPixelAtLowColourDepth)
{
    const std::int32_t id = addGradientPicture(4, 4);
    Canvas canvas({2, 2, BorderStyle::none, CanvasColour::fromRgb(9, 9, 9), true, true});
    canvas.setDisplayDepth(16);
    canvas.drawPicture(id, 0, 0, 2, 2);
    // Each canvas pixel takes the picture pixel under its centre: (1, 1) and (3, 3) of the 4 x 4.
    EXPECT_EQ(canvas.pixel(0, 0), gradientPixel(1, 1));
    EXPECT_EQ(canvas.pixel(1, 1), gradientPixel(3, 3));
    unloadPicture(id);
}

// Copies out of the 1296 x 1008 back canvas at different lefts: only pixels that exist in the store
// are copied; the rest of the target stays as it was.
TEST_F(CanvasTest, CopyRectAtTheLeftEdgeOfTheSource)
{
    Canvas back(backCanvasSettings());
    growLikeTheWindow(back);
    const std::int32_t id = addGradientPicture(1296, 1008);
    back.drawPicture(id, 0, 0);
    struct Case {
        std::int32_t left;
        std::int32_t firstCopiedColumn; // of the view canvas; 430: none
    };
    const Case cases[] = {{-433, 430}, {-432, 430}, {-431, 430}, {-100, 100},
                          {0, 0},      {1296, 430}, {1297, 430}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.left);
        RecordingCanvas viewCanvas(viewCanvasSettings());
        back.copyRect(c.left, 0, 432, 336, viewCanvas, 0, 0);
        for (std::int32_t y = 0; y < 334; ++y) {
            for (std::int32_t x = 0; x < 430; ++x) {
                const std::uint32_t expected =
                    x >= c.firstCopiedColumn ? gradientPixel(c.left + x, y) : white;
                ASSERT_EQ(viewCanvas.pixel(x, y), expected) << x << ", " << y;
            }
        }
        EXPECT_EQ(viewCanvas.changed.empty(), c.firstCopiedColumn == 430);
    }
    // Empty rectangles copy nothing.
    for (auto [width, height] : {std::pair{0, 336}, std::pair{432, 0}, std::pair{-5, 336}}) {
        RecordingCanvas viewCanvas(viewCanvasSettings());
        back.copyRect(0, 0, width, height, viewCanvas, 0, 0);
        EXPECT_EQ(allPixels(viewCanvas), std::vector<std::uint32_t>(430 * 334, white));
    }
    unloadPicture(id);
}

TEST_F(CanvasTest, DrawingIntoHiddenBackCanvasShowsAfterCopy)
{
    Canvas back(backCanvasSettings());
    growLikeTheWindow(back);
    EXPECT_FALSE(back.visible());
    const std::int32_t id = addGradientPicture(30, 20);
    back.drawPicture(id, 440, 340);
    Canvas viewCanvas(viewCanvasSettings());
    back.copyRect(432, 336, 432, 336, viewCanvas, 0, 0);
    for (std::int32_t y = 0; y < 334; ++y) {
        for (std::int32_t x = 0; x < 430; ++x) {
            const bool inside = x >= 8 && x < 38 && y >= 4 && y < 24;
            ASSERT_EQ(viewCanvas.pixel(x, y), inside ? gradientPixel(x - 8, y - 4) : face) << x << ", " << y;
        }
    }
    unloadPicture(id);
}

// Uncovered or restored, both canvases show again what was last drawn into them; the view canvas has
// no store but repaints from the pixels it keeps for its screen.
TEST_F(CanvasTest, RepaintShowsTheLastDrawnPixels)
{
    Canvas back(backCanvasSettings());
    growLikeTheWindow(back);
    const std::int32_t id = addGradientPicture(1296, 1008);
    back.drawPicture(id, 0, 0);
    for (bool withStore : {false, true}) {
        SCOPED_TRACE(withStore ? "store" : "no store");
        CanvasSettings settings = viewCanvasSettings();
        settings.keepsStore = withStore;
        RecordingCanvas viewCanvas(settings);
        back.copyRect(432, 336, 432, 336, viewCanvas, 0, 0);
        const std::vector<std::uint32_t> drawn = allPixels(viewCanvas);
        viewCanvas.changed.clear();
        viewCanvas.repaint({-10, 100, 50, 500});
        EXPECT_EQ(allPixels(viewCanvas), drawn);
        ASSERT_EQ(viewCanvas.changed.size(), 1u);
        EXPECT_EQ(viewCanvas.changed[0].left, 0);
        EXPECT_EQ(viewCanvas.changed[0].top, 100);
        EXPECT_EQ(viewCanvas.changed[0].width, 40);
        EXPECT_EQ(viewCanvas.changed[0].height, 234);
        // A copy from the view canvas reads what it shows.
        Canvas other({430, 334, BorderStyle::none, CanvasColour::fromRgb(0, 0, 0), true, true});
        viewCanvas.copyRect(0, 0, 430, 334, other, 0, 0);
        EXPECT_EQ(allPixels(other), drawn);
    }
    unloadPicture(id);
}

// A copy within one canvas whose rectangles overlap reads every pixel before it is overwritten.
TEST_F(CanvasTest, OverlappingCopyWithinOneCanvas)
{
    const std::int32_t id = addGradientPicture(40, 30);
    for (auto [dx, dy] : {std::pair{3, 2}, std::pair{-3, -2}, std::pair{5, -1}, std::pair{-4, 3}}) {
        SCOPED_TRACE(std::to_string(dx) + "," + std::to_string(dy));
        Canvas canvas({40, 30, BorderStyle::none, CanvasColour::fromRgb(0, 0, 0), true, true});
        canvas.drawPicture(id, 0, 0);
        canvas.copyRect(5, 5, 20, 15, canvas, 5 + dx, 5 + dy);
        for (std::int32_t y = 0; y < 30; ++y) {
            for (std::int32_t x = 0; x < 40; ++x) {
                const bool copied = x >= 5 + dx && x < 25 + dx && y >= 5 + dy && y < 20 + dy;
                ASSERT_EQ(canvas.pixel(x, y), copied ? gradientPixel(x - dx, y - dy) : gradientPixel(x, y))
                    << x << ", " << y;
            }
        }
    }
    unloadPicture(id);
}

// Clearing only what the picture leaves uncovered gives the pixels of a whole clear followed by the
// drawing: for pictures covering all, part or none of the canvas, cut on every side, stretched and
// shrunk, a masked picture (whose transparent pixels show the cleared canvas), the own size (-1) and
// a dead id. Each canvas holds other pixels before, so a missed clear shows.
TEST_F(CanvasTest, ClearAndDrawPictureEqualsClearThenDraw)
{
    const std::int32_t opaque = addGradientPicture(40, 30);
    auto masked = allocatePicture(PictureKind::Icon, 20, 10);
    ASSERT_TRUE(masked.has_value());
    ASSERT_TRUE(masked->mask.allocate(200));
    for (std::size_t i = 0; i < 200; ++i) {
        masked->pixels[i] = gradientPixel(std::int32_t(i % 20), std::int32_t(i / 20));
        masked->mask[i] = i % 3 == 0 ? 1 : 0;
    }
    const std::int32_t maskedId = addPicture(std::move(*masked));
    const std::int32_t filler = addGradientPicture(97, 61);
    struct Case {
        const char* name;
        std::int32_t id;
        std::int32_t left, top, width, height;
    };
    const Case cases[] = {
        {"covers all", opaque, -5, -7, 200, 150},
        {"inside", opaque, 10, 12, 40, 30},
        {"cut left and top", opaque, -9, -4, 40, 30},
        {"cut right and bottom", opaque, 80, 50, 40, 30},
        {"shrunk", opaque, 3, 4, 13, 9},
        {"own size", opaque, 20, 5, -1, -1},
        {"beyond the canvas", opaque, 500, 5, 40, 30},
        {"empty size", opaque, 5, 5, 0, 30},
        {"masked", maskedId, 7, 3, 60, 30},
        {"dead id", 987654, 0, 0, 40, 30},
        {"full width band", opaque, -1, 20, 100, 10},
        {"full height band", opaque, 30, -1, 10, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas expected({97, 61, BorderStyle::none, CanvasColour::systemFace(), true, false});
        Canvas actual({97, 61, BorderStyle::none, CanvasColour::systemFace(), true, false});
        for (Canvas* canvas : {&expected, &actual}) {
            canvas->drawPicture(filler, 0, 0);
        }
        expected.clear();
        expected.drawPicture(c.id, c.left, c.top, c.width, c.height);
        actual.clearAndDrawPicture(c.id, c.left, c.top, c.width, c.height);
        EXPECT_EQ(allPixels(actual), allPixels(expected));
    }
    for (std::int32_t id : {opaque, maskedId, filler}) {
        unloadPicture(id);
    }
}
