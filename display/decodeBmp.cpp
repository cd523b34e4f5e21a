#include "display/decoders.h"

std::optional<Picture> decodeBmp(std::span<const std::uint8_t>)
{
    return std::nullopt;
}
