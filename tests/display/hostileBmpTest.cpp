#include "tests/display/hostileCase.h"
#include "tests/support/bmpWriter.h"

namespace {

constexpr std::uint32_t palette[] = {0x102030, 0x405060, 0x708090, 0xA0B0C0};

// 8 bits per pixel, 3 x 2, a table of 4 colours: 14 + 40 + 16 = 70 bytes of headers and table,
// then the bottom row and the top row, 4 bytes each (3 pixels and 1 of padding).
BmpFixture smallIndexed()
{
    BmpFixture fixture;
    fixture.bitsPerPixel = 8;
    fixture.width = 3;
    fixture.height = 2;
    fixture.palette.assign(std::begin(palette), std::end(palette));
    fixture.pixels = {0, 1, 2, 3, 2, 1};
    return fixture;
}

constexpr std::size_t dataOffset = 70;
constexpr std::size_t widthAt = 18;
constexpr std::size_t heightAt = 22;

std::uint32_t colour(std::uint32_t index)
{
    return 0xFF000000u | palette[index];
}

TEST(HostileBmp, DeclaredSizes)
{
    const auto file = writeBmp(smallIndexed());
    std::vector<HostileCase> cases;
    for (std::uint64_t size : hostileSizes) {
        const std::string n = std::to_string(size);
        Outcome width;
        Outcome height;
        switch (size) {
        case 0:
            width = loadsAs(0, 2);
            height = loadsAs(3, 0);
            break;
        case 1:
            // One column: the first pixel of each stored row. One row: the first row in the file,
            // which is the picture's bottom row.
            width = loadsAs(1, 2, {colour(0), colour(3)});
            height = loadsAs(3, 1, {colour(3), colour(2), colour(1)});
            break;
        case 0xFFFFFFFFu:
            // -1: a magnitude of 1, and for the height a top-down picture of the first stored row.
            width = loadsAs(1, 2, {colour(0), colour(3)});
            height = loadsAs(3, 1, {colour(3), colour(2), colour(1)});
            break;
        default:
            break; // rows the file cannot hold
        }
        cases.push_back({"width " + n, withU32(file, widthAt, std::uint32_t(size)), width});
        cases.push_back({"height " + n, withU32(file, heightAt, std::uint32_t(size)), height});
    }
    cases.push_back({"width INT32_MIN", withU32(file, widthAt, 0x80000000u), refused()});
    cases.push_back({"height INT32_MIN", withU32(file, heightAt, 0x80000000u), refused()});
    // 65536 x 65536 is 2^32 pixels, 0 in 32 bits; 2^16 + 1 squared wraps to 2^17 + 1.
    cases.push_back({"65536 x 65536", withU32(withU32(file, widthAt, 65536), heightAt, 65536), refused()});
    cases.push_back({"65537 x 65537", withU32(withU32(file, widthAt, 65537), heightAt, 65537), refused()});
    for (const auto& c : cases) {
        expectOutcome(c, decodeBmp);
    }
}

TEST(HostileBmp, OffsetsAndCounts)
{
    const auto file = writeBmp(smallIndexed());
    const std::vector<HostileCase> cases = {
        {"data offset 0 (into the file header)", withU32(file, 10, 0), refused()},
        {"data offset 14 (into the information header)", withU32(file, 10, 14), refused()},
        {"data offset 60 (into the colour table)", withU32(file, 10, 60), refused()},
        {"data offset at the end of the file", withU32(file, 10, std::uint32_t(file.size())), refused()},
        {"data offset one past the end", withU32(file, 10, std::uint32_t(file.size() + 1)), refused()},
        {"data offset 2^32 - 1", withU32(file, 10, 0xFFFFFFFFu), refused()},
        {"colours used 2^32 - 1", withU32(file, 46, 0xFFFFFFFFu), refused()},
        // 2^30 entries of 4 bytes are 2^32 bytes: 0 when multiplied in 32 bits.
        {"colours used 2^30", withU32(file, 46, 0x40000000u), refused()},
        {"colours used 2^32 / 4 + 4", withU32(file, 46, 0x40000004u), refused()},
        {"header size 2^32 - 1", withU32(file, 14, 0xFFFFFFFFu), refused()},
        {"bits per pixel 0", withU16(file, 28, 0), refused()},
        {"bits per pixel 2^16 - 1", withU16(file, 28, 0xFFFF), refused()},
        {"compression 2^32 - 1", withU32(file, 30, 0xFFFFFFFFu), refused()},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodeBmp);
    }
}

TEST(HostileBmp, IndicesBeyondTheTableAreBlack)
{
    // Two table entries, pixels that name entries 0 to 255.
    BmpFixture fixture = smallIndexed();
    fixture.palette = {0x112233, 0x445566};
    fixture.pixels = {0, 1, 2, 255, 128, 1};
    const std::uint32_t black = 0xFF000000u;
    const HostileCase c{"indices 2, 128 and 255 with 2 entries", writeBmp(fixture),
                        loadsAs(3, 2, {0xFF112233u, 0xFF445566u, black, black, black, 0xFF445566u})};
    expectOutcome(c, decodeBmp);
}

TEST(HostileBmp, TruncationAtEveryStructuralBoundary)
{
    const auto file = writeBmp(smallIndexed());
    const std::vector<HostileCase> cases = {
        {"empty", cutTo(file, 0), refused()},
        {"signature only", cutTo(file, 2), refused()},
        {"file header only", cutTo(file, 14), refused()},
        {"inside the information header", cutTo(file, 30), refused()},
        {"headers without the table", cutTo(file, 54), refused()},
        {"half the table", cutTo(file, 62), refused()},
        {"no rows", cutTo(file, dataOffset), refused()},
        {"first row without its padding", cutTo(file, dataOffset + 3), refused()},
        {"one row of two", cutTo(file, dataOffset + 4), refused()},
        {"last row without its padding", cutTo(file, dataOffset + 7), refused()},
        {"whole", file, loadsAs(3, 2, {colour(0), colour(1), colour(2), colour(3), colour(2), colour(1)})},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodeBmp);
    }
}

TEST(HostileBmp, ValidButEnormousIsRefusedAtTheCap)
{
    // 1 bit per pixel keeps the file at 32 MiB: 16384 x 16385 is one row over the 2^28-pixel cap,
    // though every row is in the file.
    BmpFixture fixture;
    fixture.bitsPerPixel = 1;
    fixture.width = 16384;
    fixture.height = 1;
    fixture.palette = {0x000000, 0xFFFFFF};
    auto file = writeBmp(fixture);
    const std::size_t stride = 16384 / 8;
    file.resize(62 + stride * 16385, 0x55);
    expectOutcome({"1 bit, 16384 x 16385", withU32(file, heightAt, 16385), refused()}, decodeBmp);
    expectOutcome({"1 bit, 16384 x 16384 declared, one row short",
                   withU32(cutTo(file, 62 + stride * 16383), heightAt, 16384), refused()},
                  decodeBmp);
}

} // namespace
