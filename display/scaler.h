#pragma once

#include "display/pictureStore.h"

#include <cstddef>
#include <cstdint>

// A block of 0xFFRRGGBB words that a picture is drawn into; stride counts words.
struct PixelTarget {
    std::uint32_t* pixels = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;
};

enum class ScaleQuality {
    // Each target pixel is the true box average of the picture area it covers: every covered picture
    // pixel weighted by the area of it that the target pixel covers, rounded to nearest.
    areaAverage,
    // Each target pixel takes the picture pixel under its centre.
    nearest,
};

// Draws the whole picture scaled to destWidth x destHeight with its top-left corner at (left, top)
// of the target. Only target pixels inside the target are computed and written, so the cost follows
// the visible area whatever the scaled size. Png pixels are blended over white as they are sampled;
// masked pixels leave the target as it was (where a target pixel is partly covered by transparent
// picture pixels, the target's own colour takes their share of the average). Sizes <= 0 draw nothing.
void drawScaled(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                std::int64_t destWidth, std::int64_t destHeight, ScaleQuality quality);

// The scaler's own vector kernels use AVX2 where the processor has it and SSE2 otherwise; tests turn
// AVX2 off to check the SSE2 kernels on any machine.
void setScalerAvx2Allowed(bool allowed);
