#include "display/decoders.h"

std::optional<Picture> decodeGif(std::span<const std::uint8_t>)
{
    return std::nullopt;
}
