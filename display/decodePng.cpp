#include "display/byteReader.h"
#include "display/decoders.h"

#include <algorithm>
#include <bit>
#include <png.h>
#include <zlib.h>

// Rows of blue, green, red, alpha bytes are the little-endian words 0xAARRGGBB that a Picture keeps,
// so libpng writes straight into the picture's pixels.
static_assert(PNG_FORMAT_BGRA == 19, "libpng's format value for 8-bit blue, green, red, alpha");
static_assert(std::endian::native == std::endian::little, "pixel words are read as little-endian bytes");

namespace {

// Frees what libpng still holds for the image on every way out; freeing twice is harmless.
struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
};

// Image data may inflate to the picture's own need twice over plus this much before it counts as a
// bomb. libpng inflates (and discards) whatever the stream holds after the last row, which a small
// file can make gigabytes long.
constexpr std::uint64_t inflateSlackBytes = std::uint64_t(1) << 20;

// Deflate gives at most 1032 bytes for each byte it reads (a length of 258 and its distance in two
// bits); 1100 leaves room for block headers. Image data that small cannot be a bomb.
constexpr std::uint64_t maxInflateRatio = 1100;

std::uint32_t readU32BigEndian(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
           std::uint32_t(bytes[at + 2]) << 8 | std::uint32_t(bytes[at + 3]);
}

// Bytes of filtered image data that a picture of this header needs: for each of the seven passes of
// an interlaced picture (or the one pass of a plain one), its rows of one filter byte plus packed
// samples. Header values come from a header libpng has accepted, so nothing here overflows 64 bits.
std::uint64_t neededImageBytes(const png_image& image, std::uint32_t bitDepth, std::uint32_t colourType,
                               bool interlaced)
{
    const std::uint64_t channels = colourType == 0 || colourType == 3 ? 1
                                   : colourType == 4                  ? 2
                                   : colourType == 2                  ? 3
                                                                      : 4;
    const auto passBytes = [&](std::uint64_t columns, std::uint64_t rows) -> std::uint64_t {
        if (columns == 0 || rows == 0) {
            return 0;
        }
        return rows * (1 + (columns * channels * bitDepth + 7) / 8);
    };
    const std::uint64_t width = image.width;
    const std::uint64_t height = image.height;
    if (!interlaced) {
        return passBytes(width, height);
    }
    static constexpr std::uint64_t startX[] = {0, 4, 0, 2, 0, 1, 0};
    static constexpr std::uint64_t startY[] = {0, 0, 4, 0, 2, 0, 1};
    static constexpr std::uint64_t stepX[] = {8, 8, 4, 4, 2, 2, 1};
    static constexpr std::uint64_t stepY[] = {8, 8, 8, 4, 4, 2, 2};
    std::uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const std::uint64_t columns =
            width > startX[pass] ? (width - startX[pass] + stepX[pass] - 1) / stepX[pass] : 0;
        const std::uint64_t rows =
            height > startY[pass] ? (height - startY[pass] + stepY[pass] - 1) / stepY[pass] : 0;
        total += passBytes(columns, rows);
    }
    return total;
}

constexpr std::size_t signatureBytes = 8;
constexpr std::size_t chunkHeaderBytes = 8; // length, type
constexpr std::size_t crcBytes = 4;

bool isImageData(std::span<const std::uint8_t> file, std::size_t chunkAt)
{
    static constexpr std::uint8_t idat[4] = {'I', 'D', 'A', 'T'};
    return std::equal(idat, idat + 4, file.begin() + std::ptrdiff_t(chunkAt + 4));
}

// The chunks that libpng reads, from the header to the end of the image data, each with its length:
// calls visit(offset of the chunk, its length, whether it is image data) until visit returns false.
// False when one of them claims more bytes than the file has left: libpng allocates a chunk's
// buffer from its length field before it reads it, so such a file must not reach libpng.
template <typename Visit> bool walkChunks(std::span<const std::uint8_t> file, Visit visit)
{
    bool seenImageData = false;
    std::size_t at = signatureBytes;
    while (file.size() - at >= chunkHeaderBytes) {
        const std::uint64_t length = readU32BigEndian(file, at);
        const bool imageData = isImageData(file, at);
        if (seenImageData && !imageData) {
            break; // libpng reads no chunk past the image data
        }
        seenImageData = seenImageData || imageData;
        if (length + crcBytes > file.size() - at - chunkHeaderBytes) {
            return false;
        }
        if (!visit(at, std::size_t(length), imageData)) {
            break;
        }
        at += chunkHeaderBytes + std::size_t(length) + crcBytes;
    }
    return true;
}

// True when the image data (the run of IDAT chunks) inflates to more than limit bytes. It is
// inflated into a small scratch buffer and only up to the limit. A stream it cannot follow is left
// to libpng, which fails on the same fault itself.
bool inflatesBeyond(std::span<const std::uint8_t> file, std::uint64_t limit)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) {
        return true;
    }
    std::uint8_t scratch[16384];
    std::uint64_t inflated = 0;
    bool beyond = false;
    walkChunks(file, [&](std::size_t at, std::size_t length, bool imageData) {
        if (!imageData) {
            return true;
        }
        stream.next_in = const_cast<Bytef*>(file.data() + at + chunkHeaderBytes);
        stream.avail_in = uInt(length);
        for (;;) {
            stream.next_out = scratch;
            stream.avail_out = sizeof scratch;
            const int status = inflate(&stream, Z_NO_FLUSH);
            inflated += sizeof scratch - stream.avail_out;
            if (inflated > limit) {
                beyond = true;
                return false;
            }
            if (status == Z_BUF_ERROR && stream.avail_in == 0) {
                return true; // the stream goes on in the next chunk
            }
            if (status != Z_OK) {
                return false; // its end, or a fault that libpng meets too
            }
            if (stream.avail_in == 0 && stream.avail_out != 0) {
                return true;
            }
        }
    });
    inflateEnd(&stream);
    return beyond;
}

} // namespace

std::optional<Picture> decodePng(std::span<const std::uint8_t> file)
{
    if (file.size() < signatureBytes ||
        !walkChunks(file, [](std::size_t, std::size_t, bool) { return true; })) {
        return std::nullopt;
    }
    // The simplified interface keeps its warnings in image.message and never prints them.
    PngImage png;
    if (png_image_begin_read_from_memory(&png.image, file.data(), file.size()) == 0) {
        return std::nullopt;
    }
    png.image.format = PNG_FORMAT_BGRA;
    // The size is checked against the store's cap before libpng inflates a single row.
    if (!checkedPixelCount(png.image.width, png.image.height)) {
        return std::nullopt;
    }
    // The header has been read and checked by libpng, and it lies at the start of the file.
    const std::uint32_t bitDepth = file[24];
    const std::uint32_t colourType = file[25];
    const bool interlaced = file[28] != 0;
    const std::uint64_t needed = neededImageBytes(png.image, bitDepth, colourType, interlaced);
    std::uint64_t compressed = 0;
    walkChunks(file, [&](std::size_t, std::size_t length, bool imageData) {
        compressed += imageData ? length : 0;
        return true;
    });
    // Only image data that could inflate past the limit is inflated ahead (a second pass over it).
    const std::uint64_t limit = 2 * needed + inflateSlackBytes;
    if (compressed > limit / maxInflateRatio && inflatesBeyond(file, limit)) {
        return std::nullopt;
    }
    auto picture = allocatePicture(PictureKind::Png, png.image.width, png.image.height);
    if (!picture) {
        return std::nullopt;
    }
    if (png_image_finish_read(&png.image, nullptr, picture->pixels.data(), 0, nullptr) == 0) {
        return std::nullopt;
    }
    return picture;
}
