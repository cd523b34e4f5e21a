#pragma once

#include "display/picture.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

using Decoder = std::function<std::optional<Picture>(std::span<const std::uint8_t>)>;

// Decodes every proper prefix of the file and expects each result to be a whole picture (pixels,
// and a mask if any, of width * height entries) or nothing. Run under AddressSanitizer it catches
// any read past the data.
void expectEveryTruncationWholeOrNothing(const std::vector<std::uint8_t>& file, const Decoder& decoder);

// Runs the decoder over every file of the shared picture corpus, whatever its kind, and expects a
// whole picture or nothing from each.
void expectWholeOrNothingOverCorpus(const std::string& corpusDir, const Decoder& decoder);

// The picture put into the store and drawn with drawPicture into a canvas of the given client size
// cleared to background (0xRRGGBB), at (0, 0) with the given size (-1: its own); the canvas's pixels.
std::vector<std::uint32_t> drawnPixels(Picture picture, std::int32_t canvasWidth, std::int32_t canvasHeight,
                                       std::uint32_t background, std::int32_t width = -1,
                                       std::int32_t height = -1, int displayDepth = 32);

// The picture's pixels as a vector, for whole-picture comparisons.
std::vector<std::uint32_t> pixelsOf(const Picture& picture);
std::vector<std::uint8_t> maskOf(const Picture& picture);
