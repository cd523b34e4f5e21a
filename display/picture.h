#pragma once

#include "display/heapArray.h"

#include <cstdint>
#include <optional>
#include <span>

// The file format a picture came from. The values are fixed: other tools print them.
enum class PictureKind : std::int32_t {
    Jpeg = 1,
    Bmp = 2,
    Icon = 3,
    Cursor = 4,
    Gif = 5,
    Pcx8 = 6,
    Pcx1 = 7,
    Png = 8,
};

// The most pixels one picture may have: 2^28 (a 16384 x 16384 picture, or 268 megapixels). Every
// decoder checks width * height against it, in 64 bits, before it allocates anything.
constexpr std::int64_t maxPicturePixels = std::int64_t(1) << 28;

// A decoded picture, never changed once the store holds it.
//
// Every kind keeps its pixels expanded to 32-bit words 0xAARRGGBB (bytes blue, green, red, alpha in
// memory), rows packed, top row first: palette kinds (Gif, Pcx8, Pcx1) are looked up once while
// decoding, so drawing never goes through a table. Alpha is 0xFF everywhere except in a Png, which
// keeps its straight (not premultiplied) alpha and is blended over white when drawn. Icon and
// Cursor pictures also keep a mask of one byte per pixel, non-zero where the pixel is transparent.
struct Picture {
    PictureKind kind = PictureKind::Bmp;
    std::int32_t width = 0;
    std::int32_t height = 0;
    HeapArray<std::uint32_t> pixels;
    HeapArray<std::uint8_t> mask;
};

// width * height when both are non-negative and the product is within maxPicturePixels.
std::optional<std::size_t> checkedPixelCount(std::int64_t width, std::int64_t height);

// A picture of that size with uninitialised pixels (and no mask); nothing when the size is negative,
// exceeds maxPicturePixels or the memory cannot be had. A size of 0 allocates nothing.
std::optional<Picture> allocatePicture(PictureKind kind, std::int64_t width, std::int64_t height);

// Packs an opaque pixel.
constexpr std::uint32_t opaquePixel(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return 0xFF000000u | (red << 16) | (green << 8) | blue;
}
