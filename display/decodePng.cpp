#include "display/decoders.h"

#include <bit>
#include <png.h>

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

} // namespace

std::optional<Picture> decodePng(std::span<const std::uint8_t> file)
{
    if (file.empty()) {
        return std::nullopt;
    }
    // The simplified interface keeps its warnings in image.message and never prints them.
    PngImage png;
    if (png_image_begin_read_from_memory(&png.image, file.data(), file.size()) == 0) {
        return std::nullopt;
    }
    png.image.format = PNG_FORMAT_BGRA;
    // The size is checked against the store's cap before libpng inflates a single row.
    auto picture = allocatePicture(PictureKind::Png, png.image.width, png.image.height);
    if (!picture) {
        return std::nullopt;
    }
    if (png_image_finish_read(&png.image, nullptr, picture->pixels.data(), 0, nullptr) == 0) {
        return std::nullopt;
    }
    return picture;
}
