#include "display/decoders.h"

std::optional<Picture> decodePcx(std::span<const std::uint8_t>)
{
    return std::nullopt;
}
