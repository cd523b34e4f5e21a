#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Builds PCX files in memory for the decoder tests.

struct PcxFile {
    std::uint8_t version = 5;
    std::uint8_t encoding = 1;
    std::uint8_t bitsPerPixel = 8;
    std::uint8_t planes = 1;
    std::int16_t xmin = 0;
    std::int16_t ymin = 0;
    std::int16_t xmax = 0;
    std::int16_t ymax = 0;
    std::uint16_t bytesPerLine = 0;
    std::vector<std::uint32_t> headerPalette; // up to 16 entries 0xRRGGBB at bytes 16..63
    // The uncompressed lines, one after another: rows top first, in each row the planes' lines of
    // bytesPerLine bytes. The writer codes them as one run-length stream (runs cross line ends).
    std::vector<std::uint8_t> lines;
    bool runsCrossLines = true;
    std::optional<std::vector<std::uint32_t>> palette; // 256 entries 0xRRGGBB after the 0C marker
    std::vector<std::uint8_t> gapBeforePalette;        // bytes between the image data and the marker
};

// The run-length coding of the bytes: runs of up to 63, and single values above C0 as runs of 1.
std::vector<std::uint8_t> pcxRunLength(const std::vector<std::uint8_t>& bytes);

std::vector<std::uint8_t> writePcx(const PcxFile& pcx);
