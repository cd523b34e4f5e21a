#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Builds GIF files in memory for the decoder tests, with an LZW encoder of its own.

struct LzwOptions {
    bool clearFirst = true;    // start the stream with a clear code
    bool clearWhenFull = true; // clear when the table reaches 4096 entries (else keep coding without adding)
    bool endCode = true;       // close the stream with the end code
};

// The LZW code stream of the colour indices, packed least significant bit first.
std::vector<std::uint8_t> lzwEncode(const std::vector<std::uint8_t>& indices, int minimumCodeSize,
                                    const LzwOptions& options = {});

// Packs codes of the given widths, least significant bit first (for hand-made streams).
struct LzwCode {
    std::uint32_t value;
    int bits;
};
std::vector<std::uint8_t> packCodes(const std::vector<LzwCode>& codes);

// The data as sub-blocks of at most blockSize bytes, closed by a zero-length block when terminate.
std::vector<std::uint8_t> subBlocks(const std::vector<std::uint8_t>& data, std::size_t blockSize = 255,
                                    bool terminate = true);

// An extension block: 21, the label, the sub-blocks, the terminator.
std::vector<std::uint8_t> extensionBlock(std::uint8_t label, const std::vector<std::uint8_t>& data);

struct GifImage {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint8_t> indices;     // width * height, top row first
    std::vector<std::uint32_t> localTable; // 0xRRGGBB; empty: none. Padded to a power of two.
    bool interlaced = false;               // the writer stores the rows in interlaced order
    int minimumCodeSize = 2;
    LzwOptions lzw;
    // Replaces the encoded stream when set (already packed codes, not yet in sub-blocks).
    std::optional<std::vector<std::uint8_t>> codeStream;
};

struct GifFile {
    std::uint16_t screenWidth = 0;
    std::uint16_t screenHeight = 0;
    std::vector<std::uint32_t> globalTable; // 0xRRGGBB; empty: none. Padded to a power of two.
    std::uint8_t backgroundIndex = 0;
    std::vector<std::uint8_t> blocksBefore; // raw blocks between the table and the image
    std::optional<GifImage> image;
    std::vector<std::uint8_t> blocksAfter; // raw blocks after the image, before the trailer
    bool trailer = true;
};

std::vector<std::uint8_t> writeGif(const GifFile& gif);
