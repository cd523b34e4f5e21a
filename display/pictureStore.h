#pragma once

#include "display/picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The store of decoded pictures, named by ids. One thread uses it. Failures show only in the
// results: id 0, size 0 x 0; nothing is printed, thrown or shown.

struct PictureSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// How a picture's pixels reach a canvas.
enum class DrawMode {
    Opaque,         // the words' colours as they are
    BlendOverWhite, // each pixel blended over white by its alpha first (see blendOverWhite)
    Masked,         // pixels whose mask byte is non-zero leave the canvas unchanged
};

// A picture in drawable form: a view of the store's own pixels, valid until the picture is
// unloaded. Nothing is copied; the drawing code applies the mode while it samples.
struct DrawSource {
    const std::uint32_t* pixels = nullptr; // width * height words 0xAARRGGBB, rows packed
    const std::uint8_t* mask = nullptr;    // Masked only: width * height bytes, non-zero = transparent
    std::int32_t width = 0;
    std::int32_t height = 0;
    DrawMode mode = DrawMode::Opaque;
};

// Loads the file of that name (bytes passed to the file system unchanged; relative to the current
// directory). 0 when the name is empty, the file is not a regular file or cannot be read, it is
// shorter than 8 bytes, no signature matches or its decoder fails.
std::int32_t loadPicture(const std::string& fileName);

// Puts an already decoded picture into the store under a fresh id (benchmarks and tests build
// pictures in memory this way).
std::int32_t addPicture(Picture picture);

// Removes the picture; an id that names no live picture changes nothing.
void unloadPicture(std::int32_t id);

bool isPictureLoaded(std::int32_t id);

// 0 x 0 for an id that names no live picture.
PictureSize getPictureSize(std::int32_t id);

// The live picture's pixels in drawable form; nothing for an id that names no live picture.
std::optional<DrawSource> renderPicture(std::int32_t id);

// The alpha blend over white of a Png pixel channel c with alpha a: with f the single-precision
// number nearest to 1/255 times a, the integer part of c * f + 255 * (1 - f) in double precision.
std::uint8_t blendOverWhite(std::uint8_t channel, std::uint8_t alpha);
