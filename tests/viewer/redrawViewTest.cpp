#include "display/canvas.h"
#include "display/pictureStore.h"
#include "tests/support/referenceScaler.h"
#include "viewer/viewState.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t face = 0xFF203040u;
constexpr std::uint32_t white = 0xFFFFFFFFu;

std::uint32_t noisePixel(std::int64_t x, std::int64_t y)
{
    std::uint32_t v = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    return 0xFF000000u | (v & 0xFFFFFFu);
}

// Zeroed globals, a fresh view and the two canvases laid out as the window makes them.
class RedrawViewTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        setSystemFaceColour(face);
        state = std::make_unique<ViewState>(ViewState{0, 0, 0.0});
        view = state.get();
        pictureId = pictureWidth = pictureHeight = 0;
        dragging = dragStartX = dragStartY = 0;
        viewCanvas = std::make_unique<Canvas>(CanvasSettings{
            432, 336, BorderStyle::singleLine, CanvasColour::fromRgb(255, 255, 255), false, true});
        backCanvas = std::make_unique<Canvas>(
            CanvasSettings{88, 72, BorderStyle::none, CanvasColour::systemFace(), true, false});
        画板 = viewCanvas.get();
        画板后台 = backCanvas.get();
        viewWidth = 画板->width();
        viewHeight = 画板->height();
        画板后台->setWidth(3 * viewWidth);
        画板后台->setHeight(3 * viewHeight);
        画板后台->setVisible(false);
        *view = ViewState{viewWidth, viewHeight, 1.0};
    }

    void TearDown() override
    {
        if (pictureId != 0) {
            unloadPicture(pictureId);
        }
        画板 = nullptr;
        画板后台 = nullptr;
        view = nullptr;
        pictureId = pictureWidth = pictureHeight = viewWidth = viewHeight = 0;
        setSystemFaceColour(0xFFF0F0F0u);
    }

    void load(std::int32_t width, std::int32_t height)
    {
        auto picture = allocatePicture(PictureKind::Bmp, width, height);
        ASSERT_TRUE(picture.has_value());
        for (std::int64_t y = 0; y < height; ++y) {
            for (std::int64_t x = 0; x < width; ++x) {
                picture->pixels[std::size_t(y * width + x)] = noisePixel(x, y);
            }
        }
        pixels.assign(picture->pixels.data(),
                      picture->pixels.data() + std::size_t(width) * std::size_t(height));
        pictureId = addPicture(std::move(*picture));
        pictureWidth = width;
        pictureHeight = height;
    }

    // What the back canvas must hold after a redraw that drew at these offsets and size.
    ReferenceTarget expectedBack(std::int64_t offsetX, std::int64_t offsetY, std::int32_t drawWidth,
                                 std::int32_t drawHeight) const
    {
        ReferenceTarget back{std::vector<std::uint32_t>(1296 * 1008, face), 1296, 1008};
        DrawSource source;
        source.pixels = pixels.data();
        source.width = pictureWidth;
        source.height = pictureHeight;
        referenceDrawScaled(source, back, std::int32_t(offsetX), std::int32_t(offsetY), drawWidth, drawHeight,
                            false);
        return back;
    }

    // Both canvases against the model, within 1 per channel (exactly at scale 1).
    void expectCanvases(const ReferenceTarget& back, int tolerance) const
    {
        int mismatches = 0;
        auto check = [&](std::uint32_t actual, std::uint32_t expected, const char* where, int x, int y) {
            for (int shift = 0; shift < 32; shift += 8) {
                const int d = int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF);
                if ((d > tolerance || d < -tolerance) && mismatches++ < 5) {
                    ADD_FAILURE() << where << " (" << x << ", " << y << "): " << std::hex << actual
                                  << " != " << expected;
                    return;
                }
            }
        };
        for (int y = 0; y < 1008; ++y) {
            for (int x = 0; x < 1296; ++x) {
                check(画板后台->pixel(x, y), back.pixels[std::size_t(y * 1296 + x)], "back", x, y);
            }
        }
        for (int y = 0; y < 334; ++y) {
            for (int x = 0; x < 430; ++x) {
                check(画板->pixel(x, y), back.pixels[std::size_t((336 + y) * 1296 + 432 + x)], "view", x, y);
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    std::unique_ptr<ViewState> state;
    std::unique_ptr<Canvas> viewCanvas;
    std::unique_ptr<Canvas> backCanvas;
    std::vector<std::uint32_t> pixels;
};

} // namespace

TEST_F(RedrawViewTest, NoPictureChangesNothing)
{
    *view = ViewState{-5000, 7000, 3.5};
    Canvas source({430, 334, BorderStyle::none, CanvasColour::fromRgb(1, 2, 3), true, true});
    source.copyRect(0, 0, 430, 334, *画板, 0, 0);
    redrawView();
    EXPECT_EQ(view->offsetX, -5000);
    EXPECT_EQ(view->offsetY, 7000);
    EXPECT_EQ(view->scale, 3.5);
    EXPECT_EQ(画板->pixel(0, 0), opaquePixel(1, 2, 3));
    EXPECT_EQ(画板->pixel(429, 333), opaquePixel(1, 2, 3));
    EXPECT_EQ(画板后台->pixel(0, 0), face);
}

// Every case: the offsets and scale before the redraw, the offsets after, and every pixel of both
// canvases against the model.
TEST_F(RedrawViewTest, RendersAndResetsOffView)
{
    struct Case {
        const char* name;
        std::int32_t width;
        std::int32_t height;
        std::int64_t offsetX;
        std::int64_t offsetY;
        double scale;
        std::int64_t expectedX;
        std::int64_t expectedY;
    };
    const Case cases[] = {
        {"home, larger than the view", 500, 400, 432, 336, 1.0, 432, 336},
        {"home, smaller than the view: face right and below", 100, 50, 432, 336, 1.0, 432, 336},
        {"right edge exactly at the view's left stays", 200, 100, 232, 300, 1.0, 232, 300},
        {"one pixel further left goes home", 200, 100, 231, 300, 1.0, 432, 336},
        {"bottom edge exactly at the view's top stays", 200, 100, 300, 236, 1.0, 300, 236},
        {"one pixel further up goes home", 200, 100, 300, 235, 1.0, 432, 336},
        {"wholly right stays, invisible", 200, 100, 864, 336, 1.0, 864, 336},
        {"wholly below stays, invisible", 200, 100, 432, 672, 1.0, 432, 672},
        {"far right stays", 200, 100, 5000000000, 336, 1.0, 5000000000, 336},
        {"larger than the back canvas is clipped", 1500, 1100, -100, -50, 1.0, -100, -50},
        {"scale 1.25 on 101 wide draws 126", 101, 60, 432, 336, 1.25, 432, 336},
        {"zoomed out to nothing", 99, 99, 432, 336, 0.01, 432, 336},
        {"zoomed out, reset by the shrunken size", 1000, 800, 0, 0, 0.2, 432, 336},
        {"shrunk", 1000, 800, 400, 300, 0.37, 400, 300},
        {"enlarged, middle", 300, 200, -20000, -15000, 100.0, -20000, -15000},
        {"enlarged a millionfold, middle", 300, 200, -150000000, -100000000, 1e6, -150000000, -100000000},
        // 300 * 1e7 leaves 32 bits: its low 32 bits are negative, so the picture goes home and draws nothing.
        {"width beyond 32 bits", 300, 200, -1000000000, -1000000000, 1e7, 432, 336},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        load(c.width, c.height);
        *view = ViewState{c.offsetX, c.offsetY, c.scale};
        redrawView();
        EXPECT_EQ(view->offsetX, c.expectedX);
        EXPECT_EQ(view->offsetY, c.expectedY);
        EXPECT_EQ(view->scale, c.scale);
        const std::int32_t drawWidth = low32(truncToInt(double(c.width) * c.scale));
        const std::int32_t drawHeight = low32(truncToInt(double(c.height) * c.scale));
        expectCanvases(expectedBack(c.expectedX, c.expectedY, drawWidth, drawHeight), c.scale == 1.0 ? 0 : 1);
        unloadPicture(pictureId);
        pictureId = 0;
    }
}

TEST_F(RedrawViewTest, WidthTruncatesNotRounds)
{
    load(101, 60);
    view->scale = 1.25;
    redrawView();
    // Columns 0..125 of the view hold the picture, column 126 the face colour.
    EXPECT_NE(画板->pixel(125, 10), face);
    EXPECT_EQ(画板->pixel(126, 10), face);
    EXPECT_EQ(画板->pixel(10, 75), face); // 60 * 1.25 = 75 rows: 0..74
    EXPECT_NE(画板->pixel(10, 74), face);
}

TEST_F(RedrawViewTest, RightAfterImportThePictureSitsAtTheViewsCorner)
{
    load(50, 40);
    redrawView();
    for (int y = 0; y < 334; ++y) {
        for (int x = 0; x < 430; ++x) {
            ASSERT_EQ(画板->pixel(x, y), x < 50 && y < 40 ? noisePixel(x, y) : face) << x << ", " << y;
        }
    }
    EXPECT_NE(画板->pixel(0, 0), white);
}
