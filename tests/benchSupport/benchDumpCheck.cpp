// bench_dump_check BENCH view|redraw|other PLACE SCALE WORKFILE
//
// Runs vistrel-bench on a raw picture written here and compares what --dump gives, every pixel,
// with the plain double-precision box average (within 1 per channel). "other" checks the drag and
// decode commands and the failure convention instead. Exit 0 when everything holds.

#include "display/canvas.h"
#include "tests/support/referenceScaler.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t pictureWidth = 997;
constexpr std::int64_t pictureHeight = 743;

int failures = 0;

void check(bool condition, const std::string& what)
{
    if (!condition) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        ++failures;
    }
}

std::uint32_t testPixel(std::int64_t x, std::int64_t y)
{
    std::uint32_t v = std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u;
    v ^= v >> 15;
    v *= 0x2c1b3c6du;
    const std::uint32_t edge = (x / 50 + y / 40) % 2 == 0 ? 0xE0 : 0x20;
    return 0xFF000000u | ((edge + (v & 0x1F)) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

struct Run {
    int status;
    std::vector<std::string> lines;
};

Run run(const std::string& command)
{
    Run result{0, {}};
    std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return {-1, {}};
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        result.lines.emplace_back(buffer);
    }
    result.status = pclose(pipe);
    return result;
}

bool allNumbers(const Run& r, std::size_t count)
{
    if (r.status != 0 || r.lines.size() != count) {
        return false;
    }
    for (const std::string& line : r.lines) {
        char* end = nullptr;
        const double value = std::strtod(line.c_str(), &end);
        if (end == line.c_str() || std::string(end) != "\n" || !(value >= 0)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_dump_check BENCH view|redraw|other PLACE SCALE WORKFILE\n");
        return 2;
    }
    const std::string bench = argv[1];
    const std::string target = argv[2];
    const std::string work = argv[5];
    if (target == "other") {
        check(allNumbers(run(bench + " drag --repeat 3"), 3), "drag prints 3 numbers");
        check(allNumbers(run(bench + " drag --source 0 0 --repeat 2"), 2), "drag --source prints 2 numbers");
        check(run(bench + " decode " + work + ".missing").status != 0, "decode of a missing file fails");
        check(run(bench + " redraw --synthetic 10 10 --scale 1 --view middle --target view").status != 0,
              "a bad --view fails");
        check(run(bench + " frobnicate").status != 0, "an unknown command fails");
        return failures == 0 ? 0 : 1;
    }
    const std::string place = argv[3];
    const double scale = std::strtod(argv[4], nullptr);

    std::vector<std::uint32_t> pixels;
    std::vector<unsigned char> bytes;
    for (std::int64_t y = 0; y < pictureHeight; ++y) {
        for (std::int64_t x = 0; x < pictureWidth; ++x) {
            const std::uint32_t p = testPixel(x, y);
            pixels.push_back(p);
            for (int shift = 0; shift < 32; shift += 8) {
                bytes.push_back(static_cast<unsigned char>(p >> shift));
            }
        }
    }
    const std::string rawFile = work + ".raw";
    const std::string dumpFile = work + ".dump";
    std::FILE* raw = std::fopen(rawFile.c_str(), "wb");
    if (raw == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), raw) != bytes.size() ||
        std::fclose(raw) != 0) {
        std::fprintf(stderr, "cannot write %s\n", rawFile.c_str());
        return 1;
    }
    const Run r = run(bench + " redraw --raw " + rawFile + " " + std::to_string(pictureWidth) + " " +
                      std::to_string(pictureHeight) + " --scale " + argv[4] + " --view " + place +
                      " --target " + target + " --repeat 3 --dump " + dumpFile);
    check(allNumbers(r, 3), "redraw prints 3 numbers and exits 0");

    // The model: dw = trunc(W * S); the view shows the scaled picture from (vx, vy).
    const auto drawWidth = std::int64_t(double(pictureWidth) * scale);
    const auto drawHeight = std::int64_t(double(pictureHeight) * scale);
    const std::int64_t vx = place == "mid" ? std::max<std::int64_t>(0, (drawWidth - 430) / 2) : 0;
    const std::int64_t vy = place == "mid" ? std::max<std::int64_t>(0, (drawHeight - 334) / 2) : 0;
    DrawSource source;
    source.pixels = pixels.data();
    source.width = std::int32_t(pictureWidth);
    source.height = std::int32_t(pictureHeight);
    std::vector<std::uint32_t> expected;
    if (target == "view") {
        ReferenceTarget view{std::vector<std::uint32_t>(430 * 334, 0xFFFFFFFFu), 430, 334};
        referenceDrawScaled(source, view, -vx, -vy, drawWidth, drawHeight, false);
        expected = view.pixels;
    } else {
        ReferenceTarget back{std::vector<std::uint32_t>(1296 * 1008, systemFaceColour() | 0xFF000000u), 1296,
                             1008};
        referenceDrawScaled(source, back, 432 - vx, 336 - vy, drawWidth, drawHeight, false);
        for (std::int64_t y = 0; y < 334; ++y) {
            for (std::int64_t x = 0; x < 430; ++x) {
                expected.push_back(back.pixels[std::size_t((336 + y) * 1296 + 432 + x)]);
            }
        }
    }
    std::FILE* dump = std::fopen(dumpFile.c_str(), "rb");
    std::vector<unsigned char> dumped(430 * 334 * 4 + 1);
    const std::size_t got = dump != nullptr ? std::fread(dumped.data(), 1, dumped.size(), dump) : 0;
    if (dump != nullptr) {
        std::fclose(dump);
    }
    check(got == 430 * 334 * 4, "the dump is 430 x 334 words");
    int mismatches = 0;
    for (std::size_t i = 0; got == 430 * 334 * 4 && i < expected.size(); ++i) {
        const std::uint32_t actual = std::uint32_t(dumped[4 * i]) | std::uint32_t(dumped[4 * i + 1]) << 8 |
                                     std::uint32_t(dumped[4 * i + 2]) << 16 |
                                     std::uint32_t(dumped[4 * i + 3]) << 24;
        for (int shift = 0; shift < 32; shift += 8) {
            const int d = int((actual >> shift) & 0xFF) - int((expected[i] >> shift) & 0xFF);
            if (std::abs(d) > (scale == 1 ? 0 : 1)) {
                if (mismatches++ < 5) {
                    std::fprintf(stderr, "pixel %zu: %08x, expected %08x\n", i, actual, expected[i]);
                }
                break;
            }
        }
    }
    check(mismatches == 0, "the dump matches the reference");
    std::remove(rawFile.c_str());
    std::remove(dumpFile.c_str());
    return failures == 0 ? 0 : 1;
}
