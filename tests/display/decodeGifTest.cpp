#include "display/decoders.h"
#include "display/pictureStore.h"
#include "tests/support/decoderChecks.h"
#include "tests/support/gifWriter.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr std::uint32_t black = 0xFF000000;
constexpr std::uint32_t white = 0xFFFFFFFF;
const std::vector<std::uint32_t> fourColours = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080};

std::vector<std::uint8_t> indicesOf(int width, int height, int colours, int seed = 0)
{
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            indices.push_back(std::uint8_t((x * 7 + y * 3 + seed + (x * y) % 5) % colours));
        }
    }
    return indices;
}

// The screen as expected: the image's pixels from its top-left corner, clipped to the screen, each
// index looked up in table (black beyond it); fill everywhere else.
std::vector<std::uint32_t> expectedScreen(int screenWidth, int screenHeight, int imageWidth, int imageHeight,
                                          const std::vector<std::uint8_t>& indices,
                                          const std::vector<std::uint32_t>& table, std::uint32_t fill,
                                          std::size_t decodedPixels = SIZE_MAX)
{
    std::vector<std::uint32_t> out(std::size_t(screenWidth) * std::size_t(screenHeight), fill);
    for (int y = 0; y < std::min(screenHeight, imageHeight); ++y) {
        for (int x = 0; x < std::min(screenWidth, imageWidth); ++x) {
            const std::size_t at = std::size_t(y) * std::size_t(imageWidth) + std::size_t(x);
            if (at >= decodedPixels) {
                continue;
            }
            const std::uint8_t index = indices[at];
            out[std::size_t(y) * std::size_t(screenWidth) + std::size_t(x)] =
                index < table.size() ? 0xFF000000u | table[index] : black;
        }
    }
    return out;
}

GifFile simpleGif(int width, int height, std::vector<std::uint32_t> table, int colours)
{
    GifFile gif;
    gif.screenWidth = std::uint16_t(width);
    gif.screenHeight = std::uint16_t(height);
    gif.globalTable = std::move(table);
    GifImage image;
    image.width = std::uint16_t(width);
    image.height = std::uint16_t(height);
    image.indices = indicesOf(width, height, colours);
    gif.image = image;
    return gif;
}

std::vector<std::uint32_t> greyRamp(int entries)
{
    std::vector<std::uint32_t> table;
    for (int i = 0; i < entries; ++i) {
        const auto v = std::uint32_t(i * 255 / std::max(1, entries - 1));
        table.push_back(v << 16 | (255 - v) << 8 | (v * 3 & 0xFF));
    }
    return table;
}

struct GifCase {
    std::string name;
    GifFile gif;
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint32_t> expected;
};

std::vector<GifCase> decodingCases()
{
    std::vector<GifCase> cases;
    {
        GifFile gif = simpleGif(4, 3, fourColours, 4);
        cases.push_back(
            {"global table", gif, 4, 3, expectedScreen(4, 3, 4, 3, gif.image->indices, fourColours, 0)});
    }
    {
        GifFile gif = simpleGif(5, 2, {0x111111, 0x222222}, 4);
        gif.image->localTable = fourColours;
        cases.push_back(
            {"local table wins", gif, 5, 2, expectedScreen(5, 2, 5, 2, gif.image->indices, fourColours, 0)});
    }
    {
        GifFile gif = simpleGif(3, 11, fourColours, 4);
        gif.image->interlaced = true;
        cases.push_back({"interlaced rows back in order", gif, 3, 11,
                         expectedScreen(3, 11, 3, 11, gif.image->indices, fourColours, 0)});
    }
    for (int height : {1, 2, 3, 4, 5, 8, 9}) {
        GifFile gif = simpleGif(2, height, fourColours, 4);
        gif.image->interlaced = true;
        cases.push_back({"interlaced, " + std::to_string(height) + " rows", gif, 2, height,
                         expectedScreen(2, height, 2, height, gif.image->indices, fourColours, 0)});
    }
    {
        // 256 colours and enough pixels for the table to fill up and be cleared more than once.
        const auto table = greyRamp(256);
        GifFile gif = simpleGif(97, 83, table, 256);
        gif.image->minimumCodeSize = 8;
        cases.push_back({"12-bit codes, clears when full", gif, 97, 83,
                         expectedScreen(97, 83, 97, 83, gif.image->indices, table, 0)});
        gif.image->lzw.clearWhenFull = false;
        cases.push_back({"12-bit codes, table kept full", gif, 97, 83,
                         expectedScreen(97, 83, 97, 83, gif.image->indices, table, 0)});
    }
    {
        GifFile gif = simpleGif(40, 30, {0x000000, 0xFFFFFF}, 2);
        gif.image->minimumCodeSize = 1;
        cases.push_back({"minimum code size 1", gif, 40, 30,
                         expectedScreen(40, 30, 40, 30, gif.image->indices, {0x000000, 0xFFFFFF}, 0)});
    }
    {
        GifFile gif = simpleGif(6, 6, fourColours, 1); // one colour: long runs of the same string
        gif.image->lzw.clearFirst = false;
        cases.push_back({"no leading clear, repeated strings", gif, 6, 6,
                         expectedScreen(6, 6, 6, 6, gif.image->indices, fourColours, 0)});
    }
    {
        // The descriptor's position is not used; what the image leaves uncovered is background.
        GifFile gif = simpleGif(3, 2, fourColours, 4);
        gif.screenWidth = 5;
        gif.screenHeight = 4;
        gif.backgroundIndex = 3;
        gif.image->left = 2;
        gif.image->top = 1;
        cases.push_back({"smaller image at the corner, background around", gif, 5, 4,
                         expectedScreen(5, 4, 3, 2, gif.image->indices, fourColours, 0xFF808080)});
        gif.backgroundIndex = 9;
        cases.push_back({"background index beyond the table shows white", gif, 5, 4,
                         expectedScreen(5, 4, 3, 2, gif.image->indices, fourColours, white)});
        gif.globalTable.clear();
        gif.image->localTable = fourColours;
        gif.backgroundIndex = 0;
        cases.push_back({"no global table: white around", gif, 5, 4,
                         expectedScreen(5, 4, 3, 2, gif.image->indices, fourColours, white)});
    }
    {
        GifFile gif = simpleGif(6, 5, fourColours, 4);
        gif.screenWidth = 4;
        gif.screenHeight = 3;
        cases.push_back({"larger image clipped to the screen", gif, 4, 3,
                         expectedScreen(4, 3, 6, 5, gif.image->indices, fourColours, 0)});
        gif.image->interlaced = true;
        cases.push_back({"larger interlaced image clipped", gif, 4, 3,
                         expectedScreen(4, 3, 6, 5, gif.image->indices, fourColours, 0)});
    }
    {
        GifFile gif = simpleGif(4, 2, {0xFF0000, 0x00FF00}, 4);
        gif.image->minimumCodeSize = 2;
        cases.push_back({"indices beyond the table show black", gif, 4, 2,
                         expectedScreen(4, 2, 4, 2, gif.image->indices, {0xFF0000, 0x00FF00}, 0)});
        gif.globalTable.clear();
        cases.push_back({"no table at all: black", gif, 4, 2, std::vector<std::uint32_t>(8, black)});
    }
    {
        GifFile gif = simpleGif(3, 3, fourColours, 4);
        gif.blocksBefore = extensionBlock(0xF9, {0x01, 0x00, 0x00, 0x02});
        for (std::uint8_t label : {0xFE, 0x01, 0xFF}) {
            const auto block = extensionBlock(label, std::vector<std::uint8_t>(300, 0x41));
            gif.blocksBefore.insert(gif.blocksBefore.end(), block.begin(), block.end());
        }
        const auto empty = extensionBlock(0xFE, {});
        gif.blocksBefore.insert(gif.blocksBefore.end(), empty.begin(), empty.end());
        // The transparent index 2 that the graphic control declares is not applied.
        cases.push_back({"known extensions skipped", gif, 3, 3,
                         expectedScreen(3, 3, 3, 3, gif.image->indices, fourColours, 0)});
    }
    {
        GifFile gif = simpleGif(4, 4, fourColours, 4);
        gif.screenWidth = 0;
        cases.push_back({"empty screen", gif, 0, 4, {}});
    }
    {
        GifFile gif = simpleGif(3, 2, fourColours, 4);
        gif.image->width = 0;
        gif.image->indices.clear();
        gif.screenWidth = 2;
        gif.backgroundIndex = 1;
        cases.push_back({"image without pixels", gif, 2, 2, std::vector<std::uint32_t>(4, 0xFF00FF00)});
    }
    return cases;
}

TEST(DecodeGif, DecodesTheFirstImageOntoTheScreen)
{
    for (const GifCase& c : decodingCases()) {
        SCOPED_TRACE(c.name);
        const auto file = writeGif(c.gif);
        const auto picture = decodeGif(file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, PictureKind::Gif);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        EXPECT_EQ(pixelsOf(*picture), c.expected);
    }
}

TEST(DecodeGif, OnlyTheFirstImageCounts)
{
    GifFile gif = simpleGif(3, 2, fourColours, 4);
    GifFile second = simpleGif(3, 2, fourColours, 4);
    second.image->indices = std::vector<std::uint8_t>(6, 3);
    auto secondBytes = writeGif(second);
    // Everything of the second file after its header and table: its image and trailer.
    gif.blocksAfter.assign(secondBytes.begin() + 13 + 12, secondBytes.end() - 1);
    const auto picture = decodeGif(writeGif(gif));
    ASSERT_TRUE(picture);
    EXPECT_EQ(pixelsOf(*picture), expectedScreen(3, 2, 3, 2, gif.image->indices, fourColours, 0));
}

// Data that ends before the image is complete shows what was decoded; the rest is background.
TEST(DecodeGif, ShowsWhatWasDecodedWhenTheDataEndsEarly)
{
    // Entry 4, green, is the background only; the codes name entries 1 to 3.
    const std::vector<std::uint32_t> table = {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF, 0x00FF00};
    // Codes start at 3 bits (clear 4, end 5) and widen to 4 once entry 8 may be named.
    struct Case {
        const char* name;
        std::vector<LzwCode> codes;
        std::size_t bytesCut;    // taken off the end of the file
        std::vector<int> pixels; // colour indices, -1 for the background
    };
    const Case cases[] = {
        {"end code after four pixels",
         {{4, 3}, {2, 3}, {3, 3}, {6, 3}, {5, 4}},
         0,
         {2, 3, 2, 3, -1, -1, -1, -1, -1}},
        {"stream stops without end code",
         {{4, 3}, {2, 3}, {3, 3}, {6, 3}, {7, 4}},
         0,
         {2, 3, 2, 3, 3, 2, -1, -1, -1}},
        {"file ends inside the sub-block",
         {{4, 3}, {2, 3}, {3, 3}, {6, 3}, {1, 4}},
         3,
         {2, -1, -1, -1, -1, -1, -1, -1, -1}},
        {"sub-blocks not closed",
         {{4, 3}, {2, 3}, {3, 3}, {6, 3}, {1, 4}},
         2,
         {2, 3, 2, 3, 1, -1, -1, -1, -1}},
        {"code beyond the table stops decoding",
         {{4, 3}, {2, 3}, {7, 3}, {1, 3}},
         0,
         {2, -1, -1, -1, -1, -1, -1, -1, -1}},
        {"first code not a colour", {{4, 3}, {6, 3}, {2, 3}}, 0, std::vector<int>(9, -1)},
        {"end code at once", {{4, 3}, {5, 3}}, 0, std::vector<int>(9, -1)},
        {"no codes at all", {}, 0, std::vector<int>(9, -1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GifFile gif;
        gif.screenWidth = 3;
        gif.screenHeight = 3;
        gif.globalTable = table;
        gif.backgroundIndex = 4;
        GifImage image;
        image.width = 3;
        image.height = 3;
        image.codeStream = packCodes(c.codes);
        gif.image = image;
        auto file = writeGif(gif);
        file.resize(file.size() - c.bytesCut);
        const auto picture = decodeGif(file);
        ASSERT_TRUE(picture);
        std::vector<std::uint32_t> expected;
        for (int index : c.pixels) {
            expected.push_back(0xFF000000u | table[index < 0 ? 4 : std::size_t(index)]);
        }
        EXPECT_EQ(pixelsOf(*picture), expected);
    }
}

TEST(DecodeGif, ExtraCodesAfterAFullImageAreIgnored)
{
    GifFile gif = simpleGif(2, 2, fourColours, 4);
    GifImage image = *gif.image;
    auto stored = image.indices;
    stored.insert(stored.end(), {3, 3, 3, 3, 3, 3, 3, 3});
    image.codeStream = lzwEncode(stored, 2);
    gif.image = image;
    const auto picture = decodeGif(writeGif(gif));
    ASSERT_TRUE(picture);
    EXPECT_EQ(pixelsOf(*picture), expectedScreen(2, 2, 2, 2, gif.image->indices, fourColours, 0));
}

TEST(DecodeGif, RefusesFilesWithoutADecodableImage)
{
    const auto good = writeGif(simpleGif(2, 2, fourColours, 4));
    auto withBlocks = [](std::vector<std::uint8_t> blocks, bool image = true) {
        GifFile gif = simpleGif(2, 2, fourColours, 4);
        gif.blocksBefore = std::move(blocks);
        if (!image) {
            gif.image.reset();
        }
        return writeGif(gif);
    };
    auto withCodeSize = [](int size) {
        GifFile gif = simpleGif(2, 2, fourColours, 4);
        gif.image->codeStream = std::vector<std::uint8_t>{0x00};
        gif.image->minimumCodeSize = size;
        return writeGif(gif);
    };
    auto badSignature = good;
    badSignature[4] = '8';
    std::vector<std::uint8_t> tableToTheEnd(good.begin(), good.begin() + 13 + 12);
    std::vector<std::uint8_t> localTableShort = withBlocks({});
    {
        GifFile gif = simpleGif(2, 2, fourColours, 4);
        gif.image->localTable = greyRamp(16);
        auto file = writeGif(gif);
        const std::size_t localAt = 13 + 12 + 10;
        localTableShort.assign(file.begin(), file.begin() + std::ptrdiff_t(localAt + 20));
    }
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"13 bytes", std::vector<std::uint8_t>(good.begin(), good.begin() + 13)},
        {"bad signature", badSignature},
        {"global table reaching the end of the file", tableToTheEnd},
        {"global table cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 20)},
        {"trailer before any image", withBlocks({0x3B})},
        {"no image at all", withBlocks({}, false)},
        {"zero byte before the image", withBlocks({0x00})},
        {"unknown block", withBlocks({0x2A})},
        {"unknown extension label", withBlocks(extensionBlock(0x2A, {1, 2, 3}))},
        {"extension running past the end",
         std::vector<std::uint8_t>{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 10, 1, 2}},
        {"image descriptor cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 13 + 12 + 6)},
        {"local table cut short", localTableShort},
        {"minimum code size 0", withCodeSize(0)},
        {"minimum code size 12", withCodeSize(12)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(decodeGif(c.file));
    }
}

TEST(DecodeGif, TrailerBeforeAnImageOfAHugeScreenFailsAtOnce)
{
    GifFile gif;
    gif.screenWidth = 65535;
    gif.screenHeight = 65535;
    gif.globalTable = fourColours;
    gif.blocksBefore = extensionBlock(0xFE, {'h', 'i'});
    const auto file = writeGif(gif);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(decodeGif(file));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(DecodeGif, EveryTruncationGivesAWholePictureOrNothing)
{
    for (const GifCase& c : decodingCases()) {
        SCOPED_TRACE(c.name);
        if (c.gif.image && c.gif.image->width * c.gif.image->height > 200) {
            continue; // the small fixtures cover every path; the large ones only cost time
        }
        expectEveryTruncationWholeOrNothing(writeGif(c.gif), decodeGif);
    }
}

TEST(DecodeGif, EveryCorpusFileGivesAWholePictureOrNothing)
{
    expectWholeOrNothingOverCorpus(VISTREL_SHARED_DIR "/corpus", decodeGif);
}

} // namespace
