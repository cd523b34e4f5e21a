#pragma once

#include <cstdint>
#include <vector>

// JPEG fixtures made with libjpeg's compressor, and the library's own decode to compare against.

struct JpegFixture {
    int width = 1;
    int height = 1;
    // 1 (grey), 3 (RGB) or 4 (CMYK, values as stored in the file).
    int components = 3;
    // width * height * components samples, top row first.
    std::vector<std::uint8_t> samples;
    int quality = 90;
    bool progressive = false;
    // With 4 components: whether the file carries Adobe's marker.
    bool adobeMarker = true;
};

std::vector<std::uint8_t> writeJpeg(const JpegFixture& fixture);

// The library's decode with its default parameters, through its own memory source (which also ends
// a short file with an end-of-image marker): width * height * output components samples. Empty
// (and width, height 0) when the library reports an error.
struct ReferenceJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> samples;
};
ReferenceJpeg referenceDecodeJpeg(const std::vector<std::uint8_t>& file);
