#include "display/scaler.h"

#include "tests/support/referenceScaler.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A small picture detailed enough that averaging matters: noise, a hard vertical edge, a gradient,
// and (for the modes that use them) varied alpha and a scattered mask.
struct TestPicture {
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> mask;

    TestPicture(std::int32_t w, std::int32_t h, DrawMode mode, std::uint32_t seed) : width(w), height(h)
    {
        std::uint32_t state = seed * 2654435761u + 1;
        auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            return state;
        };
        for (std::int32_t y = 0; y < h; ++y) {
            for (std::int32_t x = 0; x < w; ++x) {
                std::uint32_t noise = next();
                std::uint32_t red = x < w / 3 ? 250 : (noise & 0xFF);
                std::uint32_t green = std::uint32_t(255 * y / std::max(h - 1, 1));
                std::uint32_t blue = (x + y) % 2 == 0 ? 0 : (noise >> 8) & 0xFF;
                std::uint32_t alpha = mode == DrawMode::BlendOverWhite ? (noise >> 16) & 0xFF : 0xFF;
                pixels.push_back(alpha << 24 | red << 16 | green << 8 | blue);
                mask.push_back(mode == DrawMode::Masked && (noise >> 24) % 3 == 0 ? 1 : 0);
            }
        }
    }

    DrawSource source(DrawMode mode) const
    {
        DrawSource s;
        s.pixels = pixels.data();
        s.mask = mode == DrawMode::Masked ? mask.data() : nullptr;
        s.width = width;
        s.height = height;
        s.mode = mode;
        return s;
    }
};

ReferenceTarget patternTarget(std::int64_t width, std::int64_t height)
{
    ReferenceTarget target{{}, width, height};
    for (std::int64_t i = 0; i < width * height; ++i) {
        target.pixels.push_back(0xFF000000u | std::uint32_t(i * 0x9E3779B1u) >> 8);
    }
    return target;
}

int largestChannelDifference(std::uint32_t a, std::uint32_t b)
{
    int largest = std::abs(int(a >> 24) - int(b >> 24)) * 256; // alpha must match exactly
    for (int shift = 0; shift < 24; shift += 8) {
        largest = std::max(largest, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    }
    return largest;
}

// Draws with the fast scaler and with the reference and compares every target pixel.
void expectMatchesReference(const DrawSource& source, std::int64_t targetWidth, std::int64_t targetHeight,
                            std::int64_t left, std::int64_t top, std::int64_t destWidth,
                            std::int64_t destHeight, ScaleQuality quality, int tolerance)
{
    ReferenceTarget expected = patternTarget(targetWidth, targetHeight);
    std::vector<std::uint32_t> actual = expected.pixels;
    referenceDrawScaled(source, expected, left, top, destWidth, destHeight, quality == ScaleQuality::nearest);
    drawScaled(source,
               PixelTarget{actual.data(), std::int32_t(targetWidth), std::int32_t(targetHeight), targetWidth},
               left, top, destWidth, destHeight, quality);
    int mismatches = 0;
    for (std::int64_t y = 0; y < targetHeight; ++y) {
        for (std::int64_t x = 0; x < targetWidth; ++x) {
            const std::size_t i = std::size_t(y * targetWidth + x);
            if (largestChannelDifference(actual[i], expected.pixels[i]) > tolerance && mismatches++ < 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): got " << std::hex << actual[i]
                              << ", expected " << expected.pixels[i];
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

const char* modeName(DrawMode mode)
{
    switch (mode) {
    case DrawMode::Opaque:
        return "opaque";
    case DrawMode::BlendOverWhite:
        return "png";
    case DrawMode::Masked:
        return "masked";
    }
    return "?";
}

struct PictureSizeCase {
    std::int32_t width;
    std::int32_t height;
};

struct Placement {
    const char* name;
    // Fractions of the scaled size (negative: the picture starts left of or above the target), plus
    // whole pixels.
    double leftFraction;
    std::int64_t leftPixels;
    double topFraction;
    std::int64_t topPixels;
};

const Placement placements[] = {
    {"top-left", 0, 0, 0, 0},
    {"cut left and top", 0, -3, 0, -2},
    {"middle", -0.5, 20, -0.5, 15},
    {"cut right and bottom", 0, 29, 0, 23},
};

constexpr std::int64_t targetWidth = 41;
constexpr std::int64_t targetHeight = 31;

} // namespace

// The fast scaler against the plain double-precision model at the zoom factors that stress it: strong
// and whole-factor reductions, fractional ones, the identity and enlargements up to 1000.
TEST(DrawScaled, MatchesReferenceAtEveryScaleModeAndPlacement)
{
    const double scales[] = {0.01, 1.0 / 3, 0.37, 0.401878, 0.5,     0.64, 0.75,
                             0.8,  1,       1.37, 2,        2.48832, 7.3,  1000};
    const PictureSizeCase sizes[] = {{300, 200}, {37, 23}, {9, 1}};
    const DrawMode modes[] = {DrawMode::Opaque, DrawMode::BlendOverWhite, DrawMode::Masked};
    for (DrawMode mode : modes) {
        for (const PictureSizeCase& size : sizes) {
            const TestPicture picture(size.width, size.height, mode, std::uint32_t(size.width));
            for (double scale : scales) {
                const std::int64_t dw = std::int64_t(double(size.width) * scale);
                const std::int64_t dh = std::int64_t(double(size.height) * scale);
                for (const Placement& p : placements) {
                    SCOPED_TRACE(std::string(modeName(mode)) + " " + std::to_string(size.width) + "x" +
                                 std::to_string(size.height) + " scale " + std::to_string(scale) + " " +
                                 p.name);
                    const std::int64_t left = std::int64_t(p.leftFraction * double(dw)) + p.leftPixels;
                    const std::int64_t top = std::int64_t(p.topFraction * double(dh)) + p.topPixels;
                    expectMatchesReference(picture.source(mode), targetWidth, targetHeight, left, top, dw, dh,
                                           ScaleQuality::areaAverage, scale == 1 ? 0 : 1);
                    expectMatchesReference(picture.source(mode), targetWidth, targetHeight, left, top, dw, dh,
                                           ScaleQuality::nearest, 0);
                }
            }
        }
    }
}

// Different factors across and down: a reduction one way and an enlargement the other.
TEST(DrawScaled, MatchesReferenceWithDifferentFactorsAcrossAndDown)
{
    struct Case {
        const char* name;
        std::int64_t destWidth;
        std::int64_t destHeight;
    };
    const Case cases[] = {
        {"narrower, taller", 13, 70}, {"wider, shorter", 90, 7}, {"one column", 1, 40},
        {"one row", 40, 1},           {"one pixel", 1, 1},       {"width only", 300, 23},
    };
    const TestPicture picture(37, 23, DrawMode::Opaque, 5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Placement& p : placements) {
            SCOPED_TRACE(p.name);
            const std::int64_t left = std::int64_t(p.leftFraction * double(c.destWidth)) + p.leftPixels;
            const std::int64_t top = std::int64_t(p.topFraction * double(c.destHeight)) + p.topPixels;
            expectMatchesReference(picture.source(DrawMode::Opaque), targetWidth, targetHeight, left, top,
                                   c.destWidth, c.destHeight, ScaleQuality::areaAverage, 1);
            expectMatchesReference(picture.source(DrawMode::Opaque), targetWidth, targetHeight, left, top,
                                   c.destWidth, c.destHeight, ScaleQuality::nearest, 0);
        }
    }
}

// At the identity every pixel is the picture's own (blended for Png, kept for transparent ones).
TEST(DrawScaled, IdentityIsAnExactCopy)
{
    for (DrawMode mode : {DrawMode::Opaque, DrawMode::BlendOverWhite, DrawMode::Masked}) {
        SCOPED_TRACE(modeName(mode));
        const TestPicture picture(37, 23, mode, 9);
        const DrawSource source = picture.source(mode);
        ReferenceTarget target = patternTarget(targetWidth, targetHeight);
        const std::vector<std::uint32_t> before = target.pixels;
        drawScaled(source, PixelTarget{target.pixels.data(), targetWidth, targetHeight, targetWidth}, -2, 3,
                   37, 23, ScaleQuality::areaAverage);
        for (std::int64_t y = 0; y < targetHeight; ++y) {
            for (std::int64_t x = 0; x < targetWidth; ++x) {
                const std::size_t i = std::size_t(y * targetWidth + x);
                const std::int64_t s = x + 2;
                const std::int64_t t = y - 3;
                std::uint32_t expected = before[i];
                if (s < 37 && t >= 0 && t < 23 && picture.mask[std::size_t(t * 37 + s)] == 0) {
                    expected = referenceDrawnColour(source, picture.pixels[std::size_t(t * 37 + s)]);
                }
                ASSERT_EQ(target.pixels[i], expected) << x << ", " << y;
            }
        }
    }
}

// Zoom has no upper bound: the scaled picture may be billions of pixels across and lie anywhere in
// 64-bit space. Only the visible target pixels are computed, with no overflow on the way.
TEST(DrawScaled, HugeScaledSizesAndFarPositions)
{
    struct Case {
        const char* name;
        std::int64_t left;
        std::int64_t top;
        std::int64_t destWidth;
        std::int64_t destHeight;
    };
    const std::int64_t big = 2147483647;
    const Case cases[] = {
        {"int32 sized, top-left", 0, 0, big, big},
        {"int32 sized, middle", -big / 2, -big / 2, big, big},
        {"int32 sized, last pixels", -(big - 20), -(big - 15), big, big},
        {"2^40 wide", -(std::int64_t(1) << 39), 0, std::int64_t(1) << 40, 100},
        {"far right of the target", big, 0, 100, 100},
        {"far left of the target", -big - 100, 0, 100, 100},
        {"ends just inside", -big + 5, -big + 5, big, big},
    };
    const TestPicture picture(10, 7, DrawMode::Opaque, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectMatchesReference(picture.source(DrawMode::Opaque), targetWidth, targetHeight, c.left, c.top,
                               c.destWidth, c.destHeight, ScaleQuality::areaAverage, 1);
        expectMatchesReference(picture.source(DrawMode::Opaque), targetWidth, targetHeight, c.left, c.top,
                               c.destWidth, c.destHeight, ScaleQuality::nearest, 0);
    }
}

// The vector kernels, AVX2 and SSE2 alike, against the reference: exact halving with odd target sizes
// and offsets that cut picture pixels (so vector tails and odd starting columns occur), halving
// look-alikes of odd size, runs across longer than one 16-bit flush, sums beyond 31 bits that take
// the wide accumulators, and fractional enlarging.
TEST(DrawScaled, VectorKernelsMatchReferenceAtBothWidths)
{
    struct Case {
        const char* name;
        std::int32_t width;
        std::int32_t height;
        std::int64_t destWidth;
        std::int64_t destHeight;
        std::int64_t targetWidth;
        std::int64_t targetHeight;
        int tolerance; // halving rounds the exact quarter sums: no difference at all
    };
    const Case cases[] = {
        {"halving, odd halves", 74, 46, 37, 23, 41, 31, 0},
        {"halving, wider than the target", 138, 90, 69, 45, 41, 31, 0},
        {"halving, long rows", 162, 8, 81, 4, 83, 5, 0},
        {"odd size at about a half", 75, 47, 37, 23, 41, 31, 1},
        {"runs beyond one flush", 5003, 3, 2, 1, 3, 2, 1},
        {"wide sums", 3001, 2999, 2, 2, 3, 3, 1},
        {"fractional shrink, long rows", 1000, 7, 371, 3, 380, 4, 1},
        {"five zoom-out clicks, wide", 1003, 9, 403, 3, 409, 4, 1},
        {"shrink by 0.8, wide", 1001, 6, 800, 4, 805, 5, 1},
        {"fractional enlarging", 37, 23, 92, 57, 97, 61, 1},
    };
    const std::int64_t offsets[][2] = {{0, 0}, {-1, -1}, {-3, -2}, {2, 1}, {-4, 3}};
    for (bool avx2 : {true, false}) {
        setScalerAvx2Allowed(avx2);
        for (const Case& c : cases) {
            const TestPicture picture(c.width, c.height, DrawMode::Opaque, std::uint32_t(c.width + c.height));
            for (const auto& offset : offsets) {
                SCOPED_TRACE(std::string(avx2 ? "avx2 " : "sse2 ") + c.name + " at " +
                             std::to_string(offset[0]) + ", " + std::to_string(offset[1]));
                expectMatchesReference(picture.source(DrawMode::Opaque), c.targetWidth, c.targetHeight,
                                       offset[0], offset[1], c.destWidth, c.destHeight,
                                       ScaleQuality::areaAverage, c.tolerance);
            }
            // Png pixels take the same kernels through a converted row.
            const TestPicture png(std::min(c.width, 400), c.height, DrawMode::BlendOverWhite, 7);
            SCOPED_TRACE(std::string(avx2 ? "avx2 png " : "sse2 png ") + c.name);
            expectMatchesReference(png.source(DrawMode::BlendOverWhite), c.targetWidth, c.targetHeight, -1, 0,
                                   c.destWidth, c.destHeight, ScaleQuality::areaAverage, 1);
        }
    }
    setScalerAvx2Allowed(true);
}
