#pragma once

#include <cstdint>
#include <vector>

// Raw PNG building blocks for files no well-behaved writer would make, and the hostile files that
// vistrel-decode must refuse promptly and in little memory.

// A chunk: length, type, data, CRC over type and data.
std::vector<std::uint8_t> pngChunk(const char (&type)[5], const std::vector<std::uint8_t>& data);

struct PngHeader {
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint8_t bitDepth = 8;
    std::uint8_t colourType = 6; // 8-bit RGBA
    std::uint8_t interlace = 0;
};

// Signature, IHDR, one IDAT per element of idats, IEND.
std::vector<std::uint8_t> rawPng(const PngHeader& header,
                                 const std::vector<std::vector<std::uint8_t>>& idats);

// The zlib stream of data at the highest compression.
std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data);

// The zlib stream of count zero bytes (built in slices, so count may be many gigabytes).
std::vector<std::uint8_t> zlibZeros(std::uint64_t count);

// The hostile files of the resource check:
// a 65535 x 65535 RGBA PNG header followed by 200 bytes of image data;
std::vector<std::uint8_t> hugePngHeaderFile();
// a PNG of the given size whose image data inflates to inflatedBytes (2 GiB in the check);
std::vector<std::uint8_t> pngBombFile(std::uint32_t width, std::uint32_t height, std::uint64_t inflatedBytes);
// a GIF whose blocks are that many empty comment extensions, then the trailer (no image);
std::vector<std::uint8_t> emptyExtensionsGifFile(std::uint32_t count);
// a JPEG of a start-of-image marker followed by that many empty comment markers.
std::vector<std::uint8_t> repeatedMarkersJpegFile(std::uint32_t count);
