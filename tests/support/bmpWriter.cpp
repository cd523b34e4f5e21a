#include "tests/support/bmpWriter.h"

#include <cstdlib>

namespace {

void putU16(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

void setU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    }
}

} // namespace

std::vector<std::uint8_t> writeBmp(const BmpFixture& fixture)
{
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    putU32(out, 0); // file size, set at the end
    putU32(out, 0); // reserved
    putU32(out, 0); // pixel-data offset, set below

    const std::int32_t heightField = fixture.topDown ? -fixture.height : fixture.height;
    putU32(out, fixture.infoHeaderSize);
    putU32(out, std::uint32_t(fixture.widthField.value_or(fixture.width)));
    putU32(out, std::uint32_t(fixture.heightField.value_or(heightField)));
    putU16(out, 1); // planes
    putU16(out, fixture.bitsPerPixel);
    putU32(out, fixture.compression);
    putU32(out, 0); // image size
    putU32(out, 2835);
    putU32(out, 2835);
    putU32(out, fixture.coloursUsed.value_or(std::uint32_t(fixture.palette.size())));
    putU32(out, 0); // important colours
    while (out.size() < 14 + std::size_t(fixture.infoHeaderSize)) {
        out.push_back(0);
    }

    for (std::uint32_t colour : fixture.palette) {
        out.push_back(std::uint8_t(colour));
        out.push_back(std::uint8_t(colour >> 8));
        out.push_back(std::uint8_t(colour >> 16));
        out.push_back(0);
    }
    if (fixture.dataOffset) {
        while (out.size() < *fixture.dataOffset) {
            out.push_back(0);
        }
    }
    setU32(out, 10, fixture.dataOffset.value_or(std::uint32_t(out.size())));

    const std::size_t width = std::size_t(std::abs(fixture.width));
    const std::size_t height = std::size_t(std::abs(fixture.height));
    const std::size_t rowBits = width * fixture.bitsPerPixel;
    const std::size_t rowBytes = (rowBits + 7) / 8;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    for (std::size_t fileRow = 0; fileRow < height; ++fileRow) {
        const std::size_t y = fixture.topDown ? fileRow : height - 1 - fileRow;
        std::vector<std::uint8_t> row(stride, 0);
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t index = y * width + x;
            const std::uint32_t value = index < fixture.pixels.size() ? fixture.pixels[index] : 0;
            if (fixture.bitsPerPixel >= 8) {
                // Little-endian: blue, green, red for 24 and 32 bits.
                const std::size_t bytes = fixture.bitsPerPixel / 8u;
                for (std::size_t i = 0; i < bytes; ++i) {
                    row[x * bytes + i] = i < 3 ? std::uint8_t(value >> (8 * i)) : 0x5A; // 0x5A: ignored
                }
            } else if (fixture.bitsPerPixel > 0) {
                const std::size_t bit = x * fixture.bitsPerPixel;
                const unsigned shift = 8 - fixture.bitsPerPixel - unsigned(bit % 8);
                row[bit / 8] |= std::uint8_t(value << shift);
            }
        }
        const bool last = fileRow + 1 == height;
        const std::size_t written = last && fixture.omitLastPadding ? rowBytes : stride;
        out.insert(out.end(), row.begin(), row.begin() + std::ptrdiff_t(written));
    }
    setU32(out, 2, std::uint32_t(out.size()));
    return out;
}
