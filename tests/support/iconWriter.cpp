#include "tests/support/iconWriter.h"

namespace {

void putU16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(std::uint8_t(value >> (8 * i)));
    }
}

std::size_t strideOf(std::size_t width, std::size_t bits)
{
    return (width * bits + 31) / 32 * 4;
}

} // namespace

std::vector<std::uint8_t> iconBitmap(const IconBitmap& bitmap)
{
    std::vector<std::uint8_t> out;
    putU32(out, 40);
    putU32(out, std::uint32_t(bitmap.widthField.value_or(bitmap.width)));
    putU32(out, std::uint32_t(bitmap.heightField.value_or(2 * bitmap.height)));
    putU16(out, 1);
    putU16(out, bitmap.bitsPerPixel);
    putU32(out, 0); // no compression
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, bitmap.coloursUsed);
    putU32(out, 0);
    for (std::uint32_t rgb : bitmap.table) {
        out.push_back(std::uint8_t(rgb));
        out.push_back(std::uint8_t(rgb >> 8));
        out.push_back(std::uint8_t(rgb >> 16));
        out.push_back(0);
    }
    const std::size_t w = std::size_t(bitmap.width);
    const std::size_t h = std::size_t(bitmap.height);
    const std::size_t bits = bitmap.bitsPerPixel;
    const std::size_t stride = strideOf(w, bits);
    for (std::size_t fromBottom = 0; fromBottom < h; ++fromBottom) {
        const std::size_t y = h - 1 - fromBottom;
        std::vector<std::uint8_t> row(stride, 0);
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t value = bitmap.pixels[y * w + x];
            if (bits == 32) {
                for (int i = 0; i < 4; ++i) {
                    row[4 * x + std::size_t(i)] = std::uint8_t(value >> (8 * i));
                }
            } else if (bits == 24) {
                for (int i = 0; i < 3; ++i) {
                    row[3 * x + std::size_t(i)] = std::uint8_t(value >> (8 * i));
                }
            } else {
                const std::size_t bit = x * bits;
                row[bit / 8] |= std::uint8_t(value << (8 - bits - bit % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    if (bitmap.withMask) {
        const std::size_t maskStride = strideOf(w, 1);
        for (std::size_t fromBottom = 0; fromBottom < h; ++fromBottom) {
            const std::size_t y = h - 1 - fromBottom;
            std::vector<std::uint8_t> row(maskStride, 0);
            for (std::size_t x = 0; x < w && !bitmap.mask.empty(); ++x) {
                if (bitmap.mask[y * w + x] != 0) {
                    row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
                }
            }
            out.insert(out.end(), row.begin(), row.end());
        }
    }
    return out;
}

std::vector<std::uint8_t> writeIconFile(std::uint16_t type, const std::vector<IconEntry>& entries)
{
    std::vector<std::uint8_t> out;
    putU16(out, 0);
    putU16(out, type);
    putU16(out, std::uint16_t(entries.size()));
    std::uint32_t offset = std::uint32_t(6 + 16 * entries.size());
    for (const IconEntry& entry : entries) {
        out.push_back(entry.width);
        out.push_back(entry.height);
        out.push_back(entry.colourCount);
        out.push_back(0);
        putU16(out, entry.planes);
        putU16(out, entry.bitCount);
        putU32(out, entry.sizeField.value_or(std::uint32_t(entry.data.size())));
        putU32(out, entry.offsetField.value_or(offset));
        offset += std::uint32_t(entry.data.size());
    }
    for (const IconEntry& entry : entries) {
        out.insert(out.end(), entry.data.begin(), entry.data.end());
    }
    return out;
}
