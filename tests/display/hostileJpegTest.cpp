#include "tests/display/hostileCase.h"
#include "tests/support/hostileFiles.h"
#include "tests/support/jpegWriter.h"

#include <chrono>

namespace {

JpegFixture busyFixture(int width, int height, bool progressive)
{
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.components = 3;
    fixture.progressive = progressive;
    std::uint32_t noise = 99;
    for (int i = 0; i < width * height * 3; ++i) {
        noise = noise * 1103515245u + 12345u;
        fixture.samples.push_back(std::uint8_t((i * 5 + int(noise >> 27)) % 256));
    }
    return fixture;
}

// Offset of the first FF code at or after from; the file's size when there is none. Outside entropy
// data every FF starts a marker, and inside it FF is followed only by 00 or a restart marker.
std::size_t findMarker(const std::vector<std::uint8_t>& file, std::uint8_t code, std::size_t from = 0)
{
    for (std::size_t i = from; i + 1 < file.size(); ++i) {
        if (file[i] == 0xFF && file[i + 1] == code) {
            return i;
        }
    }
    return file.size();
}

std::vector<std::uint8_t> withU16BigEndian(std::vector<std::uint8_t> file, std::size_t at,
                                           std::uint16_t value)
{
    file.at(at) = std::uint8_t(value >> 8);
    file.at(at + 1) = std::uint8_t(value);
    return file;
}

// What our decoder must give: the library's own decode with its default parameters, as opaque pixels.
Outcome referenceOutcome(const std::vector<std::uint8_t>& file)
{
    const ReferenceJpeg reference = referenceDecodeJpeg(file);
    if (reference.width == 0) {
        return refused();
    }
    std::vector<std::uint32_t> pixels;
    for (std::size_t i = 0; i + 2 < reference.samples.size(); i += 3) {
        pixels.push_back(
            opaquePixel(reference.samples[i], reference.samples[i + 1], reference.samples[i + 2]));
    }
    return loadsAs(reference.width, reference.height, pixels);
}

// The progressive file with its last scan repeated until it has `scans` scans in all.
std::vector<std::uint8_t> withScans(const std::vector<std::uint8_t>& file, std::size_t scans)
{
    std::vector<std::size_t> starts;
    for (std::size_t at = findMarker(file, 0xDA); at < file.size(); at = findMarker(file, 0xDA, at + 2)) {
        starts.push_back(at);
    }
    const std::size_t end = findMarker(file, 0xD9, starts.back());
    const std::vector<std::uint8_t> last(file.begin() + std::ptrdiff_t(starts.back()),
                                         file.begin() + std::ptrdiff_t(end));
    std::vector<std::uint8_t> out(file.begin(), file.begin() + std::ptrdiff_t(end));
    for (std::size_t n = starts.size(); n < scans; ++n) {
        out.insert(out.end(), last.begin(), last.end());
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

TEST(HostileJpeg, DeclaredSizes)
{
    const auto file = writeJpeg(busyFixture(16, 16, false));
    const std::size_t frame = findMarker(file, 0xC0);
    const std::size_t heightAt = frame + 5;
    const std::size_t widthAt = frame + 7;
    std::vector<HostileCase> cases;
    // The size fields are 16 bits: 2^16 and beyond cannot be written. A size beyond the data loads
    // with its missing part filled, as the library fills it.
    for (std::uint16_t size :
         {std::uint16_t(0), std::uint16_t(1), std::uint16_t(1u << 15), std::uint16_t(0xFFFF)}) {
        const std::string n = std::to_string(size);
        for (const auto& [name, at] : {std::pair{"width ", widthAt}, std::pair{"height ", heightAt}}) {
            const auto patched = withU16BigEndian(file, at, size);
            cases.push_back({name + n, patched, size == 0 ? refused() : referenceOutcome(patched)});
        }
    }
    // 65535 x 65535 is over the pixel cap (and, times 3 components, over 2^32 samples).
    cases.push_back({"65535 x 65535",
                     withU16BigEndian(withU16BigEndian(file, widthAt, 0xFFFF), heightAt, 0xFFFF), refused()});
    cases.push_back({"16384 x 16385",
                     withU16BigEndian(withU16BigEndian(file, widthAt, 16384), heightAt, 16385), refused()});
    for (const auto& c : cases) {
        expectOutcome(c, decodeJpeg);
    }
}

TEST(HostileJpeg, LibraryMemoryIsCappedBeforeItIsTaken)
{
    // A progressive picture keeps every coefficient until its last scan: at 16384 x 16384 with
    // full-resolution colour that is 1.5 GiB, over the library's 1 GiB. It is refused when the
    // library plans its buffers, before it allocates them or the picture.
    auto file = writeJpeg(busyFixture(16, 16, true));
    const std::size_t frame = findMarker(file, 0xC2);
    file = withU16BigEndian(withU16BigEndian(file, frame + 5, 16384), frame + 7, 16384);
    for (int component = 0; component < 3; ++component) {
        file.at(frame + 11 + std::size_t(component) * 3) = 0x11;
    }
    const auto start = std::chrono::steady_clock::now();
    expectOutcome({"progressive 16384 x 16384, 4:4:4", file, refused()}, decodeJpeg);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(HostileJpeg, ScansStopAtTheCap)
{
    const auto file = writeJpeg(busyFixture(24, 16, true));
    const struct {
        const char* name;
        std::size_t scans;
        bool loads;
    } cases[] = {
        {"500 scans (the cap)", 500, true},
        {"501 scans", 501, false},
        {"5000 scans", 5000, false},
    };
    for (const auto& c : cases) {
        const auto repeated = withScans(file, c.scans);
        const auto start = std::chrono::steady_clock::now();
        expectOutcome({c.name, repeated, c.loads ? referenceOutcome(repeated) : refused()}, decodeJpeg);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    }
}

TEST(HostileJpeg, MarkersAndTruncation)
{
    const auto file = writeJpeg(busyFixture(16, 16, false));
    const std::size_t tables = findMarker(file, 0xDB);
    const std::size_t frame = findMarker(file, 0xC0);
    const std::size_t huffman = findMarker(file, 0xC4);
    const std::size_t scan = findMarker(file, 0xDA);
    const auto repeated = [](std::vector<std::uint8_t> unit, std::size_t count) {
        std::vector<std::uint8_t> out = {0xFF, 0xD8};
        for (std::size_t i = 0; i < count; ++i) {
            out.insert(out.end(), unit.begin(), unit.end());
        }
        return out;
    };
    const auto appLength = [&file](std::uint16_t length) {
        // An application segment right after the start-of-image marker.
        auto out = file;
        const std::uint8_t segment[] = {0xFF, 0xE5, std::uint8_t(length >> 8), std::uint8_t(length)};
        out.insert(out.begin() + 2, std::begin(segment), std::end(segment));
        return out;
    };
    // The scan header names its components' Huffman tables in the low and high nibbles after each
    // component id; table 3 is never defined.
    auto undefinedTable = file;
    undefinedTable.at(scan + 6) = 0x33;
    const std::vector<HostileCase> cases = {
        {"100000 empty comments", repeatedMarkersJpegFile(100000), refused()},
        {"100000 restart markers", repeated({0xFF, 0xD0}, 100000), refused()},
        {"100000 fill bytes", repeated({0xFF}, 100000), refused()},
        {"100000 start-of-image markers", repeated({0xFF, 0xD8}, 100000), refused()},
        // The library skips nothing for an application segment shorter than its length field and
        // reads on from there.
        {"segment length 0", appLength(0), referenceOutcome(appLength(0))},
        {"segment length 1", appLength(1), referenceOutcome(appLength(1))},
        {"segment length 2^16 - 1, past the end", appLength(0xFFFF), refused()},
        {"scan naming an undefined Huffman table", undefinedTable, refused()},
        {"start of image only", cutTo(file, 2), refused()},
        {"inside the quantisation tables", cutTo(file, tables + 10), refused()},
        {"inside the frame header", cutTo(file, frame + 6), refused()},
        {"inside the Huffman tables", cutTo(file, huffman + 10), refused()},
        {"tables and frame, no scan", cutTo(file, scan), refused()},
        // Cut inside the image data: it loads at full size, the rest filled as the library fills it.
        {"scan header only", cutTo(file, scan + 14), referenceOutcome(cutTo(file, scan + 14))},
        {"half the image data", cutTo(file, (scan + file.size()) / 2),
         referenceOutcome(cutTo(file, (scan + file.size()) / 2))},
        {"no end marker", cutTo(file, file.size() - 2), referenceOutcome(file)},
        {"whole", file, referenceOutcome(file)},
    };
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        expectOutcome(c, decodeJpeg);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    }
}

} // namespace
