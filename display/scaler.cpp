#include "display/scaler.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <vector>

// How a picture is scaled onto a target.
//
// Geometry, along one axis. The picture has P pixels and is drawn D long. With g = gcd(P, D), measure
// lengths in units where a picture pixel is d = D / g long and a target pixel p = P / g long: both
// whole numbers, so every overlap between a picture pixel and a target pixel is a whole number too.
// Target pixel i covers [i p, (i + 1) p), picture pixel s covers [s d, (s + 1) d); the weights of one
// target pixel add up to p, and the weights of one target pixel in two dimensions to px * py, which is
// at most P * P' <= maxPicturePixels since p <= P.
//
// Only target pixels inside the target are ever visited: positions and sizes are 64-bit and every
// product of them is taken in 128 bits, so the cost follows the visible area whatever the zoom.
//
// Three ways to draw, all giving the true box average (each target pixel the average of the picture
// area it covers, every picture pixel weighted by its covered area), rounded to nearest:
// - enlarging (D >= P both ways): a target pixel touches at most two picture pixels each way. Weights
//   are taken in 1/4096 of a target pixel, which is within 1/8192 of the exact share: the result is
//   within 1 of the exact average. Rows that map to the same picture rows are computed once and
//   copied; at whole factors each row is a gather and at the identity a memcpy.
// - shrinking: separable and streamed. For each target row the picture rows it covers are summed,
//   weighted exactly, into one 32-bit accumulator per channel and picture column (each visible picture
//   pixel read once per target row that covers it, which is at most twice); then each target pixel
//   sums its accumulator columns, weighted exactly, and divides by px * py.
// - anything else (masks, which mix in the target's own colour, and sizes beyond the bounds above):
//   the exact per-pixel sum in 128 bits.

namespace {

using Wide = unsigned __int128;

struct Axis {
    std::uint64_t pictureUnit; // d: the length of one picture pixel
    std::uint64_t targetUnit;  // p: the length of one target pixel
};

Axis makeAxis(std::int64_t pictureLength, std::int64_t destLength)
{
    const std::uint64_t g = std::gcd(std::uint64_t(pictureLength), std::uint64_t(destLength));
    return {std::uint64_t(destLength) / g, std::uint64_t(pictureLength) / g};
}

// The picture pixels that target pixel i (counted from the drawn picture's edge) covers.
struct Cover {
    std::int64_t first;
    std::int64_t last;
    std::uint64_t firstWeight; // the overlap with `first`; p when first == last
    std::uint64_t lastWeight;  // the overlap with `last`; pixels between weigh d each
};

Cover coverOf(const Axis& axis, std::int64_t i)
{
    const Wide begin = Wide(std::uint64_t(i)) * axis.targetUnit;
    const Wide end = begin + axis.targetUnit;
    Cover cover;
    cover.first = std::int64_t(begin / axis.pictureUnit);
    cover.last = std::int64_t((end - 1) / axis.pictureUnit);
    if (cover.first == cover.last) {
        cover.firstWeight = cover.lastWeight = axis.targetUnit;
    } else {
        cover.firstWeight = std::uint64_t(Wide(cover.first + 1) * axis.pictureUnit - begin);
        cover.lastWeight = std::uint64_t(end - Wide(cover.last) * axis.pictureUnit);
    }
    return cover;
}

bool sameCover(const Cover& a, const Cover& b)
{
    return a.first == b.first && a.last == b.last && a.firstWeight == b.firstWeight &&
           a.lastWeight == b.lastWeight;
}

struct Visible {
    std::int64_t begin; // first target coordinate drawn
    std::int64_t end;   // one past the last
};

Visible visibleRange(std::int64_t origin, std::int64_t length, std::int64_t targetLength)
{
    const __int128 begin = std::max<__int128>(origin, 0);
    const __int128 end = std::min<__int128>(__int128(origin) + length, targetLength);
    return {std::int64_t(begin), std::int64_t(std::max(begin, end))};
}

// Scratch memory reused from draw to draw. Its size follows the visible part of the target (and,
// when shrinking, the picture columns behind it, a bounded multiple of it), never the scaled size.
template <typename T> T* scratch(std::vector<T>& buffer, std::size_t count)
{
    if (buffer.size() < count) {
        buffer.resize(count);
    }
    return buffer.data();
}

std::vector<std::int64_t> columnFirst;
std::vector<std::int64_t> columnLast;
std::vector<std::uint32_t> columnShare;
std::vector<std::uint64_t> columnWeights;
std::vector<std::uint32_t> drawnRow;
std::vector<std::uint32_t> accumulator;
std::vector<std::uint32_t> filteredRows;

// blendOverWhite for every alpha (high byte) and channel (low byte).
const std::uint8_t* blendTable()
{
    static const std::array<std::uint8_t, 65536> table = [] {
        std::array<std::uint8_t, 65536> t{};
        for (int alpha = 0; alpha < 256; ++alpha) {
            for (int channel = 0; channel < 256; ++channel) {
                t[std::size_t(alpha * 256 + channel)] =
                    blendOverWhite(std::uint8_t(channel), std::uint8_t(alpha));
            }
        }
        return t;
    }();
    return table.data();
}

// The colour a picture pixel is drawn in: Png pixels blended over white, every pixel opaque.
inline std::uint32_t drawnColour(DrawMode mode, const std::uint8_t* blend, std::uint32_t pixel)
{
    if (mode != DrawMode::BlendOverWhite || pixel >= 0xFF000000u) {
        return pixel | 0xFF000000u;
    }
    const std::uint8_t* row = blend + (pixel >> 24) * 256;
    return 0xFF000000u | std::uint32_t(row[(pixel >> 16) & 0xFF]) << 16 |
           std::uint32_t(row[(pixel >> 8) & 0xFF]) << 8 | row[pixel & 0xFF];
}

// Picture row t, columns [from, from + count), in drawn colours: the store's own words for opaque
// pictures (their alpha is always 0xFF), a converted copy for Png.
const std::uint32_t* drawnPictureRow(const DrawSource& source, std::int64_t t, std::int64_t from,
                                     std::int64_t count)
{
    const std::uint32_t* row = source.pixels + t * std::int64_t(source.width) + from;
    if (source.mode != DrawMode::BlendOverWhite) {
        return row;
    }
    std::uint32_t* out = scratch(drawnRow, std::size_t(count));
    const std::uint8_t* blend = blendTable();
    for (std::int64_t i = 0; i < count; ++i) {
        out[i] = drawnColour(DrawMode::BlendOverWhite, blend, row[i]);
    }
    return out;
}

// ---- enlarging ----

constexpr std::uint32_t shareOne = 4096; // a whole target pixel, in the fixed-point shares below

// Share of `first` in a target pixel, in 1/4096: round(firstWeight * 4096 / p), so within 1/8192 of
// the exact share; the second pixel gets the rest.
std::uint32_t shareOf(const Cover& cover, const Axis& axis)
{
    if (cover.first == cover.last) {
        return shareOne;
    }
    return std::uint32_t((Wide(cover.firstWeight) * shareOne + axis.targetUnit / 2) / axis.targetUnit);
}

// One picture row filtered across: per visible column and channel, share * first + (4096 - share) *
// second, at most 255 * 4096 < 2^20. Planar: blue, green, red after each other.
void filterRowAcross(const std::uint32_t* row, std::int64_t count, const std::int64_t* first,
                     const std::int64_t* second, const std::uint32_t* share, std::uint32_t* out)
{
    std::uint32_t* blue = out;
    std::uint32_t* green = out + count;
    std::uint32_t* red = out + 2 * count;
    for (std::int64_t k = 0; k < count; ++k) {
        const std::uint32_t a = row[first[k]];
        const std::uint32_t b = row[second[k]];
        const std::uint32_t s = share[k];
        const std::uint32_t r = shareOne - s;
        blue[k] = s * (a & 0xFF) + r * (b & 0xFF);
        green[k] = s * ((a >> 8) & 0xFF) + r * ((b >> 8) & 0xFF);
        red[k] = s * ((a >> 16) & 0xFF) + r * ((b >> 16) & 0xFF);
    }
}

void drawEnlarged(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                  std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const Axis axisX = makeAxis(source.width, destWidth);
    const Axis axisY = makeAxis(source.height, destHeight);
    const std::int64_t count = xs.end - xs.begin;
    std::int64_t* first = scratch(columnFirst, std::size_t(count));
    std::int64_t* second = scratch(columnLast, std::size_t(count));
    std::uint32_t* share = scratch(columnShare, std::size_t(count));
    bool wholeColumns = true;
    for (std::int64_t k = 0; k < count; ++k) {
        const Cover cover = coverOf(axisX, xs.begin + k - left);
        first[k] = cover.first;
        second[k] = cover.last;
        share[k] = shareOf(cover, axisX);
        wholeColumns = wholeColumns && share[k] == shareOne;
    }
    // Column indices relative to the first picture column seen, so that a row is read from there.
    const std::int64_t from = first[0];
    const std::int64_t span = second[count - 1] - from + 1;
    for (std::int64_t k = 0; k < count; ++k) {
        first[k] -= from;
        second[k] -= from;
    }
    const bool identity = destWidth == source.width;
    const std::uint8_t* blend = blendTable();

    // Two rows filtered across, kept by picture row: a row is filtered once however many target rows
    // use it.
    std::uint32_t* filtered = scratch(filteredRows, std::size_t(6 * count));
    std::int64_t filteredRow[2] = {-1, -1};
    auto filteredFor = [&](std::int64_t t) -> const std::uint32_t* {
        for (int slot = 0; slot < 2; ++slot) {
            if (filteredRow[slot] == t) {
                return filtered + slot * 3 * count;
            }
        }
        // Keep the slot of the row just below or above: neighbours are asked for in turn.
        const int slot = (filteredRow[0] == t - 1 || filteredRow[0] == t + 1) ? 1 : 0;
        filteredRow[slot] = t;
        filterRowAcross(drawnPictureRow(source, t, from, span), count, first, second, share,
                        filtered + slot * 3 * count);
        return filtered + slot * 3 * count;
    };

    Cover previous{-1, -1, 0, 0};
    std::uint32_t* previousOut = nullptr;
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        std::uint32_t* out = target.pixels + y * target.stride + xs.begin;
        const Cover rows = coverOf(axisY, y - top);
        if (previousOut != nullptr && sameCover(rows, previous)) {
            std::memcpy(out, previousOut, std::size_t(count) * 4);
            previousOut = out;
            continue;
        }
        previous = rows;
        previousOut = out;
        const std::uint32_t rowShare = shareOf(rows, axisY);
        if (rowShare == shareOne && wholeColumns) {
            // One picture row, whole pixels across: a gather, or at the identity a copy.
            const std::uint32_t* row = source.pixels + rows.first * std::int64_t(source.width) + from;
            if (identity && source.mode == DrawMode::Opaque) {
                std::memcpy(out, row, std::size_t(count) * 4);
            } else if (source.mode == DrawMode::Opaque) {
                for (std::int64_t k = 0; k < count; ++k) {
                    out[k] = row[first[k]] | 0xFF000000u;
                }
            } else {
                for (std::int64_t k = 0; k < count; ++k) {
                    out[k] = drawnColour(source.mode, blend, row[first[k]]);
                }
            }
            continue;
        }
        // rowShare * upper + (4096 - rowShare) * lower <= 255 * 4096^2 < 2^32, rounded at 2^23.
        const std::uint32_t* upper = filteredFor(rows.first);
        const std::uint32_t* lower = rows.last == rows.first ? upper : filteredFor(rows.last);
        const std::uint32_t upperShare = rowShare;
        const std::uint32_t lowerShare = shareOne - rowShare;
        for (std::int64_t k = 0; k < count; ++k) {
            const std::uint32_t blue = (upperShare * upper[k] + lowerShare * lower[k] + (1u << 23)) >> 24;
            const std::uint32_t green =
                (upperShare * upper[count + k] + lowerShare * lower[count + k] + (1u << 23)) >> 24;
            const std::uint32_t red =
                (upperShare * upper[2 * count + k] + lowerShare * lower[2 * count + k] + (1u << 23)) >> 24;
            out[k] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
}

// ---- shrinking ----

// Limits of the shrinking path: accumulators of 255 * py fit 32 bits, and the picture columns behind
// the visible target columns are a bounded multiple of them.
constexpr std::uint64_t maxAccumulatedUnit = 0xFFFFFFFFu / 255;
constexpr std::int64_t maxPictureColumnsPerTarget = 256;

bool shrinkFits(const DrawSource& source, std::int64_t destWidth, std::int64_t destHeight, Visible xs)
{
    const Axis axisY = makeAxis(source.height, destHeight);
    if (axisY.targetUnit > maxAccumulatedUnit) {
        return false;
    }
    const Axis axisX = makeAxis(source.width, destWidth);
    const Wide columns = Wide(xs.end - xs.begin + 1) * axisX.targetUnit / axisX.pictureUnit + 2;
    return columns <= Wide(xs.end - xs.begin + 1) * maxPictureColumnsPerTarget;
}

// acc[i] (+)= weight * bytes[i] over the 4 bytes of each pixel (the alpha lane is summed and unused).
// The hot loop of shrinking: plain enough for the compiler to vectorise, built for AVX2 as well where
// the processor has it.
template <typename Sum>
__attribute__((target_clones("avx2", "default"))) void
accumulateRow(const std::uint32_t* row, std::int64_t pixels, std::uint32_t weight, bool firstRow, Sum* acc)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(row);
    const std::int64_t n = 4 * pixels;
    const auto w = Sum(weight);
    if (firstRow) {
        for (std::int64_t i = 0; i < n; ++i) {
            acc[i] = Sum(w * bytes[i]);
        }
    } else if (weight == 1) {
        for (std::int64_t i = 0; i < n; ++i) {
            acc[i] = Sum(acc[i] + bytes[i]);
        }
    } else {
        for (std::int64_t i = 0; i < n; ++i) {
            acc[i] = Sum(acc[i] + w * bytes[i]);
        }
    }
}

// Four 32-bit lanes, one per byte of a pixel (blue, green, red, alpha).
typedef std::uint32_t Lanes __attribute__((vector_size(16)));
typedef float FloatLanes __attribute__((vector_size(16)));
typedef std::uint16_t NarrowLanes __attribute__((vector_size(8)));

inline Lanes loadLanes(const std::uint32_t* acc)
{
    Lanes v;
    std::memcpy(&v, acc, sizeof v);
    return v;
}

inline Lanes loadLanes(const std::uint16_t* acc)
{
    NarrowLanes v;
    std::memcpy(&v, acc, sizeof v);
    return __builtin_convertvector(v, Lanes);
}

// Each target pixel's accumulator columns, first[k]..last[k], all of weight 1, summed and divided by
// total (<= maxAccumulatedUnit, so the sums fit 32 bits) with rounding.
template <typename Sum>
__attribute__((target_clones("avx2", "default"))) void
sumWholeColumns(const Sum* acc, const std::int64_t* first, const std::int64_t* last, std::int64_t count,
                std::uint32_t total, std::uint32_t* out)
{
    const bool powerOfTwo = (total & (total - 1)) == 0;
    const Lanes shift = Lanes{} + std::uint32_t(__builtin_ctz(total));
    const Lanes half = Lanes{} + total / 2;
    const FloatLanes inverse = FloatLanes{} + 1.0f / float(total);
    for (std::int64_t k = 0; k < count; ++k) {
        Lanes sum = loadLanes(acc + 4 * first[k]);
        for (std::int64_t s = first[k] + 1; s <= last[k]; ++s) {
            sum += loadLanes(acc + 4 * s);
        }
        // Through a single-precision reciprocal the quotient (at most 255) may be off by one at an
        // exact half, within the 1 that rounding allows.
        const Lanes value =
            powerOfTwo
                ? (sum + half) >> shift
                : __builtin_convertvector(__builtin_convertvector(sum, FloatLanes) * inverse + 0.5f, Lanes);
        out[k] = 0xFF000000u | std::min<std::uint32_t>(value[2], 255) << 16 |
                 std::min<std::uint32_t>(value[1], 255) << 8 | std::min<std::uint32_t>(value[0], 255);
    }
}

template <typename Sum>
void drawShrunk(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const Axis axisX = makeAxis(source.width, destWidth);
    const Axis axisY = makeAxis(source.height, destHeight);
    const std::int64_t count = xs.end - xs.begin;
    std::int64_t* first = scratch(columnFirst, std::size_t(count));
    std::int64_t* last = scratch(columnLast, std::size_t(count));
    std::uint64_t* weights = scratch(columnWeights, std::size_t(2 * count));
    for (std::int64_t k = 0; k < count; ++k) {
        const Cover cover = coverOf(axisX, xs.begin + k - left);
        first[k] = cover.first;
        last[k] = cover.last;
        weights[2 * k] = cover.firstWeight;
        weights[2 * k + 1] = cover.lastWeight;
    }
    const std::int64_t from = first[0];
    const std::int64_t span = last[count - 1] - from + 1;
    for (std::int64_t k = 0; k < count; ++k) {
        first[k] -= from;
        last[k] -= from;
    }
    Sum* acc = reinterpret_cast<Sum*>(scratch(accumulator, std::size_t(4 * span)));

    // Every target pixel's weights add up to total = px * py <= maxPicturePixels, so a weighted sum
    // is at most 255 * total < 2^36. When picture pixels are whole in x (d = 1, every weight 1) and
    // 255 * total fits 32 bits, the sums across stay in 32 bits.
    const std::uint64_t total = axisX.targetUnit * axisY.targetUnit;
    const bool wholeAcross = axisX.pictureUnit == 1 && total <= maxAccumulatedUnit;
    const double inverseTotal = 1.0 / double(total);
    const bool totalIsPowerOfTwo = (total & (total - 1)) == 0;
    const int totalShift = __builtin_ctzll(total);

    Cover previous{-1, -1, 0, 0};
    std::uint32_t* previousOut = nullptr;
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        std::uint32_t* out = target.pixels + y * target.stride + xs.begin;
        const Cover rows = coverOf(axisY, y - top);
        if (previousOut != nullptr && sameCover(rows, previous)) {
            std::memcpy(out, previousOut, std::size_t(count) * 4);
            previousOut = out;
            continue;
        }
        previous = rows;
        previousOut = out;
        // Down: acc = sum over the covered rows of weight * colour, at most 255 * py.
        for (std::int64_t t = rows.first; t <= rows.last; ++t) {
            const std::uint64_t weight = t == rows.first  ? rows.firstWeight
                                         : t == rows.last ? rows.lastWeight
                                                          : axisY.pictureUnit;
            accumulateRow(drawnPictureRow(source, t, from, span), span, std::uint32_t(weight),
                          t == rows.first, acc);
        }
        // Across: each target pixel's columns, weighted, divided by the total and rounded.
        if (wholeAcross) {
            sumWholeColumns(acc, first, last, count, std::uint32_t(total), out);
            continue;
        }
        for (std::int64_t k = 0; k < count; ++k) {
            std::uint64_t sum[3];
            {
                const std::uint64_t firstWeight = weights[2 * k];
                const std::uint64_t lastWeight = weights[2 * k + 1];
                const std::int64_t a = first[k];
                const std::int64_t b = last[k];
                for (int c = 0; c < 3; ++c) {
                    std::uint64_t inner = 0;
                    for (std::int64_t s = a + 1; s < b; ++s) {
                        inner += acc[4 * s + c];
                    }
                    sum[c] = firstWeight * acc[4 * a + c] + inner * axisX.pictureUnit +
                             (b != a ? lastWeight * acc[4 * b + c] : 0);
                }
            }
            std::uint32_t pixel = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                // The rounded quotient; through a double reciprocal it may come out one lower at an
                // exact half, well within the 1 that rounding allows.
                const std::uint64_t value = totalIsPowerOfTwo
                                                ? (sum[c] + total / 2) >> totalShift
                                                : std::uint64_t(double(sum[c]) * inverseTotal + 0.5);
                pixel |= std::uint32_t(std::min<std::uint64_t>(value, 255)) << (8 * c);
            }
            out[k] = pixel;
        }
    }
}

// ---- the exact sum per pixel ----

std::uint64_t weightOf(const Cover& cover, std::int64_t s, std::uint64_t pictureUnit)
{
    if (s == cover.first) {
        return cover.firstWeight;
    }
    if (s == cover.last) {
        return cover.lastWeight;
    }
    return pictureUnit;
}

bool transparentAt(const DrawSource& source, std::size_t index)
{
    return source.mode == DrawMode::Masked && source.mask != nullptr && source.mask[index] != 0;
}

void drawExact(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
               std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const std::int64_t pw = source.width;
    const Axis axisX = makeAxis(source.width, destWidth);
    const Axis axisY = makeAxis(source.height, destHeight);
    const Wide total = Wide(axisX.targetUnit) * axisY.targetUnit;
    const std::uint8_t* blend = blendTable();
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        const Cover rows = coverOf(axisY, y - top);
        std::uint32_t* out = target.pixels + y * target.stride;
        for (std::int64_t x = xs.begin; x < xs.end; ++x) {
            const Cover columns = coverOf(axisX, x - left);
            Wide sums[3] = {0, 0, 0};
            Wide covered = 0;
            for (std::int64_t t = rows.first; t <= rows.last; ++t) {
                const std::uint64_t wy = weightOf(rows, t, axisY.pictureUnit);
                const std::uint32_t* line = source.pixels + t * pw;
                for (std::int64_t s = columns.first; s <= columns.last; ++s) {
                    if (transparentAt(source, std::size_t(t * pw + s))) {
                        continue;
                    }
                    const Wide w = Wide(wy) * weightOf(columns, s, axisX.pictureUnit);
                    const std::uint32_t colour = drawnColour(source.mode, blend, line[s]);
                    sums[0] += w * ((colour >> 16) & 0xFF);
                    sums[1] += w * ((colour >> 8) & 0xFF);
                    sums[2] += w * (colour & 0xFF);
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
                const Wide sum = sums[c] + uncovered * ((under >> shift) & 0xFF);
                result |= std::uint32_t((sum + total / 2) / total) << shift;
            }
            out[x] = result;
        }
    }
}

// ---- nearest pixel ----

void drawNearest(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                 std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const std::int64_t pw = source.width;
    const std::int64_t count = xs.end - xs.begin;
    std::int64_t* columns = scratch(columnFirst, std::size_t(count));
    for (std::int64_t k = 0; k < count; ++k) {
        // The picture pixel under the centre of target pixel i: floor((2i + 1) * pw / (2 * destWidth)).
        const Wide i = std::uint64_t(xs.begin + k - left);
        columns[k] = std::int64_t((2 * i + 1) * std::uint64_t(pw) / (2 * Wide(std::uint64_t(destWidth))));
    }
    const std::uint8_t* blend = blendTable();
    const bool masked = source.mode == DrawMode::Masked && source.mask != nullptr;
    std::int64_t previousRow = -1;
    std::uint32_t* previousOut = nullptr;
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        const Wide j = std::uint64_t(y - top);
        const auto t =
            std::int64_t((2 * j + 1) * std::uint64_t(source.height) / (2 * Wide(std::uint64_t(destHeight))));
        std::uint32_t* out = target.pixels + y * target.stride + xs.begin;
        // A masked row depends on what lay under it, so only opaque rows are copied.
        if (!masked && t == previousRow) {
            std::memcpy(out, previousOut, std::size_t(count) * 4);
            previousOut = out;
            continue;
        }
        previousRow = t;
        previousOut = out;
        const std::uint32_t* line = source.pixels + t * pw;
        for (std::int64_t k = 0; k < count; ++k) {
            const std::int64_t s = columns[k];
            if (!masked || source.mask[std::size_t(t * pw + s)] == 0) {
                out[k] = drawnColour(source.mode, blend, line[s]);
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
    if (quality == ScaleQuality::nearest) {
        drawNearest(source, target, left, top, destWidth, destHeight, xs, ys);
    } else if (source.mode == DrawMode::Masked) {
        drawExact(source, target, left, top, destWidth, destHeight, xs, ys);
    } else if (destWidth >= source.width && destHeight >= source.height) {
        drawEnlarged(source, target, left, top, destWidth, destHeight, xs, ys);
    } else if (shrinkFits(source, destWidth, destHeight, xs)) {
        // Sums down are at most 255 * py: 16-bit accumulators halve the memory traffic when they fit.
        if (makeAxis(source.height, destHeight).targetUnit <= 0xFFFF / 255) {
            drawShrunk<std::uint16_t>(source, target, left, top, destWidth, destHeight, xs, ys);
        } else {
            drawShrunk<std::uint32_t>(source, target, left, top, destWidth, destHeight, xs, ys);
        }
    } else {
        drawExact(source, target, left, top, destWidth, destHeight, xs, ys);
    }
}
