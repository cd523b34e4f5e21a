#include "display/decoders.h"
#include "display/pictureStore.h"
#include "tests/support/decoderChecks.h"
#include "tests/support/pngWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <zlib.h>

namespace {

// The big-endian width and height of the IHDR chunk replaced, its CRC made right again.
std::vector<std::uint8_t> withHeaderSize(std::vector<std::uint8_t> png, std::uint32_t width,
                                         std::uint32_t height)
{
    for (int i = 0; i < 4; ++i) {
        png[16 + std::size_t(i)] = std::uint8_t(width >> (24 - 8 * i));
        png[20 + std::size_t(i)] = std::uint8_t(height >> (24 - 8 * i));
    }
    const uLong crc = crc32(0, png.data() + 12, 17);
    for (int i = 0; i < 4; ++i) {
        png[29 + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
    }
    return png;
}

TEST(DecodePng, KeepsEveryColourTypeAsStraightBlueGreenRedAlpha)
{
    struct Case {
        const char* name;
        bool withAlpha;
        std::vector<std::uint32_t> written;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"rgba keeps its alpha unblended",
         true,
         {0x80000000, 0x01000000, 0x00FFFFFF, 0xFF123456, 0x7F80C0E0, 0xFE010203},
         {0x80000000, 0x01000000, 0x00FFFFFF, 0xFF123456, 0x7F80C0E0, 0xFE010203}},
        {"rgb gets alpha 255",
         false,
         {0x00000000, 0x00FFFFFF, 0x00123456, 0x00ABCDEF, 0x00010203, 0x00FF0000},
         {0xFF000000, 0xFFFFFFFF, 0xFF123456, 0xFFABCDEF, 0xFF010203, 0xFFFF0000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file = writePng(3, 2, c.written, c.withAlpha);
        ASSERT_FALSE(file.empty());
        const auto picture = decodePng(file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, PictureKind::Png);
        EXPECT_EQ(picture->width, 3);
        EXPECT_EQ(picture->height, 2);
        EXPECT_EQ(pixelsOf(*picture), c.expected);
        EXPECT_TRUE(picture->mask.empty());
    }
}

TEST(DecodePng, DrawsBlendedOverWhiteEveryTimeAndKeepsItsAlpha)
{
    // Black at alpha 128, 1, 0 and 255, then a colour at alpha 128 and an opaque one.
    const std::vector<std::uint32_t> written = {0x80000000, 0x01000000, 0x00000000,
                                                0xFF000000, 0x80C86432, 0xFF336699};
    auto picture = decodePng(writePng(6, 1, written));
    ASSERT_TRUE(picture);
    const std::int32_t id = addPicture(std::move(*picture));
    // (200, 100, 50) at 128: f = 128 * 0.0039215688593685627; 255 * (1 - f) = 126.99999...
    const std::vector<std::uint32_t> expected = {0xFF7E7E7E, 0xFFFDFDFD, 0xFFFFFFFF,
                                                 0xFF000000, 0xFFE3B198, 0xFF336699};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const auto source = renderPicture(id);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->mode, DrawMode::BlendOverWhite);
        // The store keeps the straight alpha; the blend happens only on the way to the canvas.
        EXPECT_EQ(std::vector<std::uint32_t>(source->pixels, source->pixels + 6), written);
    }
    unloadPicture(id);
    // A red canvas shows that the blend is over white, not over what lies under the picture.
    auto again = decodePng(writePng(6, 1, written));
    ASSERT_TRUE(again);
    EXPECT_EQ(drawnPixels(std::move(*again), 6, 1, 0xFF0000), expected);
}

TEST(DecodePng, RefusesBrokenAndOversizedFiles)
{
    const auto good = writePng(2, 2, {0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000});
    auto badCrc = good;
    badCrc[20] ^= 0x01; // height changed, CRC left as it was
    auto badData = good;
    badData[badData.size() - 20] ^= 0xFF; // inside the compressed rows or their checksum
    const std::vector<std::uint8_t> notPng = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"empty", {}},
        {"signature only", std::vector<std::uint8_t>(good.begin(), good.begin() + 8)},
        {"header CRC wrong", badCrc},
        {"image data corrupt", badData},
        {"not a PNG", notPng},
        // 20000 x 20000 is over the store's cap: refused before a row is inflated.
        {"too many pixels", withHeaderSize(good, 20000, 20000)},
        {"image data shorter than the header says", withHeaderSize(good, 2, 3000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(decodePng(c.file));
    }
}

TEST(DecodePng, PngNamedAsJpegLoadsAsPng)
{
    const auto file = writePng(2, 1, {0x80000000, 0xFF00FF00});
    const auto path =
        std::filesystem::temp_directory_path() / ("vistrel-" + std::to_string(getpid()) + "-photo.jpg");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    const std::int32_t id = loadPicture(path.string());
    std::filesystem::remove(path);
    ASSERT_NE(id, 0);
    EXPECT_EQ(getPictureSize(id).width, 2);
    EXPECT_EQ(getPictureSize(id).height, 1);
    const auto source = renderPicture(id);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->mode, DrawMode::BlendOverWhite);
    EXPECT_EQ(source->pixels[0], 0x80000000u);
    unloadPicture(id);
}

TEST(DecodePng, EveryTruncationGivesAWholePictureOrNothing)
{
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t i = 0; i < 7 * 5; ++i) {
        pixels.push_back(i * 0x05030107u);
    }
    expectEveryTruncationWholeOrNothing(writePng(7, 5, pixels), decodePng);
    expectEveryTruncationWholeOrNothing(writePng(7, 5, pixels, false), decodePng);
}

TEST(DecodePng, EveryCorpusFileGivesAWholePictureOrNothing)
{
    expectWholeOrNothingOverCorpus(VISTREL_SHARED_DIR "/corpus", decodePng);
}

} // namespace
