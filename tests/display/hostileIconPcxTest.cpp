#include "tests/display/hostileCase.h"
#include "tests/support/iconWriter.h"
#include "tests/support/pcxWriter.h"

#include <chrono>

namespace {

const std::vector<std::uint32_t> fourColours = {0x102030, 0x405060, 0x708090, 0xA0B0C0};

std::uint32_t colour(std::uint32_t index)
{
    return 0xFF000000u | fourColours[index];
}

// One 8-bit 2 x 2 icon with a table of four colours: header 6 and one entry 16 bytes, then the
// image at 22: information header (40), table (16, from 62), colour rows (2 x 4, from 78), mask
// rows (2 x 4, from 86).
IconBitmap smallBitmap()
{
    IconBitmap bitmap;
    bitmap.width = 2;
    bitmap.height = 2;
    bitmap.bitsPerPixel = 8;
    bitmap.table = fourColours;
    bitmap.coloursUsed = 4;
    bitmap.pixels = {0, 1, 2, 3};
    return bitmap;
}

std::vector<std::uint8_t> iconOf(const IconBitmap& bitmap)
{
    IconEntry entry;
    entry.width = std::uint8_t(bitmap.width);
    entry.height = std::uint8_t(bitmap.height);
    entry.data = iconBitmap(bitmap);
    return writeIconFile(1, {entry});
}

constexpr std::size_t imageAt = 22;
constexpr std::size_t sizeFieldAt = 14;
constexpr std::size_t offsetFieldAt = 18;

TEST(HostileIcon, DeclaredSizes)
{
    const auto file = iconOf(smallBitmap());
    const std::size_t widthAt = imageAt + 4;
    const std::size_t heightAt = imageAt + 8; // twice the height
    std::vector<HostileCase> cases;
    for (std::uint64_t size : hostileSizes) {
        const std::string n = std::to_string(size);
        const auto s = std::uint32_t(size);
        Outcome width;
        Outcome height;
        switch (size) {
        case 0:
            width = loadsAs(0, 2);
            height = loadsAs(2, 0);
            break;
        case 1:
            // One column: rows of a 1-wide 8-bit image take 4 bytes, as those of a 2-wide one. A
            // doubled height of 1 is a height of 0.
            width = loadsAs(1, 2, {colour(0), colour(2)});
            height = loadsAs(2, 0);
            break;
        default:
            break; // rows beyond the data, sizes over the cap, negative fields
        }
        cases.push_back({"width " + n, withU32(file, widthAt, s), width});
        cases.push_back({"doubled height " + n, withU32(file, heightAt, s), height});
    }
    // 2^16 x 2^16 is 0 in 32 bits.
    cases.push_back({"65536 x 65536", withU32(withU32(file, widthAt, 65536), heightAt, 131072), refused()});
    // No pixels, but 2^30 rows of no width: done at once.
    cases.push_back(
        {"0 x 968851456", withU32(withU32(file, widthAt, 0), heightAt, 0x737F0000u), loadsAs(0, 968851456)});
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        expectOutcome(c, decodeIconFile);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    }
}

TEST(HostileIcon, OffsetsCountsAndIndices)
{
    const auto file = iconOf(smallBitmap());
    IconBitmap twoEntries = smallBitmap();
    twoEntries.table = {fourColours[0], fourColours[1]};
    twoEntries.coloursUsed = 2;
    IconBitmap noMask = smallBitmap();
    noMask.withMask = false;
    IconBitmap alphaNoMask = smallBitmap();
    alphaNoMask.bitsPerPixel = 32;
    alphaNoMask.table.clear();
    alphaNoMask.coloursUsed = 0;
    alphaNoMask.pixels = {0xFF112233u, 0x00445566u, 0x80778899u, 0x7FAABBCCu};
    alphaNoMask.withMask = false;
    const std::vector<HostileCase> cases = {
        {"image offset 0 (the file header)", withU32(file, offsetFieldAt, 0), refused()},
        {"image offset 6 (the directory)", withU32(file, offsetFieldAt, 6), refused()},
        {"image offset at the end", withU32(file, offsetFieldAt, std::uint32_t(file.size())), refused()},
        {"image offset 2^32 - 1", withU32(file, offsetFieldAt, 0xFFFFFFFFu), refused()},
        {"image size 0", withU32(file, sizeFieldAt, 0), refused()},
        {"image size one past the end", withU32(file, sizeFieldAt, std::uint32_t(file.size() - imageAt + 1)),
         refused()},
        {"image size 2^32 - 1", withU32(file, sizeFieldAt, 0xFFFFFFFFu), refused()},
        {"65535 images, one in the file", withU16(file, 4, 0xFFFF), refused()},
        {"colours used 2^32 - 1", withU32(file, imageAt + 32, 0xFFFFFFFFu), refused()},
        {"header size 2^32 - 1", withU32(file, imageAt, 0xFFFFFFFFu), refused()},
        {"indices 2 and 3 with 2 entries", iconOf(twoEntries),
         loadsAs(2, 2, {colour(0), colour(1), 0xFF000000u, 0xFF000000u})},
        {"8 bits without the mask", iconOf(noMask), refused()},
        // Alpha stands in for a missing mask; the pixels come out opaque.
        {"32 bits with alpha, without the mask", iconOf(alphaNoMask),
         loadsAs(2, 2, {0xFF112233u, 0xFF445566u, 0xFF778899u, 0xFFAABBCCu})},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodeIconFile);
    }
}

TEST(HostileIcon, TruncationAtEveryStructuralBoundary)
{
    const auto file = iconOf(smallBitmap());
    const std::vector<HostileCase> cases = {
        {"file header only", cutTo(file, 6), refused()},
        {"half the directory", cutTo(file, 14), refused()},
        {"directory, no image", cutTo(file, imageAt), refused()},
        {"half the information header", cutTo(file, imageAt + 20), refused()},
        {"half the table", cutTo(file, 70), refused()},
        {"one colour row", cutTo(file, 82), refused()},
        {"one mask row", cutTo(file, 90), refused()},
        {"whole", file, loadsAs(2, 2, {colour(0), colour(1), colour(2), colour(3)})},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodeIconFile);
    }
}

// An 8-bit PCX of 3 x 2 with 4 bytes per line and a palette whose entry i is (i, 255 - i, 7):
// the 128-byte header, the run-length data, the 0C marker and 768 bytes of palette.
PcxFile smallPcx()
{
    PcxFile pcx;
    pcx.xmax = 2;
    pcx.ymax = 1;
    pcx.bytesPerLine = 4;
    pcx.lines = {10, 200, 255, 0, 3, 3, 3, 0};
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 256; ++i) {
        palette.push_back(i << 16 | (255 - i) << 8 | 7);
    }
    pcx.palette = palette;
    return pcx;
}

std::uint32_t paletteColour(std::uint32_t i)
{
    return 0xFF000000u | i << 16 | (255 - i) << 8 | 7;
}

std::uint32_t grey(std::uint32_t i)
{
    return 0xFF000000u | i << 16 | i << 8 | i;
}

TEST(HostilePcx, DeclaredSizesAndLineLengths)
{
    const auto file = writePcx(smallPcx());
    const std::vector<std::uint32_t> whole = {paletteColour(10), paletteColour(200), paletteColour(255),
                                              paletteColour(3),  paletteColour(3),   paletteColour(3)};
    // The window fields are signed 16 bits: widths of 2^31 - 1 and more cannot be written.
    const auto window = [&file](std::int16_t xmin, std::int16_t xmax, std::int16_t ymin, std::int16_t ymax) {
        return withU16(withU16(withU16(withU16(file, 4, std::uint16_t(xmin)), 8, std::uint16_t(xmax)), 6,
                               std::uint16_t(ymin)),
                       10, std::uint16_t(ymax));
    };
    const std::vector<HostileCase> cases = {
        {"width 0", window(0, -1, 0, 1), refused()},
        {"width 1", window(0, 0, 0, 1), loadsAs(1, 2, {paletteColour(10), paletteColour(3)})},
        {"width 2^15, wider than a line", window(0, 32767, 0, 1), refused()},
        {"width 2^16", window(-32768, 32767, 0, 1), refused()},
        {"width negative", window(32767, -32768, 0, 1), refused()},
        {"height 0", window(0, 2, 0, -1), refused()},
        {"height 1", window(0, 2, 0, 0), loadsAs(3, 1, {whole.begin(), whole.begin() + 3})},
        {"height 2^15, beyond the data", window(0, 2, 0, 32767), refused()},
        {"height 2^16, beyond the data", window(0, 2, -32768, 32767), refused()},
        {"bytes per line 0", withU16(file, 66, 0), refused()},
        {"bytes per line 1", withU16(file, 66, 1), refused()},
        {"bytes per line 2^15", withU16(file, 66, 0x8000), refused()},
        {"bytes per line 2^16 - 1", withU16(file, 66, 0xFFFF), refused()},
        // 65536 x 65536 is 2^32 pixels: 0 in 32 bits.
        {"65536 x 65536, 2^16 - 1 bytes per line", withU16(window(-32768, 32767, -32768, 32767), 66, 0xFFFF),
         refused()},
        {"4 planes",
         [&file] {
             auto out = file;
             out[65] = 4;
             return out;
         }(),
         loadsAs(3, 2)},
        {"whole", file, loadsAs(3, 2, whole)},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodePcx);
    }
}

TEST(HostilePcx, TruncationAndRuns)
{
    const auto file = writePcx(smallPcx());
    const std::size_t dataEnd = file.size() - 769;
    // The data codes as 0A, C1 C8, C1 FF, 00, C3 03, 00: the run byte C3 is at 6.
    ASSERT_EQ(file.at(128 + 6), 0xC3);
    const std::vector<std::uint32_t> ramp = {grey(10), grey(200), grey(255), grey(3), grey(3), grey(3)};
    const std::vector<HostileCase> cases = {
        {"half the header", cutTo(file, 64), refused()},
        {"header only", cutTo(file, 128), refused()},
        {"one row of data", cutTo(file, 128 + 4), refused()},
        {"image data without a palette", cutTo(file, dataEnd), loadsAs(3, 2, ramp)},
        {"marker and half the palette", cutTo(file, dataEnd + 1 + 384), loadsAs(3, 2, ramp)},
        {"run byte without its value", cutTo(file, 128 + 7), refused()},
        {"run cut short", cutTo(file, 128 + 8), refused()},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodePcx);
    }
}

} // namespace
