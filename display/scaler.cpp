#include "display/scaler.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <immintrin.h>
#include <numeric>
#include <type_traits>
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
//   are taken in 1/4096 of a target pixel, which is within 1/8192 of the exact share, and a row filtered
//   across keeps each channel to 1/128 in 16 bits: the result is within 1 of the exact average. Rows that map
//   to the same picture rows are computed once and copied; at whole factors each row is a gather and at the
//   identity a memcpy.
// - shrinking: separable and streamed. For each target row the picture rows it covers are summed,
//   weighted exactly, into one 32-bit accumulator per channel and picture column (each visible picture
//   pixel read once per target row that covers it, which is at most twice); then each target pixel
//   sums its accumulator columns, weighted exactly, and divides by px * py.
// - anything else (masks, which mix in the target's own colour, and sizes beyond the bounds above):
//   the exact per-pixel sum in 128 bits.

// The hot loops are also built for AVX2 and chosen when the processor has it. clang cannot clone
// templates, so its builds (the fuzzers) keep the baseline code alone.
#if defined(__clang__)
#define VISTREL_AVX2_CLONES
#else
#define VISTREL_AVX2_CLONES __attribute__((target_clones("avx2", "default")))
#endif

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
std::vector<std::uint16_t> filteredRows;
std::vector<std::uint32_t> rowSumsA;
std::vector<std::uint32_t> rowSumsB;
std::vector<std::uint64_t> wideAccumulator;

// Totals px * py whose sums (at most 255 * total) are below 2^31, so that they convert to single
// precision as signed numbers.
constexpr std::uint64_t narrowTotal = 0x7FFFFFFFu / 255;

bool avx2Allowed = true;

// The kernels written for both vector widths take AVX2 where the processor has it.
bool useAvx2()
{
    static const bool present = __builtin_cpu_supports("avx2");
    return present && avx2Allowed;
}

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

// One picture row filtered across into 16-bit lanes, four per target column (blue, green, red, alpha):
// (share * first + (4096 - share) * second) >> 5, at most 255 * 128 < 2^15, so a picture channel is
// kept to 1/128 (truncated: within 1/128 below the exact filter). sharePairs[k] = share | (4096 -
// share) << 16, the weights of pmaddwd.
void filterRowAcross(const std::uint32_t* row, std::int64_t count, const std::int64_t* first,
                     const std::int64_t* second, const std::uint32_t* sharePairs, std::uint16_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    auto filtered = [&](std::int64_t k) {
        const __m128i pair = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(row[first[k]])), _mm_cvtsi32_si128(int(row[second[k]]))),
            zero);
        return _mm_srli_epi32(_mm_madd_epi16(pair, _mm_set1_epi32(int(sharePairs[k]))), 5);
    };
    std::int64_t k = 0;
    for (; k + 2 <= count; k += 2) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * k),
                         _mm_packs_epi32(filtered(k), filtered(k + 1)));
    }
    if (k < count) {
        const __m128i last = filtered(k);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * k), _mm_packs_epi32(last, last));
    }
}

// Two filtered rows blended down: (upperShare * upper + (4096 - upperShare) * lower + 2^18) >> 19 per
// channel (pmaddwd: at most 255 * 128 * 4096 < 2^31). The error: 1/8192 of 255 for each share, 1/128
// from the filter across and 1/2 from rounding, below 1 in all.
void blendRowsDown(const std::uint16_t* upper, const std::uint16_t* lower, std::int64_t count,
                   std::uint32_t upperShare, std::uint32_t* out)
{
    const __m128i weights = _mm_set1_epi32(int(upperShare | (shareOne - upperShare) << 16));
    const __m128i half = _mm_set1_epi32(1 << 18);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    // Target pixels k and k + 1 as four 32-bit lanes each, packed into 16-bit lanes.
    auto twoPixels = [&](std::int64_t k) {
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + 4 * k));
        const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + 4 * k));
        const __m128i first =
            _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(u, l), weights), half), 19);
        const __m128i second =
            _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(u, l), weights), half), 19);
        return _mm_packs_epi32(first, second);
    };
    std::int64_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i packed = _mm_packus_epi16(twoPixels(k), twoPixels(k + 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_or_si128(packed, alpha));
    }
    for (; k < count; ++k) {
        const __m128i u = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(upper + 4 * k));
        const __m128i l = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lower + 4 * k));
        const __m128i value =
            _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(u, l), weights), half), 19);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(value, value), value);
        out[k] = std::uint32_t(_mm_cvtsi128_si32(packed)) | 0xFF000000u;
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
        const std::uint32_t ownShare = shareOf(cover, axisX);
        share[k] = ownShare | (shareOne - ownShare) << 16;
        wholeColumns = wholeColumns && ownShare == shareOne;
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
    std::uint16_t* filtered = scratch(filteredRows, std::size_t(8 * count));
    std::int64_t filteredRow[2] = {-1, -1};
    auto filteredFor = [&](std::int64_t t) -> const std::uint16_t* {
        for (int slot = 0; slot < 2; ++slot) {
            if (filteredRow[slot] == t) {
                return filtered + slot * 4 * count;
            }
        }
        // Keep the slot of the row just below or above: neighbours are asked for in turn.
        const int slot = (filteredRow[0] == t - 1 || filteredRow[0] == t + 1) ? 1 : 0;
        filteredRow[slot] = t;
        filterRowAcross(drawnPictureRow(source, t, from, span), count, first, second, share,
                        filtered + slot * 4 * count);
        return filtered + slot * 4 * count;
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
        const std::uint16_t* upper = filteredFor(rows.first);
        const std::uint16_t* lower = rows.last == rows.first ? upper : filteredFor(rows.last);
        blendRowsDown(upper, lower, count, rowShare, out);
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
VISTREL_AVX2_CLONES void accumulateRow(const std::uint32_t* row, std::int64_t pixels, std::uint32_t weight,
                                       bool firstRow, Sum* acc)
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

// The rounded quotients acc / total as pixels, where 255 * total < 2^31: through a single-precision
// reciprocal the quotient (at most 255, relative error below 2^-22) may come out one off at an exact
// half, within the 1 that rounding allows.
void divideNarrow(const std::uint32_t* acc, std::int64_t count, std::uint32_t total, std::uint32_t* out)
{
    const __m128 inverse = _mm_set1_ps(1.0f / float(total));
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    auto quotient = [&](std::int64_t k) {
        const __m128i sum = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + 4 * k));
        return _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(sum), inverse), half));
    };
    std::int64_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(quotient(k), quotient(k + 1)),
                                                _mm_packs_epi32(quotient(k + 2), quotient(k + 3)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_or_si128(packed, alpha));
    }
    for (; k < count; ++k) {
        const __m128i q = quotient(k);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
        out[k] = std::uint32_t(_mm_cvtsi128_si32(packed)) | 0xFF000000u;
    }
}

// The same for wide sums (up to 255 * total < 2^37): through a double reciprocal.
template <typename Sum>
void divideWide(const Sum* acc, std::int64_t count, std::uint64_t total, std::uint32_t* out)
{
    const double inverse = 1.0 / double(total);
    for (std::int64_t k = 0; k < count; ++k) {
        std::uint32_t pixel = 0xFF000000u;
        for (int c = 0; c < 3; ++c) {
            const auto value = std::uint64_t(double(acc[4 * k + c]) * inverse + 0.5);
            pixel |= std::uint32_t(std::min<std::uint64_t>(value, 255)) << (8 * c);
        }
        out[k] = pixel;
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

// Each target pixel's accumulator columns, first[k]..last[k], all of weight 1, summed into sums[4k..4k+3]
// (at most 255 * px * py <= 255 * maxAccumulatedUnit, so 32 bits hold them).
template <typename Sum>
VISTREL_AVX2_CLONES void sumWholeColumns(const Sum* acc, const std::int64_t* first, const std::int64_t* last,
                                         std::int64_t count, std::uint32_t* sums)
{
    for (std::int64_t k = 0; k < count; ++k) {
        Lanes sum = loadLanes(acc + 4 * first[k]);
        for (std::int64_t s = first[k] + 1; s <= last[k]; ++s) {
            sum += loadLanes(acc + 4 * s);
        }
        std::memcpy(sums + 4 * k, &sum, sizeof sum);
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
            std::uint32_t* sums = scratch(rowSumsA, std::size_t(4 * count));
            sumWholeColumns(acc, first, last, count, sums);
            if (total <= narrowTotal) {
                divideNarrow(sums, count, std::uint32_t(total), out);
            } else {
                divideWide(sums, count, total, out);
            }
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

// ---- shrinking, across then down ----
//
// Each visible picture row is read once: its pixels are summed across into one weighted sum per
// target column and channel (R = firstWeight * first + d * (the whole pixels between) + lastWeight *
// last, at most 255 * px, in 32 bits), and those row sums, weighted by the row's overlap wy, are
// added into the target row's accumulator (at most 255 * px * py = 255 * total). A picture row
// shared by two target rows is summed across once and kept for the second. The runs of whole pixels
// are summed in 16-bit vector lanes, so the cost per picture pixel is a load and an add.

// One target column: picture columns first..last (relative to the first one read), the outer two
// weighted, the ones between weighing d each. The weights are below 2^15 (pmaddwd takes them).
struct ColumnSpan {
    std::int32_t first;
    std::int32_t last;
    std::uint32_t weights; // firstWeight | lastWeight << 16; lastWeight 0 when first == last
    // Where every column covers 2 to 4 picture pixels: the weights of the pixel pairs at first and at
    // last - 1 (w0 | w1 << 16), which together weigh every covered pixel once.
    std::uint32_t pairAtFirst;
    std::uint32_t pairAtLast;
};

std::vector<ColumnSpan> columnSpans;
std::vector<std::uint32_t> columnQuadWeights; // 8 per column: see twoQuadSumsAvx2

constexpr std::uint64_t maxWeightAcross = 0x7FFF;

// The channel sums (blue, green, red, alpha in four 32-bit lanes) of `count` pixels, four (SSE2) or
// eight (AVX2) at a time in 16-bit lanes, each lane getting one byte per step and flushed to 32 bits
// every 256 steps (255 * 256 < 2^16).

// Two pixels' channels in 16-bit lanes (0..3 and 4..7) added into one pixel's in 32-bit lanes.
inline __m128i foldTwoPixels(__m128i words)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_add_epi32(_mm_unpacklo_epi16(words, zero), _mm_unpackhi_epi16(words, zero));
}

inline __m128i widenPixel(std::uint32_t pixel)
{
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(pixel)), zero), zero);
}

inline __m128i sumRunSse2(const std::uint32_t* pixels, std::int64_t count)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i total = zero;
    std::int64_t i = 0;
    while (count - i >= 4) {
        const std::int64_t end = i + std::min<std::int64_t>((count - i) / 4, 256) * 4;
        __m128i low = zero;
        __m128i high = zero;
        for (; i < end; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
            low = _mm_add_epi16(low, _mm_unpacklo_epi8(v, zero));
            high = _mm_add_epi16(high, _mm_unpackhi_epi8(v, zero));
        }
        total = _mm_add_epi32(total, _mm_add_epi32(foldTwoPixels(low), foldTwoPixels(high)));
    }
    for (; i < count; ++i) {
        total = _mm_add_epi32(total, widenPixel(pixels[i]));
    }
    return total;
}

__attribute__((target("avx2"))) inline __m128i sumRunAvx2(const std::uint32_t* pixels, std::int64_t count)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i total = zero;
    std::int64_t i = 0;
    while (count - i >= 8) {
        const std::int64_t end = i + std::min<std::int64_t>((count - i) / 8, 256) * 8;
        __m256i low = zero;
        __m256i high = zero;
        for (; i < end; i += 8) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixels + i));
            low = _mm256_add_epi16(low, _mm256_unpacklo_epi8(v, zero));
            high = _mm256_add_epi16(high, _mm256_unpackhi_epi8(v, zero));
        }
        const __m256i sum = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_unpacklo_epi16(low, zero), _mm256_unpackhi_epi16(low, zero)),
            _mm256_add_epi32(_mm256_unpacklo_epi16(high, zero), _mm256_unpackhi_epi16(high, zero)));
        total = _mm256_add_epi32(total, sum);
    }
    return _mm_add_epi32(_mm_add_epi32(_mm256_castsi256_si128(total), _mm256_extracti128_si256(total, 1)),
                         sumRunSse2(pixels + i, count - i));
}

// R of one target column: the outer pixels, their channels interleaved in 16-bit lanes, times their
// weights (pmaddwd), plus d times the whole pixels between.
inline __m128i outerSum(const std::uint32_t* row, const ColumnSpan& span)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i outer = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(row[span.first])), _mm_cvtsi32_si128(int(row[span.last]))),
        zero);
    return _mm_madd_epi16(outer, _mm_set1_epi32(int(span.weights)));
}

// d * sums in 32-bit lanes (the products fit: at most 255 * px).
inline __m128i timesUnit(__m128i sums, __m128i unit)
{
    const __m128i even = _mm_mul_epu32(sums, unit);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(sums, 32), unit);
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(even, odd), _mm_unpackhi_epi32(even, odd));
}

// One picture row summed across: sums[4k + c] = R of target column k, channel c (alpha unused).
// Two neighbouring pixels' channels interleaved in 16-bit lanes (blue, blue', green, green', ...) times
// the weights w0 | w1 << 16.
inline __m128i pairSum(const std::uint32_t* pixels, std::uint32_t weights)
{
    const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels));
    const __m128i interleaved =
        _mm_unpacklo_epi8(_mm_unpacklo_epi8(two, _mm_srli_si128(two, 4)), _mm_setzero_si128());
    return _mm_madd_epi16(interleaved, _mm_set1_epi32(int(weights)));
}

// A picture row summed across where every column covers 2 to 4 picture pixels: two weighted pairs.
void sumShortRowAcrossSse2(const std::uint32_t* row, const ColumnSpan* spans, std::int64_t count,
                           std::uint32_t* sums)
{
    for (std::int64_t k = 0; k < count; ++k) {
        const ColumnSpan span = spans[k];
        const __m128i sum = _mm_add_epi32(pairSum(row + span.first, span.pairAtFirst),
                                          pairSum(row + span.last - 1, span.pairAtLast));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * k), sum);
    }
}

// Columns k and k + 1 with AVX2, one per 128-bit half: four picture pixels from each column's first,
// their bytes interleaved into 16-bit lanes by pixel pairs (0 and 1, then 2 and 3; no shuffle crosses
// the halves) and multiplied with pmaddwd by quadWeights[8k..8k+15]: w0 | w1 << 16 for k, for k + 1,
// then w2 | w3 << 16 for k, for k + 1, each four times, zero beyond a column's last pixel. The
// products are at most 2 * 255 * 0x7FFF < 2^31 and a column's sum at most 255 * p.
__attribute__((target("avx2"))) inline __m256i
twoQuadSumsAvx2(const std::uint32_t* row, const ColumnSpan* spans, const std::uint32_t* quadWeights)
{
    const __m256i low = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1, 0, -1, 4, -1,
                                         1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i high = _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1, 8, -1,
                                          12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    const __m256i pixels = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(row + spans[1].first),
                                               reinterpret_cast<const __m128i*>(row + spans[0].first));
    const __m256i* weights = reinterpret_cast<const __m256i*>(quadWeights);
    return _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, low), _mm256_loadu_si256(weights)),
        _mm256_madd_epi16(_mm256_shuffle_epi8(pixels, high), _mm256_loadu_si256(weights + 1)));
}

// The same with AVX2 for the columns whose four pixels lie within the row (`wholeQuads` of them, a
// prefix since firsts only grow); the rest through the pairs.
__attribute__((target("avx2"))) void sumShortRowAcrossAvx2(const std::uint32_t* row, const ColumnSpan* spans,
                                                           const std::uint32_t* quadWeights,
                                                           std::int64_t wholeQuads, std::int64_t count,
                                                           std::uint32_t* sums)
{
    std::int64_t k = 0;
    for (; k + 2 <= wholeQuads; k += 2) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + 4 * k),
                            twoQuadSumsAvx2(row, spans + k, quadWeights + 8 * k));
    }
    sumShortRowAcrossSse2(row, spans + k, count - k, sums + 4 * k);
}

// One picture row of a shrink where columns cover 2 to 4 picture pixels and target rows at least two
// picture rows, with AVX2, its sums across kept in registers: acc (+)= weight * R for each column (R as
// in twoQuadSumsAvx2, at most 255 * p; acc at most 255 * total < 2^31, so the products and sums fit 32
// bits); where the row is shared with the next target row, nextAcc = nextWeight * R; and on the
// target row's last picture row, instead of storing acc, the rounded quotients acc / total go to out
// (through a single-precision reciprocal, as divideNarrow does).
struct ShortRowStep {
    std::uint32_t weight;
    bool firstRow;
    std::uint32_t* acc;
    std::uint32_t nextWeight; // 0: the next target row does not share this picture row
    std::uint32_t* nextAcc;
    std::uint32_t* out; // the target row on its last picture row, otherwise null
    float inverseTotal;
    const std::uint32_t* prefetchRow; // the next picture row's pixels from the same column, read ahead
};

// Built once for each combination of the step's first row, output and shared row, so that the loop
// carries no tests of them.
template <bool FirstRow, bool Finish, bool Share>
__attribute__((target("avx2"))) void
accumulateShortRowAvx2(const std::uint32_t* row, const ColumnSpan* spans, const std::uint32_t* quadWeights,
                       std::int64_t wholeQuads, std::int64_t count, const ShortRowStep& step)
{
    // Locals, so that the stores below do not make the compiler load the step again.
    std::uint32_t* const acc = step.acc;
    std::uint32_t* const nextAcc = step.nextAcc;
    std::uint32_t* const out = step.out;
    const std::uint32_t* const prefetchRow = step.prefetchRow;
    const __m256i weight = _mm256_set1_epi32(int(step.weight));
    const __m256i nextWeight = _mm256_set1_epi32(int(step.nextWeight));
    const __m256 inverse = _mm256_set1_ps(step.inverseTotal);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    std::int64_t k = 0;
    for (; k + 2 <= wholeQuads; k += 2) {
        _mm_prefetch(reinterpret_cast<const char*>(prefetchRow + spans[k].first), _MM_HINT_T0);
        const __m256i sum = twoQuadSumsAvx2(row, spans + k, quadWeights + 8 * k);
        __m256i value = _mm256_mullo_epi32(sum, weight);
        if constexpr (!FirstRow) {
            value =
                _mm256_add_epi32(value, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + 4 * k)));
        }
        if constexpr (Finish) {
            const __m256i q =
                _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(value), inverse), half));
            // Bytes of column k in the low half's first word, of k + 1 in the high half's.
            const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(q, q), q);
            const __m256i pixels = _mm256_permutevar8x32_epi32(_mm256_or_si256(packed, alpha),
                                                               _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm256_castsi256_si128(pixels));
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + 4 * k), value);
        }
        if constexpr (Share) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(nextAcc + 4 * k),
                                _mm256_mullo_epi32(sum, nextWeight));
        }
    }
    for (; k < count; ++k) {
        const ColumnSpan span = spans[k];
        const __m128i sum = _mm_add_epi32(pairSum(row + span.first, span.pairAtFirst),
                                          pairSum(row + span.last - 1, span.pairAtLast));
        __m128i value = _mm_mullo_epi32(sum, _mm256_castsi256_si128(weight));
        if constexpr (!FirstRow) {
            value = _mm_add_epi32(value, _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + 4 * k)));
        }
        if constexpr (Finish) {
            const __m128i q = _mm_cvttps_epi32(
                _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(value), _mm256_castps256_ps128(inverse)),
                           _mm256_castps256_ps128(half)));
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
            out[k] = std::uint32_t(_mm_cvtsi128_si32(packed)) | 0xFF000000u;
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(acc + 4 * k), value);
        }
        if constexpr (Share) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(nextAcc + 4 * k),
                             _mm_mullo_epi32(sum, _mm256_castsi256_si128(nextWeight)));
        }
    }
}

void accumulateShortRow(const std::uint32_t* row, const ColumnSpan* spans, const std::uint32_t* quadWeights,
                        std::int64_t wholeQuads, std::int64_t count, const ShortRowStep& step)
{
    const bool finish = step.out != nullptr;
    const bool share = step.nextAcc != nullptr;
    auto run = [&](auto first, auto fin, auto sh) {
        accumulateShortRowAvx2<decltype(first)::value, decltype(fin)::value, decltype(sh)::value>(
            row, spans, quadWeights, wholeQuads, count, step);
    };
    using Yes = std::true_type;
    using No = std::false_type;
    if (step.firstRow) {
        finish ? (share ? run(Yes{}, Yes{}, Yes{}) : run(Yes{}, Yes{}, No{}))
               : (share ? run(Yes{}, No{}, Yes{}) : run(Yes{}, No{}, No{}));
    } else {
        finish ? (share ? run(No{}, Yes{}, Yes{}) : run(No{}, Yes{}, No{}))
               : (share ? run(No{}, No{}, Yes{}) : run(No{}, No{}, No{}));
    }
}

void sumRowAcrossSse2(const std::uint32_t* row, const ColumnSpan* spans, std::int64_t count,
                      std::uint32_t pictureUnit, std::uint32_t* sums)
{
    const __m128i unit = _mm_set1_epi32(int(pictureUnit));
    for (std::int64_t k = 0; k < count; ++k) {
        const ColumnSpan span = spans[k];
        __m128i sum = outerSum(row, span);
        if (span.last - span.first > 1) {
            sum = _mm_add_epi32(
                sum, timesUnit(sumRunSse2(row + span.first + 1, span.last - span.first - 1), unit));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * k), sum);
    }
}

__attribute__((target("avx2"))) void sumRowAcrossAvx2(const std::uint32_t* row, const ColumnSpan* spans,
                                                      std::int64_t count, std::uint32_t pictureUnit,
                                                      std::uint32_t* sums)
{
    const __m128i unit = _mm_set1_epi32(int(pictureUnit));
    for (std::int64_t k = 0; k < count; ++k) {
        const ColumnSpan span = spans[k];
        __m128i sum = outerSum(row, span);
        if (span.last - span.first > 1) {
            sum = _mm_add_epi32(
                sum, _mm_mullo_epi32(sumRunAvx2(row + span.first + 1, span.last - span.first - 1), unit));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * k), sum);
    }
}

void sumRowAcross(const std::uint32_t* row, const ColumnSpan* spans, std::int64_t count,
                  std::uint32_t pictureUnit, std::uint32_t* sums)
{
    if (useAvx2()) {
        sumRowAcrossAvx2(row, spans, count, pictureUnit, sums);
    } else {
        sumRowAcrossSse2(row, spans, count, pictureUnit, sums);
    }
}

// acc (+)= weight * sums over 4 * count lanes.
template <typename Sum>
VISTREL_AVX2_CLONES void addWeighted(const std::uint32_t* sums, std::int64_t lanes, std::uint32_t weight,
                                     bool firstRow, Sum* acc)
{
    if (firstRow) {
        for (std::int64_t i = 0; i < lanes; ++i) {
            acc[i] = Sum(weight) * sums[i];
        }
    } else {
        for (std::int64_t i = 0; i < lanes; ++i) {
            acc[i] += Sum(weight) * sums[i];
        }
    }
}

void sumShortRowAcross(const std::uint32_t* row, const ColumnSpan* spans, const std::uint32_t* quadWeights,
                       std::int64_t wholeQuads, std::int64_t count, std::uint32_t* sums)
{
    if (useAvx2()) {
        sumShortRowAcrossAvx2(row, spans, quadWeights, wholeQuads, count, sums);
    } else {
        sumShortRowAcrossSse2(row, spans, count, sums);
    }
}

bool acrossFirstFits(const DrawSource& source, std::int64_t destWidth, std::int64_t destHeight)
{
    const Axis axisX = makeAxis(source.width, destWidth);
    const Axis axisY = makeAxis(source.height, destHeight);
    return std::min(axisX.targetUnit, axisX.pictureUnit) <= maxWeightAcross &&
           axisX.targetUnit <= maxAccumulatedUnit && axisY.targetUnit <= 0xFFFFFFFFu;
}

template <typename Sum>
void drawShrunkAcrossFirst(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                           std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const Axis axisX = makeAxis(source.width, destWidth);
    const Axis axisY = makeAxis(source.height, destHeight);
    const std::int64_t count = xs.end - xs.begin;
    ColumnSpan* spans = scratch(columnSpans, std::size_t(count));
    std::uint32_t* quadWeights = scratch(columnQuadWeights, std::size_t(8 * count + 8));
    // Pairs take the middle weight d through pmaddwd as well.
    bool shortColumns = axisX.pictureUnit <= maxWeightAcross;
    const Cover firstCover = coverOf(axisX, xs.begin - left);
    const std::int64_t from = firstCover.first;
    for (std::int64_t k = 0; k < count; ++k) {
        const Cover cover = k == 0 ? firstCover : coverOf(axisX, xs.begin + k - left);
        const bool single = cover.first == cover.last;
        spans[k] = {std::int32_t(cover.first - from), std::int32_t(cover.last - from),
                    std::uint32_t(cover.firstWeight) | (single ? 0 : std::uint32_t(cover.lastWeight) << 16),
                    0, 0};
        const std::int64_t covered = cover.last - cover.first + 1;
        shortColumns = shortColumns && covered >= 2 && covered <= 4;
        if (shortColumns) {
            const auto firstWeight = std::uint32_t(cover.firstWeight);
            const auto lastWeight = std::uint32_t(cover.lastWeight);
            const auto unit = std::uint32_t(axisX.pictureUnit);
            spans[k].pairAtFirst = firstWeight | (covered == 2 ? lastWeight : unit) << 16;
            spans[k].pairAtLast = covered == 2 ? 0 : (covered == 3 ? 0 : unit) | lastWeight << 16;
            const std::uint32_t beyond = covered == 2   ? 0
                                         : covered == 3 ? lastWeight
                                                        : unit | lastWeight << 16;
            for (int lane = 0; lane < 4; ++lane) {
                quadWeights[8 * (k & ~1) + 4 * (k & 1) + lane] = spans[k].pairAtFirst;
                quadWeights[8 * (k & ~1) + 8 + 4 * (k & 1) + lane] = beyond;
            }
        }
    }
    const std::int64_t span = spans[count - 1].last + 1;
    std::int64_t wholeQuads = 0;
    while (wholeQuads < count && spans[wholeQuads].first + 4 <= span) {
        ++wholeQuads;
    }
    const auto lanes = std::size_t(4 * count);
    std::uint32_t* kept = scratch(rowSumsA, lanes); // the sums of picture row keptRow
    std::uint32_t* work = scratch(rowSumsB, lanes); // the sums of any other row
    std::int64_t keptRow = -1;
    Sum* acc;
    if constexpr (sizeof(Sum) == 4) {
        acc = scratch(accumulator, lanes);
    } else {
        acc = scratch(wideAccumulator, lanes);
    }
    const std::uint64_t total = axisX.targetUnit * axisY.targetUnit;

    if constexpr (sizeof(Sum) == 4) {
        // Shrinking down as well (every target row covers at least two picture rows), columns of 2 to
        // 4 pixels: each picture row goes straight into one or two accumulators, the last one out as
        // pixels.
        if (shortColumns && axisY.targetUnit > axisY.pictureUnit && useAvx2()) {
            std::uint32_t* nextAcc = work;
            bool begun = false; // acc already holds the first picture row of this target row
            for (std::int64_t y = ys.begin; y < ys.end; ++y) {
                const Cover rows = coverOf(axisY, y - top);
                const bool more = y + 1 < ys.end;
                const Cover next = more ? coverOf(axisY, y + 1 - top) : Cover{-1, -1, 0, 0};
                for (std::int64_t t = begun ? rows.first + 1 : rows.first; t <= rows.last; ++t) {
                    const bool shared = t == rows.last && more && next.first == t;
                    const ShortRowStep step{
                        std::uint32_t(t == rows.first  ? rows.firstWeight
                                      : t == rows.last ? rows.lastWeight
                                                       : axisY.pictureUnit),
                        t == rows.first,
                        acc,
                        shared ? std::uint32_t(next.firstWeight) : 0,
                        shared ? nextAcc : nullptr,
                        t == rows.last ? target.pixels + y * target.stride + xs.begin : nullptr,
                        1.0f / float(total),
                        source.pixels + std::min<std::int64_t>(t + 1, source.height - 1) * source.width +
                            from};
                    accumulateShortRow(drawnPictureRow(source, t, from, span), spans, quadWeights, wholeQuads,
                                       count, step);
                    begun = shared;
                }
                std::swap(acc, nextAcc);
            }
            return;
        }
    }

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
        for (std::int64_t t = rows.first; t <= rows.last; ++t) {
            const std::uint64_t weight = t == rows.first  ? rows.firstWeight
                                         : t == rows.last ? rows.lastWeight
                                                          : axisY.pictureUnit;
            const std::uint32_t* sums = kept;
            if (t != keptRow) {
                // The last row may be the next target row's first: keep its sums.
                if (t == rows.last) {
                    std::swap(kept, work);
                    keptRow = t;
                    sums = kept;
                } else {
                    sums = work;
                }
                const std::uint32_t* row = drawnPictureRow(source, t, from, span);
                if (shortColumns) {
                    sumShortRowAcross(row, spans, quadWeights, wholeQuads, count,
                                      const_cast<std::uint32_t*>(sums));
                } else {
                    sumRowAcross(row, spans, count, std::uint32_t(axisX.pictureUnit),
                                 const_cast<std::uint32_t*>(sums));
                }
            }
            addWeighted(sums, std::int64_t(lanes), std::uint32_t(weight), t == rows.first, acc);
        }
        if constexpr (sizeof(Sum) == 4) {
            divideNarrow(acc, count, std::uint32_t(total), out);
        } else {
            divideWide(acc, count, total, out);
        }
    }
}

// ---- halving ----
//
// Exactly half the size both ways: every target pixel is the plain average of a 2 x 2 block,
// (a + b + c + d + 2) >> 2 per channel, rounded to nearest like the box average.

// 2 x 2 blocks of rows r0 and r1 (2 * count pixels each) into count pixels, SSE2.
void halveRowsSse2(const std::uint32_t* r0, const std::uint32_t* r1, std::int64_t count, std::uint32_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    // Four picture pixels of each row into two target pixels in 16-bit lanes.
    auto pairs = [&](std::int64_t i) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + i));
        const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(low, high), _mm_unpackhi_epi64(low, high));
        return _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
    };
    std::int64_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128i packed = _mm_packus_epi16(pairs(2 * k), pairs(2 * k + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_or_si128(packed, alpha));
    }
    for (; k < count; ++k) {
        std::uint32_t pixel = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t sum = ((r0[2 * k] >> shift) & 0xFF) + ((r0[2 * k + 1] >> shift) & 0xFF) +
                                      ((r1[2 * k] >> shift) & 0xFF) + ((r1[2 * k + 1] >> shift) & 0xFF);
            pixel |= ((sum + 2) >> 2) << shift;
        }
        out[k] = pixel;
    }
}

// Eight picture pixels of rows r0 and r1 into four target pixels in 16-bit lanes: 0, 1 in the low
// half, 2, 3 in the high one.
__attribute__((target("avx2"))) inline __m256i halvedPairsAvx2(const std::uint32_t* r0,
                                                               const std::uint32_t* r1)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r0));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r1));
    const __m256i low = _mm256_add_epi16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero));
    const __m256i high = _mm256_add_epi16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero));
    const __m256i sum = _mm256_add_epi16(_mm256_unpacklo_epi64(low, high), _mm256_unpackhi_epi64(low, high));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(2)), 2);
}

// The same eight target pixels at a time with AVX2; the rest through the SSE2 version.
__attribute__((target("avx2"))) void halveRowsAvx2(const std::uint32_t* r0, const std::uint32_t* r1,
                                                   std::int64_t count, std::uint32_t* out)
{
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    std::int64_t k = 0;
    for (; k + 8 <= count; k += 8) {
        // Packing keeps 128-bit halves apart: 0 1 4 5 | 2 3 6 7, put in order by 64-bit pieces.
        const __m256i packed =
            _mm256_permute4x64_epi64(_mm256_packus_epi16(halvedPairsAvx2(r0 + 2 * k, r1 + 2 * k),
                                                         halvedPairsAvx2(r0 + 2 * k + 8, r1 + 2 * k + 8)),
                                     0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_or_si256(packed, alpha));
    }
    halveRowsSse2(r0 + 2 * k, r1 + 2 * k, count - k, out + k);
}

void drawHalved(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top, Visible xs,
                Visible ys)
{
    const std::int64_t count = xs.end - xs.begin;
    const std::int64_t from = 2 * (xs.begin - left);
    for (std::int64_t y = ys.begin; y < ys.end; ++y) {
        const std::uint32_t* r0 = source.pixels + 2 * (y - top) * std::int64_t(source.width) + from;
        const std::uint32_t* r1 = r0 + source.width;
        std::uint32_t* out = target.pixels + y * target.stride + xs.begin;
        if (useAvx2()) {
            halveRowsAvx2(r0, r1, count, out);
        } else {
            halveRowsSse2(r0, r1, count, out);
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

// Shrinking one way or both. Whole picture pixels across in short runs (px < 32, d = 1) are summed
// down first: the sums across are then taken once per target row. Otherwise each picture row is
// summed across first, which reads it once and keeps nothing per picture column.
void drawShrunkSomeWay(const DrawSource& source, PixelTarget target, std::int64_t left, std::int64_t top,
                       std::int64_t destWidth, std::int64_t destHeight, Visible xs, Visible ys)
{
    const Axis axisX = makeAxis(source.width, destWidth);
    const Axis axisY = makeAxis(source.height, destHeight);
    const bool shortWholeRuns = axisX.pictureUnit == 1 && axisX.targetUnit < 32;
    const bool acrossFirst = acrossFirstFits(source, destWidth, destHeight);
    if ((acrossFirst && !shortWholeRuns) || (acrossFirst && !shrinkFits(source, destWidth, destHeight, xs))) {
        if (axisX.targetUnit * axisY.targetUnit <= narrowTotal) {
            drawShrunkAcrossFirst<std::uint32_t>(source, target, left, top, destWidth, destHeight, xs, ys);
        } else {
            drawShrunkAcrossFirst<std::uint64_t>(source, target, left, top, destWidth, destHeight, xs, ys);
        }
    } else if (shrinkFits(source, destWidth, destHeight, xs)) {
        // Sums down are at most 255 * py: 16-bit accumulators halve the memory traffic when they fit.
        if (axisY.targetUnit <= 0xFFFF / 255) {
            drawShrunk<std::uint16_t>(source, target, left, top, destWidth, destHeight, xs, ys);
        } else {
            drawShrunk<std::uint32_t>(source, target, left, top, destWidth, destHeight, xs, ys);
        }
    } else {
        drawExact(source, target, left, top, destWidth, destHeight, xs, ys);
    }
}

} // namespace

void setScalerAvx2Allowed(bool allowed)
{
    avx2Allowed = allowed;
}

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
    } else if (source.mode == DrawMode::Opaque && destWidth * 2 == source.width &&
               destHeight * 2 == source.height) {
        drawHalved(source, target, left, top, xs, ys);
    } else {
        drawShrunkSomeWay(source, target, left, top, destWidth, destHeight, xs, ys);
    }
}
