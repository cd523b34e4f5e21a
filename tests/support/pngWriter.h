#pragma once

#include <cstdint>
#include <vector>

// Writes a PNG in memory through libpng's simplified writing interface. The pixels are words
// 0xAARRGGBB, top row first; withAlpha false writes an RGB file (alpha dropped).
std::vector<std::uint8_t> writePng(std::uint32_t width, std::uint32_t height,
                                   const std::vector<std::uint32_t>& argb, bool withAlpha = true);
