#include "tests/support/referenceScaler.h"

#include <algorithm>
#include <cmath>

std::uint32_t referenceDrawnColour(const DrawSource& source, std::uint32_t pixel)
{
    if (source.mode != DrawMode::BlendOverWhite) {
        return pixel | 0xFF000000u;
    }
    const auto alpha = std::uint8_t(pixel >> 24);
    return opaquePixel(blendOverWhite(std::uint8_t(pixel >> 16), alpha),
                       blendOverWhite(std::uint8_t(pixel >> 8), alpha),
                       blendOverWhite(std::uint8_t(pixel), alpha));
}

namespace {

bool transparent(const DrawSource& source, std::int64_t index)
{
    return source.mode == DrawMode::Masked && source.mask != nullptr && source.mask[index] != 0;
}

std::uint32_t averageAt(const DrawSource& source, std::uint32_t under, std::int64_t i, std::int64_t j,
                        std::int64_t destWidth, std::int64_t destHeight)
{
    const double pw = source.width;
    const double ph = source.height;
    const double x0 = double(i) * pw / double(destWidth);
    const double x1 = double(i + 1) * pw / double(destWidth);
    const double y0 = double(j) * ph / double(destHeight);
    const double y1 = double(j + 1) * ph / double(destHeight);
    double sums[3] = {0, 0, 0};
    const auto firstX = std::int64_t(std::floor(x0));
    const auto firstY = std::int64_t(std::floor(y0));
    for (std::int64_t t = firstY; t < source.height && double(t) < y1; ++t) {
        const double wy = std::min(y1, double(t + 1)) - std::max(y0, double(t));
        if (wy <= 0) {
            continue;
        }
        for (std::int64_t s = firstX; s < source.width && double(s) < x1; ++s) {
            const double wx = std::min(x1, double(s + 1)) - std::max(x0, double(s));
            if (wx <= 0) {
                continue;
            }
            const std::int64_t index = t * source.width + s;
            const std::uint32_t colour =
                transparent(source, index) ? under : referenceDrawnColour(source, source.pixels[index]);
            for (int c = 0; c < 3; ++c) {
                sums[c] += wx * wy * double((colour >> (16 - 8 * c)) & 0xFF);
            }
        }
    }
    const double area = (x1 - x0) * (y1 - y0);
    std::uint32_t result = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        const double value = std::clamp(std::floor(sums[c] / area + 0.5), 0.0, 255.0);
        result |= std::uint32_t(value) << (16 - 8 * c);
    }
    return result;
}

std::uint32_t nearestAt(const DrawSource& source, std::uint32_t under, std::int64_t i, std::int64_t j,
                        std::int64_t destWidth, std::int64_t destHeight)
{
    const auto s = std::min<std::int64_t>(
        std::int64_t(std::floor((double(i) + 0.5) * source.width / double(destWidth))), source.width - 1);
    const auto t = std::min<std::int64_t>(
        std::int64_t(std::floor((double(j) + 0.5) * source.height / double(destHeight))), source.height - 1);
    const std::int64_t index = t * source.width + s;
    return transparent(source, index) ? under : referenceDrawnColour(source, source.pixels[index]);
}

} // namespace

void referenceDrawScaled(const DrawSource& source, ReferenceTarget& target, std::int64_t left,
                         std::int64_t top, std::int64_t destWidth, std::int64_t destHeight, bool nearest)
{
    if (destWidth <= 0 || destHeight <= 0 || source.width <= 0 || source.height <= 0) {
        return;
    }
    for (std::int64_t y = std::max<std::int64_t>(top, 0); y < std::min(top + destHeight, target.height);
         ++y) {
        for (std::int64_t x = std::max<std::int64_t>(left, 0); x < std::min(left + destWidth, target.width);
             ++x) {
            std::uint32_t& out = target.pixels[std::size_t(y * target.width + x)];
            out = nearest ? nearestAt(source, out, x - left, y - top, destWidth, destHeight)
                          : averageAt(source, out, x - left, y - top, destWidth, destHeight);
        }
    }
}
