#include "display/decoders.h"
#include "tests/support/jpegWriter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// A busy picture: gradients with a little pseudo-random texture, so that every DCT block and the
// chroma upsampling matter.
std::vector<std::uint8_t> testSamples(int width, int height, int components)
{
    std::vector<std::uint8_t> samples;
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                noise = noise * 1103515245u + 12345u;
                const int base = (x * 255 / (width > 1 ? width - 1 : 1) * (c + 1) + y * 7 * (3 - c)) % 256;
                samples.push_back(std::uint8_t((base + int(noise >> 28)) % 256));
            }
        }
    }
    return samples;
}

JpegFixture jpegFixture(int width, int height, int components)
{
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.components = components;
    fixture.samples = testSamples(width, height, components);
    return fixture;
}

// The reference's samples as the opaque pixels the decoder must give: grey to all three channels.
std::vector<std::uint32_t> referencePixels(const ReferenceJpeg& reference)
{
    std::vector<std::uint32_t> pixels;
    const std::uint8_t* in = reference.samples.data();
    for (std::size_t i = 0; i < std::size_t(reference.width) * std::size_t(reference.height); ++i) {
        if (reference.components == 3) {
            pixels.push_back(opaquePixel(in[0], in[1], in[2]));
        } else {
            pixels.push_back(opaquePixel(in[0], in[0], in[0]));
        }
        in += reference.components;
    }
    return pixels;
}

std::vector<std::uint32_t> pixelsOf(const Picture& picture)
{
    return {picture.pixels.data(), picture.pixels.data() + picture.pixels.size()};
}

// Offset of the first marker FF code, or the file's size.
std::size_t findMarker(const std::vector<std::uint8_t>& file, std::uint8_t code)
{
    for (std::size_t i = 0; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == code) {
            return i;
        }
    }
    return file.size();
}

// The library with its default parameters is the reference: a different DCT method, upsampling or
// colour conversion changes pixels.
TEST(DecodeJpeg, GivesTheLibraryDefaultDecode)
{
    struct Case {
        const char* name;
        JpegFixture fixture;
    };
    auto progressive = [](JpegFixture fixture) {
        fixture.progressive = true;
        return fixture;
    };
    auto lowQuality = [](JpegFixture fixture) {
        fixture.quality = 40;
        return fixture;
    };
    const Case cases[] = {
        {"colour, odd size", jpegFixture(37, 23, 3)},
        {"colour, one pixel", jpegFixture(1, 1, 3)},
        {"greyscale", jpegFixture(17, 9, 1)},
        {"progressive colour", progressive(jpegFixture(33, 20, 3))},
        {"progressive greyscale", progressive(jpegFixture(9, 30, 1))},
        {"low quality", lowQuality(jpegFixture(24, 24, 3))},
        {"several source blocks", jpegFixture(200, 150, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = writeJpeg(c.fixture);
        ASSERT_FALSE(file.empty());
        const ReferenceJpeg reference = referenceDecodeJpeg(file);
        ASSERT_EQ(reference.components, c.fixture.components);
        auto picture = decodeJpeg(file);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->kind, PictureKind::Jpeg);
        EXPECT_EQ(picture->width, c.fixture.width);
        EXPECT_EQ(picture->height, c.fixture.height);
        EXPECT_EQ(pixelsOf(*picture), referencePixels(reference));
    }
    EXPECT_GT(writeJpeg(cases[6].fixture).size(), 3u * 4096u);
}

// CMYK files show their true colours: red = (1 - C)(1 - K) and so on. Adobe's files store every
// channel inverted.
TEST(DecodeJpeg, CmykShowsTrueColours)
{
    struct Block {
        std::uint8_t c, m, y, k;
        std::uint32_t rgb;
    };
    const Block blocks[] = {
        {0, 0, 0, 0, 0xFFFFFF},     {255, 0, 0, 0, 0x00FFFF}, {0, 255, 255, 0, 0xFF0000},
        {0, 0, 0, 255, 0x000000},   {0, 0, 0, 128, 0x7F7F7F}, {0, 255, 0, 0, 0xFF00FF},
        {128, 64, 0, 51, 0x6699CC}, {0, 0, 255, 0, 0xFFFF00},
    };
    const int blockSize = 8;
    const int width = blockSize * 4, height = blockSize * 2;
    for (bool adobe : {true, false}) {
        SCOPED_TRACE(adobe ? "Adobe, inverted" : "plain");
        JpegFixture fixture;
        fixture.width = width;
        fixture.height = height;
        fixture.components = 4;
        fixture.quality = 100;
        fixture.adobeMarker = adobe;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const Block& b = blocks[(y / blockSize) * 4 + x / blockSize];
                for (std::uint8_t v : {b.c, b.m, b.y, b.k}) {
                    fixture.samples.push_back(adobe ? std::uint8_t(255 - v) : v);
                }
            }
        }
        auto picture = decodeJpeg(writeJpeg(fixture));
        ASSERT_TRUE(picture.has_value());
        ASSERT_EQ(picture->width, width);
        ASSERT_EQ(picture->height, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t want = blocks[(y / blockSize) * 4 + x / blockSize].rgb;
                const std::uint32_t got = picture->pixels[std::size_t(y * width + x)];
                ASSERT_EQ(got >> 24, 0xFFu);
                for (int shift : {16, 8, 0}) {
                    const int difference = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
                    ASSERT_LE(std::abs(difference), 2) << "pixel " << x << "," << y;
                }
            }
        }
    }
}

// A file cut off in its scan data loads at full size, the library filling what is missing, exactly
// as the library's own decode of the same bytes does.
TEST(DecodeJpeg, CutInTheScanDataStillLoads)
{
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        JpegFixture fixture = jpegFixture(64, 48, 3);
        fixture.progressive = progressive;
        const auto file = writeJpeg(fixture);
        const std::size_t scanStart = findMarker(file, 0xDA);
        ASSERT_LT(scanStart, file.size());
        for (int quarter = 1; quarter <= 3; ++quarter) {
            SCOPED_TRACE(quarter);
            const std::size_t length =
                scanStart + 20 + (file.size() - scanStart - 20) * std::size_t(quarter) / 4;
            const std::vector<std::uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
            auto picture = decodeJpeg(cut);
            ASSERT_TRUE(picture.has_value());
            EXPECT_EQ(picture->width, 64);
            EXPECT_EQ(picture->height, 48);
            EXPECT_EQ(pixelsOf(*picture), referencePixels(referenceDecodeJpeg(cut)));
        }
    }
}

std::vector<std::uint8_t> withSize(std::vector<std::uint8_t> file, int width, int height)
{
    const std::size_t frame = findMarker(file, 0xC0);
    file.at(frame + 5) = std::uint8_t(height >> 8);
    file.at(frame + 6) = std::uint8_t(height);
    file.at(frame + 7) = std::uint8_t(width >> 8);
    file.at(frame + 8) = std::uint8_t(width);
    return file;
}

TEST(DecodeJpeg, FailsCleanly)
{
    const auto valid = writeJpeg(jpegFixture(16, 16, 3));
    const std::size_t frame = findMarker(valid, 0xC0);
    std::vector<std::uint8_t> repeatedMarkers = {0xFF, 0xD8};
    for (int i = 0; i < 5000; ++i) {
        repeatedMarkers.insert(repeatedMarkers.end(), {0xFF, 0xFE, 0x00, 0x02}); // empty comments
    }
    std::vector<std::uint8_t> fillBytes = {0xFF, 0xD8};
    fillBytes.resize(10000, 0xFF);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"FF D8 and six zeros", {0xFF, 0xD8, 0, 0, 0, 0, 0, 0}},
        {"start and end of image only", {0xFF, 0xD8, 0xFF, 0xD9, 0, 0, 0, 0}},
        {"tables without a frame",
         std::vector<std::uint8_t>(valid.begin(), valid.begin() + std::ptrdiff_t(frame))},
        {"cut inside the frame header",
         std::vector<std::uint8_t>(valid.begin(), valid.begin() + std::ptrdiff_t(frame + 6))},
        {"segment longer than the file", {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 1, 2, 3}},
        {"many empty segments, no image", repeatedMarkers},
        {"fill bytes to the end", fillBytes},
        {"height 0", withSize(valid, 16, 0)},
        {"beyond the pixel cap", withSize(valid, 65000, 65000)},
        {"20000 x 20000, beyond the cap", withSize(valid, 20000, 20000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(decodeJpeg(c.file).has_value());
    }
}

// Every prefix of a valid file gives the whole picture, as the library decodes those bytes, or
// nothing; under AddressSanitizer this also shows any read outside the file.
TEST(DecodeJpeg, EveryTruncationIsWholeOrNothing)
{
    JpegFixture progressive = jpegFixture(16, 16, 3);
    progressive.progressive = true;
    const JpegFixture fixtures[] = {jpegFixture(16, 16, 3), jpegFixture(9, 7, 1), progressive};
    for (const JpegFixture& fixture : fixtures) {
        SCOPED_TRACE(std::to_string(fixture.components) + (fixture.progressive ? " progressive" : ""));
        const auto file = writeJpeg(fixture);
        for (std::size_t length = 0; length <= file.size(); ++length) {
            SCOPED_TRACE(length);
            const std::vector<std::uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(length));
            auto picture = decodeJpeg(prefix);
            if (length == file.size()) {
                ASSERT_TRUE(picture.has_value());
            }
            if (picture) {
                EXPECT_EQ(picture->width, fixture.width);
                EXPECT_EQ(picture->height, fixture.height);
                EXPECT_EQ(pixelsOf(*picture), referencePixels(referenceDecodeJpeg(prefix)));
            }
        }
    }
}

} // namespace
