#include "display/byteReader.h"
#include "display/decoders.h"

#include <algorithm>

namespace {

constexpr std::size_t headerBytes = 6;
constexpr std::size_t entryBytes = 16;
constexpr std::size_t infoHeaderBytes = 40;
constexpr std::uint8_t pngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// A pixel whose alpha is below this is transparent in an image that carries alpha.
constexpr std::uint8_t opaqueAlpha = 128;
// Shown for a colour index that the image's colour table does not hold.
constexpr std::uint32_t outsideTableColour = opaquePixel(0, 0, 0);

struct DirectoryEntry {
    std::uint8_t width;
    std::uint8_t colourCount;
    std::uint32_t size;
    std::uint32_t offset;
};

// The first entry of width byte 32 with 16 colours or more, else the last one.
std::optional<DirectoryEntry> chooseEntry(std::span<const std::uint8_t> file, std::size_t count)
{
    std::optional<DirectoryEntry> chosen;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = headerBytes + i * entryBytes;
        chosen = DirectoryEntry{file[at], file[at + 2], readU32(file, at + 8), readU32(file, at + 12)};
        if (chosen->width == 32 && chosen->colourCount >= 16) {
            break;
        }
    }
    return chosen;
}

// Rows of an icon bitmap are stored bottom row first, each padded to a multiple of 4 bytes.
std::uint64_t strideOf(std::uint64_t width, std::uint64_t bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

// The icon's mask from the alpha channel of its pixels (alpha below 128 is transparent), then every
// pixel made opaque; icons show through their mask alone.
bool maskFromAlpha(Picture& picture)
{
    if (!picture.mask.allocate(picture.pixels.size())) {
        return false;
    }
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
        picture.mask[i] = (picture.pixels[i] >> 24) < opaqueAlpha ? 1 : 0;
        picture.pixels[i] |= 0xFF000000u;
    }
    return true;
}

std::optional<Picture> decodePngImage(std::span<const std::uint8_t> image, PictureKind kind)
{
    auto picture = decodePng(image);
    if (!picture || !maskFromAlpha(*picture)) {
        return std::nullopt;
    }
    picture->kind = kind;
    return picture;
}

// A bitmap icon image: information header (height doubled), colour table, colour rows, mask rows.
std::optional<Picture> decodeBitmapImage(std::span<const std::uint8_t> image, PictureKind kind)
{
    if (image.size() < infoHeaderBytes) {
        return std::nullopt;
    }
    const std::uint32_t headerSize = readU32(image, 0);
    const std::int64_t width = std::int32_t(readU32(image, 4));
    const std::int64_t doubledHeight = std::int32_t(readU32(image, 8));
    const std::uint16_t bitsPerPixel = readU16(image, 14);
    const std::uint32_t compression = readU32(image, 16);
    const std::uint32_t coloursUsed = readU32(image, 32);
    // A negative size is refused outright: it would otherwise reach the viewer as the picture's size.
    if (headerSize < infoHeaderBytes || headerSize > image.size() || width < 0 || doubledHeight < 0 ||
        compression != 0) {
        return std::nullopt;
    }
    const std::int64_t height = doubledHeight / 2;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 24 &&
        bitsPerPixel != 32) {
        return std::nullopt;
    }
    std::uint64_t tableEntries = 0;
    if (bitsPerPixel <= 8) {
        const std::uint64_t most = std::uint64_t(1) << bitsPerPixel;
        tableEntries = coloursUsed == 0 ? most : coloursUsed;
        if (tableEntries > most) {
            return std::nullopt;
        }
    }
    if (!checkedPixelCount(width, height)) {
        return std::nullopt;
    }
    // Every part is located and its presence checked before the picture is allocated.
    const std::uint64_t tableAt = headerSize;
    const std::uint64_t colourAt = tableAt + tableEntries * 4;
    const std::uint64_t colourStride = strideOf(std::uint64_t(width), bitsPerPixel);
    const std::uint64_t maskAt = colourAt + colourStride * std::uint64_t(height);
    const std::uint64_t maskStride = strideOf(std::uint64_t(width), 1);
    const std::uint64_t maskEnd = maskAt + maskStride * std::uint64_t(height);
    if (maskAt > image.size()) {
        return std::nullopt;
    }
    const bool maskPresent = maskEnd <= image.size();

    auto picture = allocatePicture(kind, width, height);
    if (!picture) {
        return std::nullopt;
    }
    const std::size_t w = std::size_t(width);
    const std::size_t h = std::size_t(height);
    bool anyAlpha = false;
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* source = image.data() + colourAt + (h - 1 - y) * colourStride;
        std::uint32_t* row = picture->pixels.data() + y * w;
        for (std::size_t x = 0; x < w; ++x) {
            switch (bitsPerPixel) {
            case 32:
                row[x] = readU32({source, std::size_t(colourStride)}, 4 * x);
                anyAlpha = anyAlpha || (row[x] >> 24) != 0;
                break;
            case 24:
                row[x] = opaquePixel(source[3 * x + 2], source[3 * x + 1], source[3 * x]);
                break;
            default: {
                const std::size_t bit = x * bitsPerPixel;
                const std::size_t index =
                    (source[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & ((1u << bitsPerPixel) - 1);
                if (index < tableEntries) {
                    const std::uint8_t* bgr = image.data() + tableAt + 4 * index;
                    row[x] = opaquePixel(bgr[2], bgr[1], bgr[0]);
                } else {
                    row[x] = outsideTableColour;
                }
                break;
            }
            }
        }
    }
    // An image with an alpha channel that is used is shaped by its alpha alone: current icons often
    // leave the 1-bit mask empty. Otherwise the mask decides, and it must be there in full.
    if (anyAlpha) {
        if (!maskFromAlpha(*picture)) {
            return std::nullopt;
        }
        return picture;
    }
    if (!maskPresent || !picture->mask.allocate(picture->pixels.size())) {
        return std::nullopt;
    }
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* source = image.data() + maskAt + (h - 1 - y) * maskStride;
        for (std::size_t x = 0; x < w; ++x) {
            picture->mask[y * w + x] = (source[x / 8] >> (7 - x % 8)) & 1;
            picture->pixels[y * w + x] |= 0xFF000000u;
        }
    }
    return picture;
}

} // namespace

std::optional<Picture> decodeIconFile(std::span<const std::uint8_t> file)
{
    ByteReader reader(file);
    auto reserved = reader.u16();
    auto type = reader.u16();
    auto count = reader.u16();
    if (!reserved || !type || !count || *reserved != 0 || (*type != 1 && *type != 2) || *count == 0) {
        return std::nullopt;
    }
    if (!reader.skip(std::uint64_t(*count) * entryBytes)) {
        return std::nullopt; // the directory is cut short
    }
    const auto entry = chooseEntry(file, *count);
    // The image is read in full; one that reaches beyond the file fails before anything is decoded.
    if (!entry || !reader.seek(entry->offset)) {
        return std::nullopt;
    }
    auto image = reader.take(entry->size);
    if (!image) {
        return std::nullopt;
    }
    const PictureKind kind = *type == 1 ? PictureKind::Icon : PictureKind::Cursor;
    if (image->size() >= sizeof pngSignature && std::equal(pngSignature, pngSignature + 8, image->begin())) {
        return decodePngImage(*image, kind);
    }
    return decodeBitmapImage(*image, kind);
}
