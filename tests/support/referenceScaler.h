#pragma once

#include "display/pictureStore.h"

#include <cstdint>
#include <vector>

// A slow, plain model of drawing a picture scaled, for comparing the fast scaler against.
//
// Area average: target pixel (x, y) covers the picture rectangle [i * pw / dw, (i + 1) * pw / dw) x
// [j * ph / dh, (j + 1) * ph / dh) in picture pixels (i = x - left, j = y - top); every picture pixel
// it touches counts with the area of the overlap, in double precision. A transparent (masked) pixel
// counts with the target's own colour instead. Png pixels are blended over white first.
// Nearest: the picture pixel under the target pixel's centre.
//
// target holds targetWidth x targetHeight words 0xFFRRGGBB, rows packed; pixels outside the drawn
// rectangle stay as they were.
struct ReferenceTarget {
    std::vector<std::uint32_t> pixels;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

void referenceDrawScaled(const DrawSource& source, ReferenceTarget& target, std::int64_t left,
                         std::int64_t top, std::int64_t destWidth, std::int64_t destHeight, bool nearest);

// The colour a picture pixel is drawn in, before scaling: Png pixels blended over white.
std::uint32_t referenceDrawnColour(const DrawSource& source, std::uint32_t pixel);
