#include "display/decoders.h"

namespace {

std::uint32_t word(std::span<const std::uint8_t> b, std::size_t at)
{
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8;
}

struct Signature {
    bool (*matches)(std::span<const std::uint8_t> b);
    PictureKind kind;
};

// Tried in order; the first match decides.
constexpr Signature signatures[] = {
    {[](auto b) { return b[0] == 0x42 && b[1] == 0x4D; }, PictureKind::Bmp},
    {[](auto b) { return b[0] == 0xFF && b[1] == 0xD8; }, PictureKind::Jpeg},
    {[](auto b) { return b[0] == 0x89 && b[1] == 0x50 && b[2] == 0x4E && b[3] == 0x47; }, PictureKind::Png},
    {[](auto b) { return word(b, 0) == 0 && word(b, 2) == 1 && word(b, 4) > 0; }, PictureKind::Icon},
    {[](auto b) { return word(b, 0) == 0 && word(b, 2) == 2 && word(b, 4) > 0; }, PictureKind::Cursor},
    {[](auto b) {
         return b[0] == 0x47 && b[1] == 0x49 && b[2] == 0x46 && b[3] == 0x38 &&
                (b[4] == 0x37 || b[4] == 0x39) && b[5] == 0x61;
     },
     PictureKind::Gif},
    {[](auto b) { return b[0] == 0x0A && b[1] <= 5 && b[2] == 0x01 && b[3] == 0x08; }, PictureKind::Pcx8},
    {[](auto b) { return b[0] == 0x0A && b[1] == 0x03 && b[2] == 0x01 && b[3] == 0x01; }, PictureKind::Pcx1},
};

} // namespace

std::optional<PictureKind> detectPictureKind(std::span<const std::uint8_t> head)
{
    if (head.size() < 8) {
        return std::nullopt;
    }
    for (const Signature& signature : signatures) {
        if (signature.matches(head)) {
            return signature.kind;
        }
    }
    return std::nullopt;
}

std::optional<Picture> decodePicture(std::span<const std::uint8_t> file)
{
    auto kind = detectPictureKind(file);
    if (!kind) {
        return std::nullopt;
    }
    switch (*kind) {
    case PictureKind::Bmp:
        return decodeBmp(file);
    case PictureKind::Jpeg:
        return decodeJpeg(file);
    case PictureKind::Png:
        return decodePng(file);
    case PictureKind::Icon:
    case PictureKind::Cursor:
        return decodeIconFile(file);
    case PictureKind::Gif:
        return decodeGif(file);
    case PictureKind::Pcx8:
    case PictureKind::Pcx1:
        return decodePcx(file);
    }
    return std::nullopt;
}
