#include "display/decoders.h"
#include "tests/support/decoderChecks.h"
#include "tests/support/pcxWriter.h"

#include <gtest/gtest.h>
#include <string>

namespace {

constexpr std::uint32_t black = 0xFF000000;
constexpr std::uint32_t white = 0xFFFFFFFF;

std::vector<std::uint32_t> paletteOf(int seed)
{
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 256; ++i) {
        palette.push_back(((i * 37 + std::uint32_t(seed)) & 0xFF) << 16 | ((i * 11) & 0xFF) << 8 | (255 - i));
    }
    return palette;
}

// An 8-bit file of one plane: rows of `width` indices, each padded with 0xEE to bytesPerLine.
PcxFile indexedPcx(int width, int height, int bytesPerLine, const std::vector<std::uint8_t>& indices)
{
    PcxFile pcx;
    pcx.xmax = std::int16_t(width - 1);
    pcx.ymax = std::int16_t(height - 1);
    pcx.bytesPerLine = std::uint16_t(bytesPerLine);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < bytesPerLine; ++x) {
            pcx.lines.push_back(x < width ? indices[std::size_t(y * width + x)] : 0xEE);
        }
    }
    return pcx;
}

// A 1-bit file: rows of `width` bits, most significant first, padded with set bits to bytesPerLine.
PcxFile oneBitPcx(int width, int height, int bytesPerLine, const std::vector<std::uint8_t>& bits)
{
    PcxFile pcx;
    pcx.version = 3;
    pcx.bitsPerPixel = 1;
    pcx.xmax = std::int16_t(width - 1);
    pcx.ymax = std::int16_t(height - 1);
    pcx.bytesPerLine = std::uint16_t(bytesPerLine);
    for (int y = 0; y < height; ++y) {
        std::vector<std::uint8_t> line(std::size_t(bytesPerLine), 0xFF);
        for (int x = 0; x < width; ++x) {
            const auto mask = std::uint8_t(0x80 >> (x % 8));
            if (bits[std::size_t(y * width + x)] != 0) {
                line[std::size_t(x / 8)] |= mask;
            } else {
                line[std::size_t(x / 8)] &= std::uint8_t(~mask);
            }
        }
        pcx.lines.insert(pcx.lines.end(), line.begin(), line.end());
    }
    return pcx;
}

std::vector<std::uint8_t> patternOf(int count, int modulo)
{
    std::vector<std::uint8_t> values;
    for (int i = 0; i < count; ++i) {
        // Long stretches of one value give runs that cross the ends of lines.
        values.push_back(std::uint8_t((i / 4 * 5 + i % 3) % modulo));
    }
    return values;
}

struct PcxCase {
    std::string name;
    PcxFile pcx;
    PictureKind kind;
    std::int32_t width;
    std::int32_t height;
    std::vector<std::uint32_t> expected;
};

std::vector<PcxCase> decodingCases()
{
    std::vector<PcxCase> cases;
    const auto palette = paletteOf(3);
    auto lookUp = [](const std::vector<std::uint8_t>& indices, const std::vector<std::uint32_t>& colours) {
        std::vector<std::uint32_t> out;
        for (std::uint8_t i : indices) {
            out.push_back(0xFF000000u | colours[i]);
        }
        return out;
    };
    std::vector<std::uint32_t> grey;
    for (std::uint32_t i = 0; i < 256; ++i) {
        grey.push_back(i << 16 | i << 8 | i);
    }
    {
        const auto indices = patternOf(5 * 4, 256);
        PcxFile pcx = indexedPcx(5, 4, 5, indices);
        pcx.palette = palette;
        cases.push_back({"Pcx8 with palette", pcx, PictureKind::Pcx8, 5, 4, lookUp(indices, palette)});
        pcx.runsCrossLines = false;
        cases.push_back(
            {"Pcx8, runs kept within lines", pcx, PictureKind::Pcx8, 5, 4, lookUp(indices, palette)});
        pcx = indexedPcx(5, 4, 8, indices);
        pcx.palette = palette;
        cases.push_back(
            {"Pcx8, lines longer than the width", pcx, PictureKind::Pcx8, 5, 4, lookUp(indices, palette)});
        pcx.xmin = -3;
        pcx.xmax = 1;
        pcx.ymin = 100;
        pcx.ymax = 103;
        cases.push_back(
            {"Pcx8, window away from the origin", pcx, PictureKind::Pcx8, 5, 4, lookUp(indices, palette)});
        pcx = indexedPcx(5, 4, 5, indices);
        cases.push_back(
            {"Pcx8 without palette: greyscale", pcx, PictureKind::Pcx8, 5, 4, lookUp(indices, grey)});
        pcx.palette = palette;
        pcx.gapBeforePalette = {0, 0, 0};
        cases.push_back(
            {"Pcx8, palette at the end after a gap", pcx, PictureKind::Pcx8, 5, 4, lookUp(indices, palette)});
    }
    {
        // 0xC0 stands for itself; bytes above it are runs (here written as runs of one).
        const std::vector<std::uint8_t> indices = {0xC0, 0xC1, 0xFF, 0xC0};
        PcxFile pcx = indexedPcx(2, 2, 2, indices);
        pcx.palette = palette;
        cases.push_back({"Pcx8, values from C0 up", pcx, PictureKind::Pcx8, 2, 2, lookUp(indices, palette)});
    }
    for (int planes : {3, 4}) {
        const int width = 4;
        const int height = 3;
        const int bytesPerLine = 6;
        PcxFile pcx;
        pcx.planes = std::uint8_t(planes);
        pcx.xmax = width - 1;
        pcx.ymax = height - 1;
        pcx.bytesPerLine = bytesPerLine;
        std::vector<std::uint32_t> expected;
        for (int y = 0; y < height; ++y) {
            std::vector<std::uint8_t> row(std::size_t(planes * bytesPerLine), 0x77);
            for (int x = 0; x < width; ++x) {
                const auto r = std::uint8_t(x * 60 + y), g = std::uint8_t(200 - x * 30),
                           b = std::uint8_t(y * 90);
                row[std::size_t(x)] = r;
                row[std::size_t(bytesPerLine + x)] = g;
                row[std::size_t(2 * bytesPerLine + x)] = b;
                expected.push_back(0xFF000000u | std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | b);
            }
            pcx.lines.insert(pcx.lines.end(), row.begin(), row.end());
        }
        cases.push_back({std::to_string(planes) + " planes of 8 bits: true colour", pcx, PictureKind::Pcx8,
                         width, height, expected});
    }
    {
        const auto bits = patternOf(9 * 5, 2);
        const std::vector<std::uint32_t> blackWhite = {0x000000, 0xFFFFFF};
        const std::vector<std::uint32_t> twoColours = {0x102030, 0xF0E0D0};
        PcxFile pcx = oneBitPcx(9, 5, 2, bits);
        cases.push_back(
            {"Pcx1, no palette: black and white", pcx, PictureKind::Pcx1, 9, 5, lookUp(bits, blackWhite)});
        pcx.headerPalette = {0x102030, 0xF0E0D0};
        cases.push_back(
            {"Pcx1, two colours of the header", pcx, PictureKind::Pcx1, 9, 5, lookUp(bits, twoColours)});
        pcx.headerPalette = {0x556677, 0x556677};
        cases.push_back({"Pcx1, one colour twice: black and white", pcx, PictureKind::Pcx1, 9, 5,
                         lookUp(bits, blackWhite)});
        // Lines padded beyond the bytes the width needs: every row starts a full line later.
        pcx = oneBitPcx(9, 5, 4, bits);
        cases.push_back({"Pcx1, padded lines", pcx, PictureKind::Pcx1, 9, 5, lookUp(bits, blackWhite)});
        pcx.runsCrossLines = false;
        cases.push_back({"Pcx1, padded lines, runs within lines", pcx, PictureKind::Pcx1, 9, 5,
                         lookUp(bits, blackWhite)});
        const auto wide = patternOf(16 * 3, 2);
        pcx = oneBitPcx(16, 3, 2, wide);
        cases.push_back(
            {"Pcx1, width a multiple of 8", pcx, PictureKind::Pcx1, 16, 3, lookUp(wide, blackWhite)});
    }
    return cases;
}

TEST(DecodePcx, DecodesEveryLayout)
{
    for (const PcxCase& c : decodingCases()) {
        SCOPED_TRACE(c.name);
        const auto picture = decodePcx(writePcx(c.pcx));
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, c.kind);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        EXPECT_EQ(pixelsOf(*picture), c.expected);
    }
}

TEST(DecodePcx, RefusesWhatItCannotShowInFull)
{
    const auto indices = patternOf(6 * 3, 200);
    auto base = [&] {
        PcxFile pcx = indexedPcx(6, 3, 6, indices);
        pcx.palette = paletteOf(1);
        return pcx;
    };
    auto changed = [&](auto change) {
        PcxFile pcx = base();
        change(pcx);
        return writePcx(pcx);
    };
    const auto good = writePcx(base());
    PcxFile oneBit = oneBitPcx(17, 2, 3, patternOf(17 * 2, 2));
    oneBit.bytesPerLine = 2; // 17 bits need 3 bytes
    // A run of 18 sevens announced, the file ending before its value.
    std::vector<std::uint8_t> runCut(good.begin(), good.begin() + 128);
    runCut.push_back(0xC0 + 18);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 128)},
        {"not a PCX", std::vector<std::uint8_t>(200, 0x0B)},
        {"version 6", changed([](PcxFile& p) { p.version = 6; })},
        {"not run-length coded", changed([](PcxFile& p) { p.encoding = 0; })},
        {"xmax before xmin", changed([](PcxFile& p) { p.xmin = 7; })},
        {"ymax before ymin", changed([](PcxFile& p) {
             p.ymin = 10;
             p.ymax = 8;
         })},
        {"4 bits per pixel", changed([](PcxFile& p) { p.bitsPerPixel = 4; })},
        {"2 planes of 8 bits", changed([](PcxFile& p) { p.planes = 2; })},
        {"Pcx8 lines shorter than the width", changed([](PcxFile& p) { p.bytesPerLine = 5; })},
        {"Pcx1 lines shorter than the width", writePcx(oneBit)},
        {"data ends in the last row", std::vector<std::uint8_t>(good.begin(), good.begin() + 128 + 10)},
        {"data ends inside a run", runCut},
        // A window of 30000 x 30000 cannot come from 100 bytes of runs: refused before allocating.
        {"window far larger than the data", changed([](PcxFile& p) {
             p.xmax = 29999;
             p.ymax = 29999;
             p.bytesPerLine = 30000;
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(decodePcx(c.file));
    }
}

TEST(DecodePcx, EveryTruncationGivesAWholePictureOrNothing)
{
    for (const PcxCase& c : decodingCases()) {
        SCOPED_TRACE(c.name);
        expectEveryTruncationWholeOrNothing(writePcx(c.pcx), decodePcx);
    }
}

TEST(DecodePcx, EveryCorpusFileGivesAWholePictureOrNothing)
{
    expectWholeOrNothingOverCorpus(VISTREL_SHARED_DIR "/corpus", decodePcx);
}

} // namespace
