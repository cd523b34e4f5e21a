#include "display/decoders.h"

std::optional<Picture> decodeJpeg(std::span<const std::uint8_t>)
{
    return std::nullopt;
}
