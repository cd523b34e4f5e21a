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

std::vector<std::uint8_t> writeBmp(const BmpSpec& spec)
{
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    putU32(out, 0); // file size, set at the end
    putU32(out, 0); // reserved
    putU32(out, 0); // pixel-data offset, set below

    const std::int32_t heightField = spec.topDown ? -spec.height : spec.height;
    putU32(out, spec.infoHeaderSize);
    putU32(out, std::uint32_t(spec.widthField.value_or(spec.width)));
    putU32(out, std::uint32_t(spec.heightField.value_or(heightField)));
    putU16(out, 1); // planes
    putU16(out, spec.bitsPerPixel);
    putU32(out, spec.compression);
    putU32(out, 0); // image size
    putU32(out, 2835);
    putU32(out, 2835);
    putU32(out, spec.coloursUsed.value_or(std::uint32_t(spec.palette.size())));
    putU32(out, 0); // important colours
    while (out.size() < 14 + std::size_t(spec.infoHeaderSize)) {
        out.push_back(0);
    }

    for (std::uint32_t colour : spec.palette) {
        out.push_back(std::uint8_t(colour));
        out.push_back(std::uint8_t(colour >> 8));
        out.push_back(std::uint8_t(colour >> 16));
        out.push_back(0);
    }
    if (spec.dataOffset) {
        while (out.size() < *spec.dataOffset) {
            out.push_back(0);
        }
    }
    setU32(out, 10, spec.dataOffset.value_or(std::uint32_t(out.size())));

    const std::size_t width = std::size_t(std::abs(spec.width));
    const std::size_t height = std::size_t(std::abs(spec.height));
    const std::size_t rowBits = width * spec.bitsPerPixel;
    const std::size_t rowBytes = (rowBits + 7) / 8;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    for (std::size_t fileRow = 0; fileRow < height; ++fileRow) {
        const std::size_t y = spec.topDown ? fileRow : height - 1 - fileRow;
        std::vector<std::uint8_t> row(stride, 0);
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t index = y * width + x;
            const std::uint32_t value = index < spec.pixels.size() ? spec.pixels[index] : 0;
            if (spec.bitsPerPixel >= 8) {
                // Little-endian: blue, green, red for 24 and 32 bits.
                const std::size_t bytes = spec.bitsPerPixel / 8u;
                for (std::size_t i = 0; i < bytes; ++i) {
                    row[x * bytes + i] = i < 3 ? std::uint8_t(value >> (8 * i)) : 0x5A; // 0x5A: ignored
                }
            } else if (spec.bitsPerPixel > 0) {
                const std::size_t bit = x * spec.bitsPerPixel;
                const unsigned shift = 8 - spec.bitsPerPixel - unsigned(bit % 8);
                row[bit / 8] |= std::uint8_t(value << shift);
            }
        }
        const bool last = fileRow + 1 == height;
        const std::size_t written = last && spec.omitLastPadding ? rowBytes : stride;
        out.insert(out.end(), row.begin(), row.begin() + std::ptrdiff_t(written));
    }
    setU32(out, 2, std::uint32_t(out.size()));
    return out;
}
