#include "tests/support/pngWriter.h"

#include <png.h>

std::vector<std::uint8_t> writePng(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint32_t>& argb, bool withAlpha)
{
    std::vector<std::uint8_t> rgba;
    for (std::uint32_t pixel : argb) {
        rgba.push_back(std::uint8_t(pixel >> 16));
        rgba.push_back(std::uint8_t(pixel >> 8));
        rgba.push_back(std::uint8_t(pixel));
        if (withAlpha) {
            rgba.push_back(std::uint8_t(pixel >> 24));
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr) == 0) {
        return {};
    }
    std::vector<std::uint8_t> out(size);
    if (png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr) == 0) {
        return {};
    }
    out.resize(size);
    return out;
}
