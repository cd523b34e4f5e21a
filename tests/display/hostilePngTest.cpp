#include "tests/display/hostileCase.h"
#include "tests/support/hostileFiles.h"
#include "tests/support/pngWriter.h"

namespace {

// Filtered image data of an 8-bit RGBA picture whose every pixel is transparent black.
std::vector<std::uint8_t> zeroRows(std::uint32_t width, std::uint32_t height)
{
    return std::vector<std::uint8_t>(std::size_t(height) * (1 + 4 * std::size_t(width)), 0);
}

std::vector<std::uint8_t> zeroPng(std::uint32_t width, std::uint32_t height)
{
    return rawPng({width, height}, {zlibCompress(zeroRows(width, height))});
}

TEST(HostilePng, DeclaredSizes)
{
    std::vector<HostileCase> cases;
    for (std::uint64_t size : hostileSizes) {
        const auto s = std::uint32_t(size);
        const std::string n = std::to_string(size);
        if (size == 0) {
            cases.push_back({"width 0", rawPng({0, 1}, {zlibCompress(zeroRows(1, 1))}), refused()});
            cases.push_back({"height 0", rawPng({1, 0}, {zlibCompress(zeroRows(1, 1))}), refused()});
        } else if (size <= (1u << 16)) {
            // Small enough to write in full: it loads, every pixel transparent black.
            cases.push_back(
                {"width " + n, zeroPng(s, 1), loadsAs(std::int32_t(s), 1, std::vector<std::uint32_t>(s, 0))});
            cases.push_back({"height " + n, zeroPng(1, s),
                             loadsAs(1, std::int32_t(s), std::vector<std::uint32_t>(s, 0))});
        } else {
            const auto data = zlibCompress(zeroRows(1, 64));
            cases.push_back({"width " + n + " with 64 rows of data", rawPng({s, 1}, {data}), refused()});
            cases.push_back({"height " + n + " with 64 rows of data", rawPng({1, s}, {data}), refused()});
        }
    }
    // 2^16 x 2^16 is 0 in 32 bits; 2^14 x 2^14 + 1 row is one row over the cap.
    const auto data = zlibCompress(zeroRows(1, 64));
    cases.push_back({"65536 x 65536", rawPng({65536, 65536}, {data}), refused()});
    cases.push_back({"16384 x 16385", rawPng({16384, 16385}, {data}), refused()});
    cases.push_back({"65535 x 65535 with 200 bytes of data", hugePngHeaderFile(), refused()});
    for (const auto& c : cases) {
        expectOutcome(c, decodePng);
    }
}

TEST(HostilePng, CompressedBombsStopAtTheBound)
{
    // The image data may inflate to twice the picture's need plus 1 MiB; beyond that the file is
    // refused before libpng inflates its rows (libpng would inflate the whole tail after the last row).
    // The 2 GiB bombs go through vistrel-decode in the hostile-files check.
    const std::vector<HostileCase> cases = {
        {"1 x 1 whose data inflates to 64 MiB", pngBombFile(1, 1, std::uint64_t(64) << 20), refused()},
        {"256 x 256 whose data inflates to 64 MiB", pngBombFile(256, 256, std::uint64_t(64) << 20),
         refused()},
        {"32768 x 16383 (over the cap) whose data inflates to 64 MiB",
         pngBombFile(32768, 16383, std::uint64_t(64) << 20), refused()},
        // Within the bound: libpng takes the rows it needs and ignores the rest.
        {"1 x 1 with 512 KiB of extra data", pngBombFile(1, 1, std::uint64_t(512) << 10), loadsAs(1, 1, {0})},
        {"256 x 256 with exactly its data", pngBombFile(256, 256, 256 * (1 + 4 * 256)),
         loadsAs(256, 256, std::vector<std::uint32_t>(256 * 256, 0))},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodePng);
    }
}

TEST(HostilePng, IndicesBeyondThePalette)
{
    // 8-bit palette picture, 4 x 1, a palette of 2 entries, indices 0, 1, 2 and 255.
    const std::vector<std::uint8_t> rows = {0, 0, 1, 2, 255};
    const auto file = [&rows](std::vector<std::uint8_t> plte) {
        std::vector<std::uint8_t> out = rawPng({4, 1, 8, 3, 0}, {});
        // Insert PLTE and IDAT before IEND (the last 12 bytes).
        const auto plteChunk = pngChunk("PLTE", plte);
        const auto idatChunk = pngChunk("IDAT", zlibCompress(rows));
        out.insert(out.end() - 12, plteChunk.begin(), plteChunk.end());
        out.insert(out.end() - 12, idatChunk.begin(), idatChunk.end());
        return out;
    }({0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    // Entries beyond the palette are black, opaque.
    expectOutcome({"indices 2 and 255 with 2 entries", file,
                   loadsAs(4, 1, {0xFF112233u, 0xFF445566u, 0xFF000000u, 0xFF000000u})},
                  decodePng);
}

TEST(HostilePng, ChunkLengthsAndTruncation)
{
    const auto file = zeroPng(2, 2);
    // Signature 8, IHDR 8 + 13 + 4 (ends at 33), IDAT from 33, IEND the last 12 bytes.
    const std::size_t idatAt = 33;
    const std::size_t iendAt = file.size() - 12;
    const auto withLength = [&file](std::size_t at, std::uint32_t length) {
        auto out = file;
        for (int i = 0; i < 4; ++i) {
            out[at + std::size_t(i)] = std::uint8_t(length >> (24 - 8 * i));
        }
        return out;
    };
    const std::vector<HostileCase> cases = {
        {"empty", cutTo(file, 0), refused()},
        {"signature only", cutTo(file, 8), refused()},
        {"inside the header chunk", cutTo(file, 20), refused()},
        {"header chunk only", cutTo(file, idatAt), refused()},
        {"inside the image data", cutTo(file, idatAt + 12), refused()},
        {"image data length 2^31 - 1", withLength(idatAt, 0x7FFFFFFFu), refused()},
        {"image data length 2^32 - 1", withLength(idatAt, 0xFFFFFFFFu), refused()},
        {"image data length one past the end", withLength(idatAt, std::uint32_t(iendAt - idatAt - 12 + 13)),
         refused()},
        {"header length 2^32 - 1", withLength(8, 0xFFFFFFFFu), refused()},
        {"header length 0", withLength(8, 0), refused()},
        // libpng allocates a chunk's buffer from its length before reading it: a chunk it would read
        // that claims more than the file holds is refused first. One after the image data is never read.
        {"text chunk before the image data claiming 2^31 - 1 bytes",
         [&file] {
             auto out = cutTo(file, idatAt);
             const std::vector<std::uint8_t> text = {0x7F, 0xFF, 0xFF, 0xFF, 'i', 'T',
                                                     'X',  't',  'a',  'b',  'c'};
             out.insert(out.end(), text.begin(), text.end());
             out.insert(out.end(), file.begin() + std::ptrdiff_t(idatAt), file.end());
             return out;
         }(),
         refused()},
        {"text chunk after the image data claiming 2^31 - 1 bytes",
         [&file, iendAt] {
             auto out = cutTo(file, iendAt);
             const std::vector<std::uint8_t> text = {0x7F, 0xFF, 0xFF, 0xFF, 'i', 'T',
                                                     'X',  't',  'a',  'b',  'c'};
             out.insert(out.end(), text.begin(), text.end());
             return out;
         }(),
         loadsAs(2, 2, {0, 0, 0, 0})},
        {"whole", file, loadsAs(2, 2, {0, 0, 0, 0})},
    };
    for (const auto& c : cases) {
        expectOutcome(c, decodePng);
    }
}

} // namespace
