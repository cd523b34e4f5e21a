#include "display/scaler.h"

#include <algorithm>
#include <vector>

namespace {

// One target column's (or row's) share of the picture: in units where a picture pixel is `dest`
// long and a target pixel `source` long, target pixel i covers [i * source, (i + 1) * source) and
// picture pixel s covers [s * dest, (s + 1) * dest). Their overlap is the weight of s in i; the
// weights of one target pixel add up to `source`.
struct Span {
    std::int64_t first; // first picture pixel covered
    std::int64_t last;  // last picture pixel covered
    std::int64_t firstWeight;
    std::int64_t lastWeight; // equal to firstWeight's partner when first == last
};

Span spanOf(std::int64_t i, std::int64_t sourceLength, std::int64_t destLength)
{
    const std::int64_t begin = i * sourceLength;
    const std::int64_t end = begin + sourceLength;
    Span span;
    span.first = begin / destLength;
    span.last = (end - 1) / destLength;
    if (span.first == span.last) {
        span.firstWeight = span.lastWeight = sourceLength;
    } else {
        span.firstWeight = (span.first + 1) * destLength - begin;
        span.lastWeight = end - span.last * destLength;
    }
    return span;
}

std::int64_t weightOf(const Span& span, std::int64_t s, std::int64_t destLength)
{
    if (s == span.first) {
        return span.firstWeight;
    }
    if (s == span.last) {
        return span.lastWeight;
    }
    return destLength;
}

std::uint32_t channelOf(std::uint32_t pixel, int shift)
{
    return (pixel >> shift) & 0xFF;
}

// The colour a picture pixel contributes, Png blend applied.
std::uint32_t drawnColour(const DrawSource& source, std::uint32_t pixel)
{
    if (source.mode != DrawMode::BlendOverWhite) {
        return pixel | 0xFF000000u;
    }
    const auto alpha = std::uint8_t(pixel >> 24);
    if (alpha == 255) {
        return pixel;
    }
    return opaquePixel(blendOverWhite(std::uint8_t(pixel >> 16), alpha),
                       blendOverWhite(std::uint8_t(pixel >> 8), alpha),
                       blendOverWhite(std::uint8_t(pixel), alpha));
}

bool transparentAt(const DrawSource& source, std::size_t index)
{
    return source.mode == DrawMode::Masked && source.mask != nullptr && source.mask[index] != 0;
}

struct Visible {
    std::int64_t begin; // first target coordinate drawn
    std::int64_t end;   // one past the last
};

Visible visibleRange(std::int64_t origin, std::int64_t length, std::int64_t targetLength)
{
    const std::int64_t begin = std::max<std::int64_t>(origin, 0);
    const std::int64_t end = std::min<std::int64_t>(origin + length, targetLength);
    return {begin, std::max(begin, end)};
}

void drawAverage(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                 std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const std::int64_t pw = source.width;
    const std::int64_t ph = source.height;
    std::vector<Span> columns;
    columns.reserve(std::size_t(xs.end - xs.begin));
    for (std::int64_t x = xs.begin; x < xs.end; ++x) {
        columns.push_back(spanOf(x - left, pw, destWidth));
    }
    using Wide = unsigned __int128;
    const Wide total = Wide(pw) * Wide(ph);
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        const Span row = spanOf(y - top, ph, destHeight);
        std::uint32_t* out = target.pixels + y * target.stride;
        for (std::int64_t x = xs.begin; x < xs.end; ++x) {
            const Span& column = columns[std::size_t(x - xs.begin)];
            Wide sums[3] = {0, 0, 0};
            Wide covered = 0;
            for (std::int64_t t = row.first; t <= row.last; ++t) {
                const std::int64_t wy = weightOf(row, t, destHeight);
                const std::uint32_t* line = source.pixels + t * pw;
                for (std::int64_t s = column.first; s <= column.last; ++s) {
                    if (transparentAt(source, std::size_t(t * pw + s))) {
                        continue;
                    }
                    const Wide w = Wide(wy) * Wide(weightOf(column, s, destWidth));
                    const std::uint32_t colour = drawnColour(source, line[s]);
                    sums[0] += w * channelOf(colour, 16);
                    sums[1] += w * channelOf(colour, 8);
                    sums[2] += w * channelOf(colour, 0);
                    covered += w;
                }
            }
            if (covered == 0) {
                continue;
            }
            // Transparent parts of the covered area keep the target's colour.
            const std::uint32_t under = out[x];
            const Wide uncovered = total - covered;
            std::uint32_t result = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const int shift = 16 - 8 * c;
                const Wide sum = sums[c] + uncovered * channelOf(under, shift);
                result |= std::uint32_t((sum + total / 2) / total) << shift;
            }
            out[x] = result;
        }
    }
}

void drawNearest(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                 std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const std::int64_t pw = source.width;
    const std::int64_t ph = source.height;
    std::vector<std::int64_t> columns;
    columns.reserve(std::size_t(xs.end - xs.begin));
    for (std::int64_t x = xs.begin; x < xs.end; ++x) {
        // The picture pixel under the centre of target pixel i: floor((i + 1/2) * pw / destWidth).
        const auto i = std::uint64_t(x - left);
        columns.push_back(std::int64_t((2 * i + 1) * std::uint64_t(pw) / (2 * std::uint64_t(destWidth))));
    }
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        const auto j = std::uint64_t(y - top);
        const auto t = std::int64_t((2 * j + 1) * std::uint64_t(ph) / (2 * std::uint64_t(destHeight)));
        std::uint32_t* out = target.pixels + y * target.stride;
        for (std::int64_t x = xs.begin; x < xs.end; ++x) {
            const std::int64_t s = columns[std::size_t(x - xs.begin)];
            const std::size_t index = std::size_t(t * pw + s);
            if (!transparentAt(source, index)) {
                out[x] = drawnColour(source, source.pixels[index]);
            }
        }
    }
}

} // namespace

void drawScaled(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                std::int64_t destWidth, std::int64_t destHeight, ScaleQuality quality)
{
    if (destWidth <= 0 || destHeight <= 0 || source.width <= 0 || source.height <= 0 ||
        source.pixels == nullptr) {
        return;
    }
    const Visible xs = visibleRange(left, destWidth, target.width);
    const Visible ys = visibleRange(top, destHeight, target.height);
    if (xs.begin >= xs.end || ys.begin >= ys.end) {
        return;
    }
    if (quality == ScaleQuality::areaAverage) {
        drawAverage(source, target, left, top, destWidth, destHeight, xs, ys);
    } else {
        drawNearest(source, target, left, top, destWidth, destHeight, xs, ys);
    }
}
