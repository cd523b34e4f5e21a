#include "display/decoders.h"
#include "display/pictureStore.h"
#include "tests/support/decoderChecks.h"
#include "tests/support/iconWriter.h"
#include "tests/support/pngWriter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

constexpr std::uint32_t black = 0xFF000000;

// A width x height bitmap of the given depth: pixel values cycle through the table (or a colour
// pattern), and every third pixel is masked out.
IconBitmap bitmapOf(std::int32_t width, std::int32_t height, std::uint16_t bits)
{
    IconBitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitsPerPixel = bits;
    if (bits <= 8) {
        for (std::uint32_t i = 0; i < (1u << bits); ++i) {
            bitmap.table.push_back((i * 71 & 0xFF) << 16 | (i * 13 & 0xFF) << 8 | (255 - i));
        }
    }
    for (std::int32_t i = 0; i < width * height; ++i) {
        const auto n = std::uint32_t(i);
        if (bits <= 8) {
            bitmap.pixels.push_back((n * 5 + 1) % (1u << bits));
        } else {
            bitmap.pixels.push_back(((n * 40) & 0xFF) << 16 | ((200 - n * 9) & 0xFF) << 8 |
                                    ((n * 17) & 0xFF));
        }
        bitmap.mask.push_back(i % 3 == 0 ? 1 : 0);
    }
    return bitmap;
}

// The expected opaque colours of a bitmap.
std::vector<std::uint32_t> coloursOf(const IconBitmap& bitmap)
{
    std::vector<std::uint32_t> out;
    for (std::uint32_t value : bitmap.pixels) {
        if (bitmap.bitsPerPixel <= 8) {
            out.push_back(value < bitmap.table.size() ? 0xFF000000u | bitmap.table[value] : black);
        } else {
            out.push_back(0xFF000000u | value);
        }
    }
    return out;
}

std::vector<std::uint8_t> singleIcon(const IconBitmap& bitmap, std::uint16_t type = 1)
{
    IconEntry entry;
    entry.width = std::uint8_t(bitmap.width);
    entry.height = std::uint8_t(bitmap.height);
    entry.data = iconBitmap(bitmap);
    return writeIconFile(type, {entry});
}

struct IconCase {
    std::string name;
    std::vector<std::uint8_t> file;
    PictureKind kind;
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> mask;
};

std::vector<IconCase> decodingCases()
{
    std::vector<IconCase> cases;
    for (std::uint16_t bits : {1, 4, 8, 24}) {
        // Widths whose rows need padding in both the colour and the mask rows.
        const IconBitmap bitmap = bitmapOf(5, 3, bits);
        cases.push_back({std::to_string(bits) + " bits", singleIcon(bitmap), PictureKind::Icon, 5, 3,
                         coloursOf(bitmap), bitmap.mask});
    }
    {
        IconBitmap bitmap = bitmapOf(4, 2, 8);
        bitmap.coloursUsed = 3;
        bitmap.table.resize(3);
        cases.push_back({"short colour table; indices beyond it black", singleIcon(bitmap), PictureKind::Icon,
                         4, 2, coloursOf(bitmap), bitmap.mask});
    }
    {
        // Alpha in use: alpha below 128 is transparent whatever the mask says.
        IconBitmap bitmap = bitmapOf(4, 2, 32);
        const std::uint8_t alphas[] = {0, 127, 128, 255, 1, 200, 0, 255};
        std::vector<std::uint8_t> mask;
        std::vector<std::uint32_t> colours;
        for (std::size_t i = 0; i < 8; ++i) {
            colours.push_back(0xFF000000u | bitmap.pixels[i]);
            bitmap.pixels[i] |= std::uint32_t(alphas[i]) << 24;
            mask.push_back(alphas[i] < 128 ? 1 : 0);
        }
        bitmap.mask = {0, 0, 1, 1, 0, 0, 1, 1};
        cases.push_back({"32 bits with alpha: the alpha decides", singleIcon(bitmap), PictureKind::Icon, 4, 2,
                         colours, mask});
        bitmap.withMask = false;
        cases.push_back(
            {"32 bits with alpha, no mask rows", singleIcon(bitmap), PictureKind::Icon, 4, 2, colours, mask});
    }
    {
        const IconBitmap bitmap = bitmapOf(3, 3, 32); // alpha all zero: the mask decides
        cases.push_back({"32 bits, alpha unused: the mask decides", singleIcon(bitmap), PictureKind::Icon, 3,
                         3, coloursOf(bitmap), bitmap.mask});
        cases.push_back(
            {"cursor", singleIcon(bitmap, 2), PictureKind::Cursor, 3, 3, coloursOf(bitmap), bitmap.mask});
    }
    {
        IconBitmap bitmap = bitmapOf(3, 2, 24);
        bitmap.heightField = 5; // an odd doubled height is truncated
        cases.push_back({"odd doubled height", singleIcon(bitmap), PictureKind::Icon, 3, 2, coloursOf(bitmap),
                         bitmap.mask});
    }
    {
        const std::vector<std::uint32_t> argb = {0x00FF0000, 0x7F00FF00, 0x800000FF,
                                                 0xFF123456, 0x01ABCDEF, 0xFE010203};
        IconEntry entry;
        entry.width = 3;
        entry.height = 2;
        entry.data = writePng(3, 2, argb);
        cases.push_back({"PNG entry",
                         writeIconFile(1, {entry}),
                         PictureKind::Icon,
                         3,
                         2,
                         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFFABCDEF, 0xFF010203},
                         {1, 1, 0, 0, 1, 0}});
        entry.data = writePng(3, 2, argb, false);
        cases.push_back({"PNG entry without alpha",
                         writeIconFile(2, {entry}),
                         PictureKind::Cursor,
                         3,
                         2,
                         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF123456, 0xFFABCDEF, 0xFF010203},
                         {0, 0, 0, 0, 0, 0}});
    }
    return cases;
}

TEST(DecodeIconFile, DecodesEveryDepthWithItsMask)
{
    for (const IconCase& c : decodingCases()) {
        SCOPED_TRACE(c.name);
        const auto picture = decodeIconFile(c.file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, c.kind);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        EXPECT_EQ(pixelsOf(*picture), c.pixels);
        EXPECT_EQ(maskOf(*picture), c.mask);
    }
}

// An entry whose image is a solid colour, so the chosen one shows in the result.
IconEntry solidEntry(std::uint8_t width, std::uint8_t colourCount, std::uint32_t colour)
{
    IconBitmap bitmap;
    bitmap.width = width;
    bitmap.height = width;
    bitmap.bitsPerPixel = 24;
    bitmap.pixels.assign(std::size_t(width) * width, colour);
    IconEntry entry;
    entry.width = width;
    entry.height = width;
    entry.colourCount = colourCount;
    entry.data = iconBitmap(bitmap);
    return entry;
}

TEST(DecodeIconFile, ChoosesTheFirst32WithSixteenColoursElseTheLast)
{
    struct Case {
        const char* name;
        std::vector<IconEntry> entries;
        std::int32_t width;
        std::uint32_t colour;
    };
    const Case cases[] = {
        {"16 then 32, no colour count: the last",
         {solidEntry(16, 0, 0x111111), solidEntry(32, 0, 0x222222)},
         32,
         0x222222},
        {"32 then 16, no colour count: the last",
         {solidEntry(32, 0, 0x222222), solidEntry(16, 0, 0x111111)},
         16,
         0x111111},
        {"32 with 16 colours in the middle",
         {solidEntry(16, 0, 0x111111), solidEntry(32, 16, 0x333333), solidEntry(48, 0, 0x444444)},
         32,
         0x333333},
        {"first of two qualifying",
         {solidEntry(32, 8, 0x555555), solidEntry(32, 255, 0x666666), solidEntry(32, 16, 0x777777)},
         32,
         0x666666},
        {"32 with 8 colours does not qualify",
         {solidEntry(32, 8, 0x555555), solidEntry(16, 0, 0x111111)},
         16,
         0x111111},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto picture = decodeIconFile(writeIconFile(1, c.entries));
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.width);
        EXPECT_EQ(pixelsOf(*picture), std::vector<std::uint32_t>(std::size_t(c.width) * std::size_t(c.width),
                                                                 0xFF000000u | c.colour));
    }
}

TEST(DecodeIconFile, RefusesBrokenFiles)
{
    const IconBitmap good = bitmapOf(5, 3, 8);
    const auto goodFile = singleIcon(good);
    auto withBitmap = [&](auto change) {
        IconBitmap bitmap = good;
        change(bitmap);
        return singleIcon(bitmap);
    };
    auto withEntry = [&](auto change) {
        IconEntry entry;
        entry.width = 5;
        entry.height = 3;
        entry.data = iconBitmap(good);
        change(entry);
        return writeIconFile(1, {entry});
    };
    auto headerField = [&](std::size_t at, std::uint32_t value) {
        auto file = goodFile;
        for (int i = 0; i < 4; ++i) {
            file[22 + at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
        }
        return file;
    };
    auto cut = [](std::vector<std::uint8_t> data, std::size_t by) {
        data.resize(data.size() - by);
        return data;
    };
    const std::size_t maskBytes = 3 * 4;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"reserved word not 0",
         [&] {
             auto f = goodFile;
             f[0] = 1;
             return f;
         }()},
        {"type 3",
         [&] {
             auto f = goodFile;
             f[2] = 3;
             return f;
         }()},
        {"no images",
         [&] {
             auto f = goodFile;
             f[4] = 0;
             return f;
         }()},
        {"directory cut short",
         [&] {
             auto f = goodFile;
             f[4] = 2;
             f.resize(6 + 16 + 10);
             return f;
         }()},
        {"image beyond the file", withEntry([](IconEntry& e) { e.offsetField = 0xFFFFFFF0u; })},
        {"image size beyond the file", withEntry([](IconEntry& e) { e.sizeField = 0x7FFFFFFFu; })},
        {"file cut inside the image", cut(goodFile, 1)},
        {"negative width", withBitmap([](IconBitmap& b) { b.widthField = -5; })},
        {"negative height", withBitmap([](IconBitmap& b) { b.heightField = -6; })},
        {"16 bits per pixel", headerField(12, 1 | 16u << 16)},
        {"compressed", headerField(16, 1)},
        {"information header too short", headerField(0, 12)},
        {"more colours than the depth holds", headerField(32, 257)},
        {"colour rows cut short",
         withEntry([&](IconEntry& e) { e.data.resize(e.data.size() - maskBytes - 1); })},
        {"mask rows cut short", withEntry([](IconEntry& e) { e.data.resize(e.data.size() - 1); })},
        {"width far beyond the data", withBitmap([](IconBitmap& b) { b.widthField = 0x7FFFFFFF; })},
        {"PNG entry that libpng refuses", withEntry([](IconEntry& e) {
             e.data = writePng(2, 2, {0, 0, 0, 0});
             e.data[20] ^= 1;
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(decodeIconFile(c.file));
    }
}

// Transparent pixels leave the canvas as it was, at the icon's own size and scaled, with either
// scaling quality.
TEST(DecodeIconFile, DrawsThroughItsMask)
{
    IconBitmap bitmap;
    bitmap.width = 2;
    bitmap.height = 2;
    bitmap.bitsPerPixel = 24;
    bitmap.pixels = {0x0000FF, 0x00FF00, 0xFF0000, 0x000000};
    bitmap.mask = {1, 0, 0, 1};
    const std::uint32_t under = 0xFF204060;
    struct Case {
        const char* name;
        std::int32_t size;
        int depth;
        std::vector<std::uint32_t> expected;
    };
    const std::uint32_t u = under;
    const Case cases[] = {
        {"own size", 2, 32, {u, 0xFF00FF00, u, u, 0xFFFF0000, u, u, u, u, u, u, u, u, u, u, u}},
        {"doubled, averaged",
         4,
         32,
         {u, u, 0xFF00FF00, 0xFF00FF00, u, u, 0xFF00FF00, 0xFF00FF00, 0xFFFF0000, 0xFFFF0000, u, u,
          0xFFFF0000, 0xFFFF0000, u, u}},
        {"doubled, nearest",
         4,
         16,
         {u, u, 0xFF00FF00, 0xFF00FF00, u, u, 0xFF00FF00, 0xFF00FF00, 0xFFFF0000, 0xFFFF0000, u, u,
          0xFFFF0000, 0xFFFF0000, u, u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto picture = decodeIconFile(singleIcon(bitmap));
        ASSERT_TRUE(picture);
        EXPECT_EQ(drawnPixels(std::move(*picture), 4, 4, under & 0xFFFFFF, c.size, c.size, c.depth),
                  c.expected);
    }
}

TEST(DecodeIconFile, EveryTruncationGivesAWholePictureOrNothing)
{
    for (const IconCase& c : decodingCases()) {
        SCOPED_TRACE(c.name);
        expectEveryTruncationWholeOrNothing(c.file, decodeIconFile);
    }
}

TEST(DecodeIconFile, EveryCorpusFileGivesAWholePictureOrNothing)
{
    expectWholeOrNothingOverCorpus(VISTREL_SHARED_DIR "/corpus", decodeIconFile);
}

} // namespace
