#include "display/picture.h"

std::optional<std::size_t> checkedPixelCount(std::int64_t width, std::int64_t height)
{
    if (width < 0 || height < 0) {
        return std::nullopt;
    }
    std::int64_t count = 0;
    if (__builtin_mul_overflow(width, height, &count) || count > maxPicturePixels) {
        return std::nullopt;
    }
    return std::size_t(count);
}

std::optional<Picture> allocatePicture(PictureKind kind, std::int64_t width, std::int64_t height)
{
    auto count = checkedPixelCount(width, height);
    if (!count || width > INT32_MAX || height > INT32_MAX) {
        return std::nullopt;
    }
    Picture picture;
    picture.kind = kind;
    picture.width = std::int32_t(width);
    picture.height = std::int32_t(height);
    if (!picture.pixels.allocate(*count)) {
        return std::nullopt;
    }
    return picture;
}
