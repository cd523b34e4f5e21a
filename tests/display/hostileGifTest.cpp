#include "tests/display/hostileCase.h"
#include "tests/support/gifWriter.h"
#include "tests/support/hostileFiles.h"

#include <chrono>

namespace {

const std::vector<std::uint32_t> fourColours = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
constexpr std::uint32_t black = 0xFF000000u;
constexpr std::uint32_t white = 0xFFFFFFFFu;

std::uint32_t colour(std::uint32_t index)
{
    return 0xFF000000u | fourColours[index];
}

// A 3 x 2 screen with a global table of four colours (background entry 0) and one 3 x 2 image:
// 13 bytes of header, 12 of table, the image descriptor at 25 (10 bytes), the code size at 35,
// the data's sub-blocks from 36, their terminator and the trailer.
GifFile smallGif()
{
    GifFile gif;
    gif.screenWidth = 3;
    gif.screenHeight = 2;
    gif.globalTable = fourColours;
    GifImage image;
    image.width = 3;
    image.height = 2;
    image.indices = {0, 1, 2, 3, 2, 1};
    gif.image = image;
    return gif;
}

// The screen's pixels: the image's indices from its top-left corner, clipped; background elsewhere.
std::vector<std::uint32_t> screenOf(std::int32_t screenWidth, std::int32_t screenHeight,
                                    std::int32_t imageWidth, std::int32_t imageHeight,
                                    const std::vector<std::uint8_t>& indices, std::uint32_t background)
{
    std::vector<std::uint32_t> out(std::size_t(screenWidth) * std::size_t(screenHeight), background);
    for (std::size_t i = 0; i < indices.size() && imageWidth > 0; ++i) {
        const auto x = std::int64_t(i % std::size_t(imageWidth));
        const auto y = std::int64_t(i / std::size_t(imageWidth));
        if (x < screenWidth && y < screenHeight && y < imageHeight) {
            out[std::size_t(y * screenWidth + x)] = colour(indices[i]);
        }
    }
    return out;
}

constexpr std::size_t screenWidthAt = 6;
constexpr std::size_t screenHeightAt = 8;
constexpr std::size_t imageWidthAt = 30;
constexpr std::size_t imageHeightAt = 32;
const std::vector<std::uint8_t> smallIndices = {0, 1, 2, 3, 2, 1};

TEST(HostileGif, DeclaredScreenAndImageSizes)
{
    const auto file = writeGif(smallGif());
    const std::uint32_t background = colour(0);
    std::vector<HostileCase> cases;
    // The size fields are 16 bits: 2^16 and beyond cannot be written.
    for (std::uint32_t size : {0u, 1u, 1u << 15, 0xFFFFu}) {
        const std::string n = std::to_string(size);
        const auto s = std::int32_t(size);
        cases.push_back({"screen width " + n, withU16(file, screenWidthAt, std::uint16_t(size)),
                         loadsAs(s, 2, screenOf(s, 2, 3, 2, smallIndices, background))});
        cases.push_back({"screen height " + n, withU16(file, screenHeightAt, std::uint16_t(size)),
                         loadsAs(3, s, screenOf(3, s, 3, 2, smallIndices, background))});
        // The image's values fill its own rows; the screen shows its top-left corner.
        cases.push_back({"image width " + n, withU16(file, imageWidthAt, std::uint16_t(size)),
                         loadsAs(3, 2, screenOf(3, 2, s, 2, smallIndices, background))});
        cases.push_back({"image height " + n, withU16(file, imageHeightAt, std::uint16_t(size)),
                         loadsAs(3, 2, screenOf(3, 2, 3, s, smallIndices, background))});
    }
    cases.push_back({"screen 65535 x 65535 (over the pixel cap)",
                     withU16(withU16(file, screenWidthAt, 0xFFFF), screenHeightAt, 0xFFFF), refused()});
    cases.push_back({"image 65535 x 65535 on the 3 x 2 screen",
                     withU16(withU16(file, imageWidthAt, 0xFFFF), imageHeightAt, 0xFFFF),
                     loadsAs(3, 2, screenOf(3, 2, 0xFFFF, 0xFFFF, smallIndices, background))});
    for (const auto& c : cases) {
        expectOutcome(c, decodeGif);
    }
}

TEST(HostileGif, IndicesBeyondTheTableAndNoTable)
{
    GifFile twoEntries = smallGif();
    twoEntries.globalTable = {fourColours[0], fourColours[1]};
    GifFile noTable = smallGif();
    noTable.globalTable.clear();
    const std::vector<HostileCase> cases = {
        {"indices 2 and 3 with 2 entries", writeGif(twoEntries),
         loadsAs(3, 2, {colour(0), colour(1), black, black, black, colour(1)})},
        // No table at all: every index is outside it, and the screen has no background colour.
        {"no colour table", writeGif(noTable), loadsAs(3, 2, std::vector<std::uint32_t>(6, black))},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodeGif);
    }
}

TEST(HostileGif, CodeSizesAndTruncation)
{
    const auto file = writeGif(smallGif());
    const auto withByte = [&file](std::size_t at, std::uint8_t value) {
        auto out = file;
        out.at(at) = value;
        return out;
    };
    const std::uint32_t background = colour(0);
    const std::vector<HostileCase> cases = {
        {"minimum code size 0", withByte(35, 0), refused()},
        {"minimum code size 12", withByte(35, 12), refused()},
        {"minimum code size 255", withByte(35, 255), refused()},
        {"first sub-block 255 bytes long, past the end", withByte(36, 255),
         loadsAs(3, 2, screenOf(3, 2, 3, 2, smallIndices, background))},
        {"empty", cutTo(file, 0), refused()},
        {"signature only", cutTo(file, 6), refused()},
        {"header only", cutTo(file, 13), refused()},
        {"half the colour table", cutTo(file, 19), refused()},
        {"header and table, no block", cutTo(file, 25), refused()},
        {"image block byte only", cutTo(file, 26), refused()},
        {"half the image descriptor", cutTo(file, 30), refused()},
        {"descriptor without the code size", cutTo(file, 35), refused()},
        // Data that ends early leaves the rest of the screen in its background colour.
        {"code size without data", cutTo(file, 36), loadsAs(3, 2, std::vector<std::uint32_t>(6, background))},
        {"no trailer", cutTo(file, file.size() - 1),
         loadsAs(3, 2, screenOf(3, 2, 3, 2, smallIndices, background))},
        {"whole", file, loadsAs(3, 2, screenOf(3, 2, 3, 2, smallIndices, background))},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodeGif);
    }
}

TEST(HostileGif, LongRunsOfEmptyBlocksEndPromptly)
{
    // 100000 empty comment extensions and no image; the same before a real image; a code stream of
    // nothing but clear codes; a comment whose sub-blocks run past the end.
    GifFile beforeImage = smallGif();
    for (int i = 0; i < 100000; ++i) {
        beforeImage.blocksBefore.insert(beforeImage.blocksBefore.end(), {0x21, 0xFE, 0x00});
    }
    GifFile onlyClears = smallGif();
    onlyClears.image->codeStream = packCodes(std::vector<LzwCode>(20000, LzwCode{4, 3}));
    GifFile runaway = smallGif();
    runaway.blocksBefore = {0x21, 0xFE, 0x10, 'a', 'b'};
    runaway.image.reset();
    runaway.trailer = false;
    const std::vector<HostileCase> cases = {
        {"100000 empty extensions, no image", emptyExtensionsGifFile(100000), refused()},
        {"100000 empty extensions, then an image", writeGif(beforeImage),
         loadsAs(3, 2, screenOf(3, 2, 3, 2, smallIndices, colour(0)))},
        {"20000 clear codes", writeGif(onlyClears), loadsAs(3, 2, std::vector<std::uint32_t>(6, colour(0)))},
        {"comment running past the end", writeGif(runaway), refused()},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        expectOutcome(c, decodeGif);
        // Generous for a sanitizer build on a busy machine; each takes milliseconds.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    }
}

TEST(HostileGif, ImageWiderThanTheScreenKeepsItsVisibleCorner)
{
    // Strings that lie wholly off the screen are passed over without being decoded; those that
    // straddle its edge or a row end are decoded. Every visible pixel must still be right, plain and
    // interlaced, with varied data (short strings) and with long runs (strings of thousands).
    struct Case {
        const char* name;
        int imageWidth;
        int imageHeight;
        bool interlaced;
        bool runs;
    };
    const Case cases[] = {
        {"40 x 4, varied", 40, 4, false, false},
        {"40 x 12 interlaced, varied", 40, 12, true, false},
        {"3000 x 6, long runs", 3000, 6, false, true},
        {"3000 x 20 interlaced, long runs", 3000, 20, true, true},
    };
    for (const Case& c : cases) {
        GifFile gif;
        gif.screenWidth = 5;
        gif.screenHeight = 4;
        gif.globalTable = fourColours;
        GifImage image;
        image.width = std::uint16_t(c.imageWidth);
        image.height = std::uint16_t(c.imageHeight);
        image.interlaced = c.interlaced;
        for (int y = 0; y < c.imageHeight; ++y) {
            for (int x = 0; x < c.imageWidth; ++x) {
                image.indices.push_back(c.runs ? std::uint8_t((x / 1000 + y) % 4)
                                               : std::uint8_t((x * 7 + y * 3 + x * y % 5) % 4));
            }
        }
        gif.image = image;
        expectOutcome({c.name, writeGif(gif),
                       loadsAs(5, 4, screenOf(5, 4, c.imageWidth, c.imageHeight, image.indices, colour(0)))},
                      decodeGif);
    }
}

TEST(HostileGif, LongStringsOffTheScreenCostNoTimePerValue)
{
    // A 1 x 4096 screen and a 65535 x 4096 image of index 0: after a clear code, 0, then each code
    // the next free entry (strings of 2, 3, ... 4090 zeros) and then the longest string again and
    // again, about 270 million values from 100 KB. Only one value per row is on the screen.
    std::vector<LzwCode> codes = {{4, 3}, {0, 3}};
    int bits = 3;
    for (std::uint32_t next = 6; next < 4096; ++next) {
        codes.push_back({next, bits});
        if (next + 1 >= (1u << bits) && bits < 12) {
            ++bits;
        }
    }
    codes.resize(codes.size() + 65600, LzwCode{4095, 12});
    GifFile gif;
    gif.screenWidth = 1;
    gif.screenHeight = 4096;
    gif.globalTable = fourColours;
    gif.backgroundIndex = 1; // rows left undecoded would show colour 1
    GifImage image;
    image.width = 65535;
    image.height = 4096;
    image.codeStream = packCodes(codes);
    gif.image = image;
    const auto start = std::chrono::steady_clock::now();
    expectOutcome({"65535 x 4096 image on a 1 x 4096 screen", writeGif(gif),
                   loadsAs(1, 4096, std::vector<std::uint32_t>(4096, colour(0)))},
                  decodeGif);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
