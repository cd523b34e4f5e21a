#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Builds BMP files for the decoder tests, well-formed or deliberately not.
struct BmpFixture {
    std::uint16_t bitsPerPixel = 24;
    std::int32_t width = 1;
    std::int32_t height = 1;
    bool topDown = false; // writes the height field negative, rows top first
    // Written into the size field; the header takes max(40, size) bytes, zero beyond the first 40.
    std::uint32_t infoHeaderSize = 40;
    std::uint32_t compression = 0;
    // Written as the colour table, 0x00RRGGBB each.
    std::vector<std::uint32_t> palette;
    // The colours-used field; the palette's length when not given.
    std::optional<std::uint32_t> coloursUsed;
    // Top row first: colour indices for 1, 4 and 8 bits, 0x00RRGGBB for 24 and 32 bits. Missing
    // values are written as 0.
    std::vector<std::uint32_t> pixels;
    // Leaves out the padding after the last row in the file.
    bool omitLastPadding = false;
    // The pixel-data offset field. When not given it is where the rows start; when given and past
    // that point, zero bytes fill the gap; when before it, the rows still start where they would.
    std::optional<std::uint32_t> dataOffset;
    // Replace the width and height fields as written (a height of INT32_MIN, a width of 0).
    std::optional<std::int32_t> widthField;
    std::optional<std::int32_t> heightField;
};

std::vector<std::uint8_t> writeBmp(const BmpFixture& fixture);
