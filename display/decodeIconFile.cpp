#include "display/decoders.h"

std::optional<Picture> decodeIconFile(std::span<const std::uint8_t>)
{
    return std::nullopt;
}
