#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Builds ICO and CUR files in memory for the decoder tests.

// A bitmap icon image: information header with the height doubled, colour table, colour rows and
// 1-bit mask rows, both bottom row first and padded to 4 bytes.
struct IconBitmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 8;
    std::vector<std::uint32_t> table; // 0xRRGGBB entries, written as blue, green, red, 0
    std::uint32_t coloursUsed = 0;    // the header field; 0 means 2^bitsPerPixel entries
    // Top row first: indices for 1, 4 and 8 bits, 0xRRGGBB for 24, 0xAARRGGBB for 32.
    std::vector<std::uint32_t> pixels;
    std::vector<std::uint8_t> mask; // width * height, non-zero = transparent; empty: all opaque
    bool withMask = true;
    std::optional<std::int32_t> heightField; // replaces 2 * height in the header
    std::optional<std::int32_t> widthField;  // replaces width in the header
};

std::vector<std::uint8_t> iconBitmap(const IconBitmap& bitmap);

struct IconEntry {
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t colourCount = 0;
    std::uint16_t planes = 1;   // hotspot x in a CUR
    std::uint16_t bitCount = 0; // hotspot y in a CUR
    std::vector<std::uint8_t> data;
    std::optional<std::uint32_t> sizeField;   // replaces data.size()
    std::optional<std::uint32_t> offsetField; // replaces where the writer puts the data
};

// Header, directory, then each entry's data in order. type 1 is ICO, 2 is CUR.
std::vector<std::uint8_t> writeIconFile(std::uint16_t type, const std::vector<IconEntry>& entries);
