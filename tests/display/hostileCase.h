#pragma once

// Shared by the hostile-input tables of every decoder: what a case expects and how it is checked.

#include "display/decoders.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A clean failure, or a picture of that size whose every pixel (when given) is known.
struct Outcome {
    bool loads = false;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, top row first; empty: not compared
};

inline Outcome refused()
{
    return {};
}

inline Outcome loadsAs(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> pixels = {})
{
    return {true, width, height, std::move(pixels)};
}

struct HostileCase {
    std::string name;
    std::vector<std::uint8_t> file;
    Outcome expected;
};

// Runs the decoder, and the whole load path (detection, then the decoder of the kind), over the
// case and compares the results with what it expects.
template <typename DecoderFunction> void expectOutcome(const HostileCase& c, DecoderFunction decoder)
{
    SCOPED_TRACE(c.name);
    const std::span<const std::uint8_t> file(c.file);
    for (const std::optional<Picture>& picture : {decoder(file), decodePicture(file)}) {
        ASSERT_EQ(picture.has_value(), c.expected.loads);
        if (!picture) {
            continue;
        }
        EXPECT_EQ(picture->width, c.expected.width);
        EXPECT_EQ(picture->height, c.expected.height);
        ASSERT_EQ(picture->pixels.size(), std::size_t(picture->width) * std::size_t(picture->height));
        if (!c.expected.pixels.empty()) {
            const std::vector<std::uint32_t> pixels(picture->pixels.data(),
                                                    picture->pixels.data() + picture->pixels.size());
            EXPECT_EQ(pixels, c.expected.pixels);
        }
    }
}

// Little- and big-endian field writes into a copy of a file.
inline std::vector<std::uint8_t> withU16(std::vector<std::uint8_t> file, std::size_t at, std::uint16_t value)
{
    file.at(at) = std::uint8_t(value);
    file.at(at + 1) = std::uint8_t(value >> 8);
    return file;
}

inline std::vector<std::uint8_t> withU32(std::vector<std::uint8_t> file, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        file.at(at + std::size_t(i)) = std::uint8_t(value >> (8 * i));
    }
    return file;
}

inline std::vector<std::uint8_t> cutTo(const std::vector<std::uint8_t>& file, std::size_t length)
{
    return {file.begin(), file.begin() + std::ptrdiff_t(std::min(length, file.size()))};
}

// The sizes every declared dimension is tried with.
constexpr std::uint64_t hostileSizes[] = {0, 1, 1u << 15, 1u << 16, 0x7FFFFFFFu, 0xFFFFFFFFu};
