#pragma once

#include "display/picture.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Shared body of the fuzz entry points: a picture that decodes is put into the store and drawn onto
// a small canvas shrunk, at its own size and enlarged, so the drawing paths see every decoded
// picture too; then it is unloaded.
void drawAtSeveralScales(std::optional<Picture> picture);

// Every entry point keeps its input small enough that one run stays quick.
constexpr std::size_t maxFuzzInputBytes = std::size_t(1) << 20;
