#include "display/decoders.h"
#include "tests/support/bmpWriter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Distinct colours for every table entry, so a wrong index or a table read at the wrong place shows.
std::vector<std::uint32_t> testPalette(std::size_t entries)
{
    std::vector<std::uint32_t> palette;
    for (std::size_t i = 0; i < entries; ++i) {
        const auto n = std::uint32_t(i);
        palette.push_back(((n * 37 + 11) & 0xFF) << 16 | ((n * 91 + 5) & 0xFF) << 8 |
                          ((n * 13 + 200) & 0xFF));
    }
    return palette;
}

// Every pixel of a width x height picture, top row first: colour indices that use the whole table
// for indexed depths, colours for the others.
std::vector<std::uint32_t> testPixels(std::uint16_t bitsPerPixel, std::int32_t width, std::int32_t height)
{
    std::vector<std::uint32_t> pixels;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const auto n = std::uint32_t(y * width + x);
            if (bitsPerPixel <= 8) {
                pixels.push_back((n * 7 + std::uint32_t(y)) % (1u << bitsPerPixel));
            } else {
                pixels.push_back((n * 53 % 256) << 16 | (n * 101 % 256) << 8 | (255 - n * 29 % 256));
            }
        }
    }
    return pixels;
}

// What the decoder must give for fixture: each index looked up in the table, all opaque.
std::vector<std::uint32_t> expectedPixels(const BmpFixture& fixture)
{
    std::vector<std::uint32_t> expected;
    for (std::uint32_t value : fixture.pixels) {
        expected.push_back(0xFF000000u | (fixture.bitsPerPixel <= 8 ? fixture.palette.at(value) : value));
    }
    return expected;
}

std::vector<std::uint32_t> pixelsOf(const Picture& picture)
{
    return {picture.pixels.data(), picture.pixels.data() + picture.pixels.size()};
}

BmpFixture pictureFixture(std::uint16_t bitsPerPixel, std::int32_t width, std::int32_t height)
{
    BmpFixture fixture;
    fixture.bitsPerPixel = bitsPerPixel;
    fixture.width = width;
    fixture.height = height;
    if (bitsPerPixel <= 8) {
        fixture.palette = testPalette(std::size_t(1) << bitsPerPixel);
    }
    fixture.pixels = testPixels(bitsPerPixel, width, height);
    return fixture;
}

TEST(DecodeBmp, LoadsEveryDepthWidthAndOrientation)
{
    struct Case {
        const char* name;
        std::uint16_t bitsPerPixel;
        std::int32_t width;
        std::int32_t height;
        std::uint32_t infoHeaderSize;
        bool omitLastPadding;
    };
    const Case cases[] = {
        {"1 bit, 9 wide: 2 pixel bytes and 2 padding", 1, 9, 4, 40, false},
        {"1 bit, 1 wide", 1, 1, 3, 40, false},
        {"1 bit, 33 wide", 1, 33, 2, 40, false},
        {"1 bit, 32 wide: no padding", 1, 32, 2, 40, false},
        {"4 bits, 3 wide", 4, 3, 3, 40, false},
        {"4 bits, 9 wide", 4, 9, 2, 40, false},
        {"8 bits, 5 wide", 8, 5, 3, 40, false},
        {"8 bits, 4 wide", 8, 4, 2, 40, false},
        {"24 bits, 3 wide: 3 padding bytes", 24, 3, 4, 40, false},
        {"24 bits, 1 wide", 24, 1, 2, 40, false},
        {"24 bits, 4 wide: no padding", 24, 4, 2, 40, false},
        {"24 bits, 5 wide, last padding missing", 24, 5, 3, 40, true},
        {"32 bits, 3 wide", 32, 3, 3, 40, false},
        {"32 bits, 2 wide, no padding to miss", 32, 2, 2, 40, true},
        {"1 bit after a 64-byte header", 1, 9, 3, 64, false},
        {"4 bits after a 108-byte header", 4, 5, 3, 108, false},
        {"8 bits after a 124-byte header", 8, 7, 3, 124, false},
        {"8 bits, 66-byte header", 8, 3, 2, 66, false},
        {"24 bits after a 124-byte header", 24, 3, 2, 124, false},
        {"header size 12 is read as 40", 8, 3, 2, 12, false},
        {"header size 0 is read as 40", 4, 3, 2, 0, false},
    };
    for (const Case& c : cases) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (topDown ? ", top-down" : ", bottom-up"));
            BmpFixture fixture = pictureFixture(c.bitsPerPixel, c.width, c.height);
            fixture.infoHeaderSize = c.infoHeaderSize;
            fixture.omitLastPadding = c.omitLastPadding;
            fixture.topDown = topDown;
            auto picture = decodeBmp(writeBmp(fixture));
            ASSERT_TRUE(picture.has_value());
            EXPECT_EQ(picture->kind, PictureKind::Bmp);
            EXPECT_EQ(picture->width, c.width);
            EXPECT_EQ(picture->height, c.height);
            EXPECT_EQ(pixelsOf(*picture), expectedPixels(fixture));
        }
    }
}

TEST(DecodeBmp, TableSizeAndOffsetFields)
{
    struct Case {
        const char* name;
        std::uint16_t bitsPerPixel;
        std::size_t tableEntries;
        std::optional<std::uint32_t> coloursUsed;
        std::uint32_t dataOffsetGap; // bytes between the table and the rows
    };
    const Case cases[] = {
        {"8 bits, colour count 0 means 256", 8, 256, 0, 0},
        {"8 bits, short table of 16", 8, 16, std::nullopt, 0},
        {"4 bits, table longer than 16 entries", 4, 40, std::nullopt, 0},
        {"1 bit, gap before the rows", 1, 2, std::nullopt, 100},
        {"24 bits, a table nobody reads", 24, 3, std::nullopt, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFixture fixture = pictureFixture(c.bitsPerPixel, 6, 3);
        fixture.palette = testPalette(c.tableEntries);
        fixture.coloursUsed = c.coloursUsed;
        for (std::uint32_t& pixel : fixture.pixels) {
            if (c.bitsPerPixel <= 8) {
                pixel %= std::uint32_t(c.tableEntries);
            }
        }
        fixture.dataOffset = std::uint32_t(14 + 40 + 4 * c.tableEntries + c.dataOffsetGap);
        auto picture = decodeBmp(writeBmp(fixture));
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(pixelsOf(*picture), expectedPixels(fixture));
    }
}

TEST(DecodeBmp, IndexBeyondTheTableIsBlack)
{
    BmpFixture fixture = pictureFixture(8, 4, 2);
    fixture.palette = testPalette(3);
    fixture.pixels = {0, 1, 2, 3, 255, 2, 17, 1};
    auto picture = decodeBmp(writeBmp(fixture));
    ASSERT_TRUE(picture.has_value());
    const std::uint32_t black = 0xFF000000u;
    const auto& p = fixture.palette;
    const std::vector<std::uint32_t> expected = {
        0xFF000000u | p[0], 0xFF000000u | p[1], 0xFF000000u | p[2], black, black, 0xFF000000u | p[2], black,
        0xFF000000u | p[1],
    };
    EXPECT_EQ(pixelsOf(*picture), expected);
}

TEST(DecodeBmp, ZeroSizesLoadWithoutPixels)
{
    struct Case {
        const char* name;
        std::int32_t widthField;
        std::int32_t heightField;
        std::int32_t width;
        std::int32_t height;
    };
    const Case cases[] = {
        {"height 0", 5, 0, 5, 0},
        {"width 0", 0, 7, 0, 7},
        {"width 0, negative height", 0, -7, 0, 7},
        // No rows hold a byte, so nothing is read, and the decode does not walk 2^31 empty rows.
        {"width 0, huge height", 0, INT32_MAX, 0, INT32_MAX},
        {"width 0, most negative height but one", 0, -INT32_MAX, 0, INT32_MAX},
    };
    for (std::uint16_t bitsPerPixel : {1, 8, 24}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(bitsPerPixel) + " bits");
            BmpFixture fixture = pictureFixture(bitsPerPixel, 0, 0);
            fixture.widthField = c.widthField;
            fixture.heightField = c.heightField;
            auto picture = decodeBmp(writeBmp(fixture));
            ASSERT_TRUE(picture.has_value());
            EXPECT_EQ(picture->width, c.width);
            EXPECT_EQ(picture->height, c.height);
            EXPECT_TRUE(picture->pixels.empty());
        }
    }
}

TEST(DecodeBmp, NegativeWidthFieldReadsItsMagnitude)
{
    BmpFixture fixture = pictureFixture(24, 3, 2);
    fixture.widthField = -3;
    auto picture = decodeBmp(writeBmp(fixture));
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, 3);
    EXPECT_EQ(pixelsOf(*picture), expectedPixels(fixture));
}

TEST(DecodeBmp, RefusesWhatItCannotRead)
{
    struct Case {
        const char* name;
        BmpFixture fixture;
        std::size_t cutBytes; // taken off the end of the written file
    };
    auto with = [](BmpFixture fixture, auto change) {
        change(fixture);
        return fixture;
    };
    const BmpFixture rgb = pictureFixture(24, 5, 3);
    const BmpFixture indexed = pictureFixture(8, 5, 3);
    const BmpFixture mono = pictureFixture(1, 9, 3);
    const Case cases[] = {
        {"RLE8", with(indexed, [](BmpFixture& s) { s.compression = 1; }), 0},
        {"RLE4", with(pictureFixture(4, 5, 3), [](BmpFixture& s) { s.compression = 2; }), 0},
        {"bit fields", with(pictureFixture(32, 2, 2), [](BmpFixture& s) { s.compression = 3; }), 0},
        {"16 bits", with(rgb, [](BmpFixture& s) { s.bitsPerPixel = 16; }), 0},
        {"2 bits", with(pictureFixture(2, 4, 2), [](BmpFixture& s) { s.palette = testPalette(4); }), 0},
        {"0 bits", with(rgb, [](BmpFixture& s) { s.bitsPerPixel = 0; }), 0},
        {"pixel offset inside the table", with(indexed, [](BmpFixture& s) { s.dataOffset = 54 + 4 * 255; }),
         0},
        {"pixel offset in the header", with(mono, [](BmpFixture& s) { s.dataOffset = 46; }), 0},
        {"offset before a table that follows a larger header",
         with(indexed,
              [](BmpFixture& s) {
                  s.infoHeaderSize = 108;
                  s.dataOffset = 54 + 4 * 256; // where it would end after a 40-byte header
              }),
         0},
        {"24 bits, last row cut short", rgb, 1 + 1},
        {"32 bits, last row cut short", pictureFixture(32, 3, 2), 1},
        {"8 bits, 5 wide, last row's padding missing",
         with(indexed, [](BmpFixture& s) { s.omitLastPadding = true; }), 0},
        {"1 bit, last row's padding missing", mono, 1},
        {"table cut short", with(indexed, [](BmpFixture& s) { s.coloursUsed = 100000; }), 0},
        {"colour count 2^32 - 1", with(indexed, [](BmpFixture& s) { s.coloursUsed = UINT32_MAX; }), 0},
        {"pixel offset 0", with(indexed, [](BmpFixture& s) { s.dataOffset = 0; }), 0},
        {"height INT32_MIN", with(rgb, [](BmpFixture& s) { s.heightField = INT32_MIN; }), 0},
        {"width 0, height INT32_MIN: 2^31 rows",
         with(rgb,
              [](BmpFixture& s) {
                  s.widthField = 0;
                  s.heightField = INT32_MIN;
              }),
         0},
        {"width INT32_MIN", with(rgb, [](BmpFixture& s) { s.widthField = INT32_MIN; }), 0},
        {"rows of a huge picture missing",
         with(rgb,
              [](BmpFixture& s) {
                  s.widthField = 16384;
                  s.heightField = 16384;
              }),
         0},
        {"1 bit, 2^31 - 1 wide, rows missing", with(mono, [](BmpFixture& s) { s.widthField = INT32_MAX; }),
         0},
        {"rows need about 2^64 bytes",
         with(pictureFixture(32, 1, 1),
              [](BmpFixture& s) {
                  s.widthField = INT32_MAX;
                  s.heightField = INT32_MAX;
              }),
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = writeBmp(c.fixture);
        ASSERT_GE(file.size(), c.cutBytes);
        file.resize(file.size() - c.cutBytes);
        EXPECT_FALSE(decodeBmp(file).has_value());
    }
}

// Fields set after writing, where the writer would have to make the file huge to match them.
TEST(DecodeBmp, OffsetsBeyondTheFileFail)
{
    struct Case {
        const char* name;
        std::size_t at;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"header size 2^26 puts the table beyond the file", 14, 1u << 26},
        {"header size 2^32 - 1", 14, UINT32_MAX},
        {"pixel offset beyond the file", 10, 0xFFFFFFF0u},
        {"pixel offset one past the end", 10, 0},
    };
    const auto valid = writeBmp(pictureFixture(8, 5, 3));
    ASSERT_TRUE(decodeBmp(valid).has_value());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = valid;
        const std::uint32_t value = c.value != 0 ? c.value : std::uint32_t(file.size() + 1);
        for (std::size_t i = 0; i < 4; ++i) {
            file[c.at + i] = std::uint8_t(value >> (8 * i));
        }
        EXPECT_FALSE(decodeBmp(file).has_value());
    }
}

TEST(DecodeBmp, HeaderShorterThan54BytesFails)
{
    auto file = writeBmp(pictureFixture(24, 0, 0));
    ASSERT_EQ(file.size(), 54u);
    EXPECT_TRUE(decodeBmp(file).has_value());
    file.pop_back();
    EXPECT_FALSE(decodeBmp(file).has_value());
}

// Every prefix of a valid file gives the whole picture or nothing; under AddressSanitizer this also
// shows any read past the end.
TEST(DecodeBmp, EveryTruncationIsWholeOrNothing)
{
    BmpFixture withTable = pictureFixture(8, 5, 4);
    withTable.infoHeaderSize = 108;
    BmpFixture topDownRgb = pictureFixture(24, 5, 3);
    topDownRgb.topDown = true;
    const BmpFixture fixtures[] = {pictureFixture(1, 9, 3), pictureFixture(4, 3, 3), withTable, topDownRgb,
                                   pictureFixture(32, 3, 2)};
    for (const BmpFixture& fixture : fixtures) {
        SCOPED_TRACE(std::to_string(fixture.bitsPerPixel) + " bits");
        const auto file = writeBmp(fixture);
        const auto expected = expectedPixels(fixture);
        // The padding a 24- or 32-bit file may leave out after its last row.
        const std::size_t optional =
            fixture.bitsPerPixel == 24 ? std::size_t((4 - fixture.width * 3 % 4) % 4) : 0;
        for (std::size_t length = 0; length <= file.size(); ++length) {
            SCOPED_TRACE(length);
            const std::vector<std::uint8_t> prefix(file.begin(), file.begin() + std::ptrdiff_t(length));
            auto picture = decodeBmp(prefix);
            if (length + optional >= file.size()) {
                ASSERT_TRUE(picture.has_value());
                EXPECT_EQ(pixelsOf(*picture), expected);
            } else {
                EXPECT_FALSE(picture.has_value());
            }
        }
    }
}

} // namespace
