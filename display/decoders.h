#pragma once

#include "display/picture.h"

#include <cstdint>
#include <optional>
#include <span>

// Each decoder takes the whole file, bytes in, and gives a whole picture or nothing: it opens no
// file, prints nothing, throws nothing and never keeps a partial result.

// The kind that a file's first 8 bytes announce; nothing when no signature matches or fewer than 8
// bytes are given.
std::optional<PictureKind> detectPictureKind(std::span<const std::uint8_t> head);

std::optional<Picture> decodeBmp(std::span<const std::uint8_t> file);
std::optional<Picture> decodeJpeg(std::span<const std::uint8_t> file);
std::optional<Picture> decodePng(std::span<const std::uint8_t> file);
std::optional<Picture> decodeGif(std::span<const std::uint8_t> file);
// ICO and CUR files alike; the kind of the result is Icon or Cursor by the file's type word.
std::optional<Picture> decodeIconFile(std::span<const std::uint8_t> file);
// Pcx8 or Pcx1 by the header.
std::optional<Picture> decodePcx(std::span<const std::uint8_t> file);

// detectPictureKind, then the decoder of that kind.
std::optional<Picture> decodePicture(std::span<const std::uint8_t> file);
