#include "display/byteReader.h"
#include "display/decoders.h"

#include <array>

namespace {

constexpr std::uint64_t fileHeaderSize = 14;
// The fields this decoder reads all sit in the first 40 bytes of the information header.
constexpr std::uint64_t fixedHeaderEnd = fileHeaderSize + 40;

// A colour index at or beyond the table's entry count draws black: the table is never read past
// its end.
constexpr std::uint32_t missingColour = opaquePixel(0, 0, 0);

std::int64_t magnitude(std::int32_t field)
{
    // In 64 bits, so that a field of INT32_MIN has a magnitude too.
    const std::int64_t wide = field;
    return wide < 0 ? -wide : wide;
}

} // namespace

std::optional<Picture> decodeBmp(std::span<const std::uint8_t> file)
{
    if (file.size() < fixedHeaderEnd) {
        return std::nullopt;
    }
    const std::uint64_t fileSize = file.size();
    const std::uint64_t dataOffset = readU32(file, 10);
    const std::uint64_t infoHeaderSize = readU32(file, 14);
    const auto widthField = std::int32_t(readU32(file, 18));
    const auto heightField = std::int32_t(readU32(file, 22));
    const std::uint32_t bitsPerPixel = readU16(file, 28);
    const std::uint32_t compression = readU32(file, 30);
    const std::uint64_t coloursUsed = readU32(file, 46);

    if (compression != 0) {
        return std::nullopt;
    }
    const bool indexed = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8;
    if (!indexed && bitsPerPixel != 24 && bitsPerPixel != 32) {
        return std::nullopt;
    }

    // The colour table follows the information header. Headers larger than the classic 40 bytes
    // (64, 108, 124) put it further on; a smaller size field is taken as 40.
    std::uint64_t tableEnd = fixedHeaderEnd;
    std::array<std::uint32_t, 256> palette{};
    if (indexed) {
        const std::uint64_t tableStart =
            infoHeaderSize > 40 ? fileHeaderSize + infoHeaderSize : fixedHeaderEnd;
        const std::uint64_t entries = coloursUsed != 0 ? coloursUsed : std::uint64_t(1) << bitsPerPixel;
        // At most 2^32 - 1 entries of 4 bytes after at most 14 + 2^32 - 1: no 64-bit overflow, and
        // a table longer than the file fails before anything is read or allocated.
        tableEnd = tableStart + 4 * entries;
        if (tableEnd > fileSize) {
            return std::nullopt;
        }
        // Only the first 2^bits entries can be selected by a pixel; the rest stay black.
        const std::uint64_t reachable = std::uint64_t(1) << bitsPerPixel;
        const std::uint64_t kept = entries < reachable ? entries : reachable;
        palette.fill(missingColour);
        for (std::uint64_t i = 0; i < kept; ++i) {
            const std::size_t at = std::size_t(tableStart + 4 * i);
            palette[i] = opaquePixel(file[at + 2], file[at + 1], file[at]);
        }
    }
    if (tableEnd > dataOffset) {
        return std::nullopt;
    }

    const std::int64_t width = magnitude(widthField);
    const std::int64_t height = magnitude(heightField);
    // Each row starts on a multiple of 4 bytes from the data offset. width < 2^32 and
    // bitsPerPixel <= 32, so these stay far below 2^63.
    const std::uint64_t rowPixelBytes = (std::uint64_t(width) * bitsPerPixel + 7) / 8;
    const std::uint64_t stride = (rowPixelBytes + 3) / 4 * 4;

    // Every declared row must be in the file before the pixel buffer is allocated. 1-, 4- and 8-bit
    // rows are read with their padding; 24- and 32-bit files may end right after the last row's
    // pixels.
    if (dataOffset > fileSize) {
        return std::nullopt;
    }
    if (height > 0 && rowPixelBytes > 0) {
        const std::uint64_t lastRowBytes = indexed ? stride : rowPixelBytes;
        const std::uint64_t available = fileSize - dataOffset;
        if (lastRowBytes > available || std::uint64_t(height - 1) > (available - lastRowBytes) / stride) {
            return std::nullopt;
        }
    }

    auto picture = allocatePicture(PictureKind::Bmp, width, height);
    if (!picture) {
        return std::nullopt;
    }
    if (width == 0) {
        return picture;
    }

    ByteReader reader(file);
    const bool bottomUp = heightField > 0;
    const std::uint32_t pixelMask = (1u << (bitsPerPixel & 15)) - 1;
    for (std::int64_t y = 0; y < height; ++y) {
        const std::int64_t fileRow = bottomUp ? height - 1 - y : y;
        std::optional<std::span<const std::uint8_t>> row;
        if (reader.seek(dataOffset + std::uint64_t(fileRow) * stride)) {
            row = reader.take(rowPixelBytes);
        }
        if (!row) {
            return std::nullopt;
        }
        std::uint32_t* out = picture->pixels.data() + std::size_t(y) * std::size_t(width);
        const std::uint8_t* in = row->data();
        switch (bitsPerPixel) {
        case 24:
            for (std::int64_t x = 0; x < width; ++x, in += 3) {
                out[x] = opaquePixel(in[2], in[1], in[0]);
            }
            break;
        case 32:
            for (std::int64_t x = 0; x < width; ++x, in += 4) {
                out[x] = opaquePixel(in[2], in[1], in[0]);
            }
            break;
        default:
            // Packed from the most significant bit down; each row starts on a fresh byte.
            for (std::int64_t x = 0; x < width; ++x) {
                const std::uint64_t bit = std::uint64_t(x) * bitsPerPixel;
                const unsigned shift = 8 - bitsPerPixel - unsigned(bit % 8);
                out[x] = palette[(in[bit / 8] >> shift) & pixelMask];
            }
            break;
        }
    }
    return picture;
}
