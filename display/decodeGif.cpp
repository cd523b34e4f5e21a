#include "display/byteReader.h"
#include "display/decoders.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t headerBytes = 13;
constexpr int maxCodeBits = 12;
constexpr std::size_t tableEntries = std::size_t(1) << maxCodeBits;

// Shown for a colour index that the colour table in use does not hold (also when there is no table).
constexpr std::uint32_t outsideTableColour = opaquePixel(0, 0, 0);
// Shown where the logical screen has no background colour: the canvas's own white.
constexpr std::uint32_t noBackgroundColour = opaquePixel(255, 255, 255);

struct ColourTable {
    std::span<const std::uint8_t> rgb; // entries of red, green, blue
    std::size_t count() const { return rgb.size() / 3; }
    std::uint32_t colour(std::size_t index) const
    {
        if (index >= count()) {
            return outsideTableColour;
        }
        return opaquePixel(rgb[3 * index], rgb[3 * index + 1], rgb[3 * index + 2]);
    }
};

// Reads a colour table of 2^(1 + (flags & 7)) entries when bit 7 of flags is set; an empty table
// when it is clear, nothing when the table is cut short.
std::optional<ColourTable> readColourTable(ByteReader& reader, std::uint8_t flags)
{
    if ((flags & 0x80) == 0) {
        return ColourTable{};
    }
    const std::size_t entries = std::size_t(1) << (1 + (flags & 7));
    auto rgb = reader.take(entries * 3);
    if (!rgb) {
        return std::nullopt;
    }
    return ColourTable{*rgb};
}

// Skips data sub-blocks up to and including the zero-length one that ends them; false when they run
// past the end of the file. Every turn consumes at least its length byte.
bool skipSubBlocks(ByteReader& reader)
{
    for (;;) {
        auto length = reader.u8();
        if (!length) {
            return false;
        }
        if (*length == 0) {
            return true;
        }
        if (!reader.skip(*length)) {
            return false;
        }
    }
}

// The bytes of the image data's sub-blocks, one at a time. It ends at the zero-length sub-block or
// at the end of the file, whichever comes first; a sub-block cut short gives the bytes it has.
class SubBlockBytes {
  public:
    explicit SubBlockBytes(ByteReader& reader) : reader_(reader) {}

    std::optional<std::uint8_t> next()
    {
        if (left_ == 0) {
            if (ended_) {
                return std::nullopt;
            }
            auto length = reader_.u8();
            if (!length || *length == 0) {
                ended_ = true;
                return std::nullopt;
            }
            left_ = *length;
        }
        auto byte = reader_.u8();
        if (!byte) {
            ended_ = true;
            left_ = 0;
            return std::nullopt;
        }
        --left_;
        return byte;
    }

  private:
    ByteReader& reader_;
    std::size_t left_ = 0;
    bool ended_ = false;
};

// Codes of a given width, least significant bit first, from the sub-block bytes.
class CodeReader {
  public:
    explicit CodeReader(SubBlockBytes& bytes) : bytes_(bytes) {}

    std::optional<std::uint32_t> next(int bits)
    {
        while (count_ < bits) {
            auto byte = bytes_.next();
            if (!byte) {
                return std::nullopt;
            }
            buffer_ |= std::uint32_t(*byte) << count_;
            count_ += 8;
        }
        const std::uint32_t code = buffer_ & ((1u << bits) - 1);
        buffer_ >>= bits;
        count_ -= bits;
        return code;
    }

  private:
    SubBlockBytes& bytes_;
    std::uint32_t buffer_ = 0;
    int count_ = 0;
};

// Where the next decoded pixel of the image goes: rows in file order, which for an interlaced image
// is every 8th row from 0, every 8th from 4, every 4th from 2, then every 2nd from 1. The image sits
// at the top-left corner of the screen; only the part inside the screen is written.
class PixelSink {
  public:
    PixelSink(Picture& picture, std::int64_t imageWidth, std::int64_t imageHeight, bool interlaced,
              const ColourTable& table)
        : picture_(picture), imageWidth_(imageWidth), imageHeight_(imageHeight), interlaced_(interlaced),
          table_(table)
    {
        visibleWidth_ = std::min<std::int64_t>(imageWidth, picture.width);
        visibleHeight_ = std::min<std::int64_t>(imageHeight, picture.height);
        visibleLeft_ = visibleWidth_ * visibleHeight_;
        if (interlaced_) {
            step_ = 8;
        }
        skipEmptyPasses();
    }

    // True once every pixel of the image that lies on the screen has been written.
    bool full() const { return visibleLeft_ == 0 || row_ >= imageHeight_; }

    // True when the next count values all fall outside the screen and inside the current row, so
    // that they can be passed over without being decoded: an image far wider than the screen then
    // costs one step per code, not one per value.
    bool hides(std::int64_t count) const
    {
        return (row_ >= visibleHeight_ || column_ >= visibleWidth_) && column_ + count < imageWidth_;
    }
    // Passes over count values for which hides(count) is true.
    void pass(std::int64_t count) { column_ += count; }

    void put(std::uint32_t index)
    {
        if (row_ < visibleHeight_ && column_ < visibleWidth_) {
            picture_.pixels[std::size_t(row_ * picture_.width + column_)] = table_.colour(index);
            --visibleLeft_;
        }
        if (++column_ == imageWidth_) {
            column_ = 0;
            row_ += step_;
            skipEmptyPasses();
        }
    }

  private:
    void skipEmptyPasses()
    {
        static constexpr std::int64_t passStart[] = {0, 4, 2, 1};
        static constexpr std::int64_t passStep[] = {8, 8, 4, 2};
        while (interlaced_ && row_ >= imageHeight_ && pass_ < 3) {
            ++pass_;
            row_ = passStart[pass_];
            step_ = passStep[pass_];
        }
    }

    Picture& picture_;
    std::int64_t imageWidth_;
    std::int64_t imageHeight_;
    bool interlaced_;
    const ColourTable& table_;
    std::int64_t visibleWidth_ = 0;
    std::int64_t visibleHeight_ = 0;
    std::int64_t visibleLeft_ = 0;
    std::int64_t row_ = 0;
    std::int64_t column_ = 0;
    std::int64_t step_ = 1;
    int pass_ = 0;
};

// Decodes LZW codes into the sink until the end code, the end of the data, a code the table cannot
// hold yet, or the screen part of the image is full. Every code consumes input and each string is
// emitted from a bounded stack, so the work follows the data's length.
void decodeLzw(CodeReader& codes, int minimumCodeSize, PixelSink& sink)
{
    std::array<std::uint16_t, tableEntries> prefix{};
    std::array<std::uint16_t, tableEntries> suffix{};
    // Each entry's string length and first value, so a string that the screen does not show is
    // passed over without walking it.
    std::array<std::uint16_t, tableEntries> length{};
    std::array<std::uint16_t, tableEntries> firstValue{};
    std::array<std::uint16_t, tableEntries + 1> stack{};

    const std::uint32_t clearCode = 1u << minimumCodeSize;
    const std::uint32_t endCode = clearCode + 1;
    int codeBits = minimumCodeSize + 1;
    std::uint32_t nextCode = clearCode + 2;
    // The code before this one; noCode right after a clear code.
    constexpr std::uint32_t noCode = 0xFFFFFFFFu;
    std::uint32_t previous = noCode;
    std::uint32_t previousFirst = 0;

    while (!sink.full()) {
        auto code = codes.next(codeBits);
        if (!code || *code == endCode) {
            return;
        }
        if (*code == clearCode) {
            codeBits = minimumCodeSize + 1;
            nextCode = clearCode + 2;
            previous = noCode;
            continue;
        }
        if (previous == noCode) {
            if (*code > clearCode) {
                return;
            }
            sink.put(*code);
            previous = *code;
            previousFirst = *code;
            // The code after this one may already name the next free entry (with a minimum code
            // size of 1 that entry needs a wider code at once).
            if (nextCode >= (1u << codeBits) && codeBits < maxCodeBits) {
                ++codeBits;
            }
            continue;
        }
        if (*code > nextCode) {
            return;
        }
        // A code equal to the next free entry stands for the previous string followed by its own
        // first value. Codes below the clear code are strings of one value.
        const auto lengthOf = [&](std::uint32_t c) -> std::uint32_t { return c < clearCode ? 1 : length[c]; };
        const std::uint32_t stringLength = *code == nextCode ? lengthOf(previous) + 1 : lengthOf(*code);
        const std::uint32_t first = *code == nextCode   ? previousFirst
                                    : *code < clearCode ? *code
                                                        : firstValue[*code];
        if (sink.hides(stringLength)) {
            sink.pass(stringLength);
        } else {
            // The string, last value first, onto the stack.
            std::size_t depth = 0;
            std::uint32_t walk = *code;
            if (*code == nextCode) {
                stack[depth++] = std::uint16_t(previousFirst);
                walk = previous;
            }
            while (walk > endCode) {
                stack[depth++] = suffix[walk];
                walk = prefix[walk];
            }
            stack[depth++] = std::uint16_t(walk);
            while (depth > 0 && !sink.full()) {
                sink.put(stack[--depth]);
            }
        }
        if (nextCode < tableEntries) {
            prefix[nextCode] = std::uint16_t(previous);
            suffix[nextCode] = std::uint16_t(first);
            length[nextCode] = std::uint16_t(lengthOf(previous) + 1);
            firstValue[nextCode] = std::uint16_t(previousFirst);
            ++nextCode;
            if (nextCode >= (1u << codeBits) && codeBits < maxCodeBits) {
                ++codeBits;
            }
        }
        previous = *code;
        previousFirst = first;
    }
}

} // namespace

std::optional<Picture> decodeGif(std::span<const std::uint8_t> file)
{
    if (file.size() <= headerBytes) {
        return std::nullopt;
    }
    auto head = detectPictureKind(file);
    if (!head || *head != PictureKind::Gif) {
        return std::nullopt;
    }
    const std::uint16_t screenWidth = readU16(file, 6);
    const std::uint16_t screenHeight = readU16(file, 8);
    const std::uint8_t screenFlags = file[10];
    const std::uint8_t backgroundIndex = file[11];

    ByteReader reader(file);
    reader.seek(headerBytes);
    auto globalTable = readColourTable(reader, screenFlags);
    if (!globalTable || reader.atEnd()) {
        return std::nullopt;
    }

    // The block walk: extensions of the known labels are skipped, the first image ends it.
    for (;;) {
        auto block = reader.u8();
        if (!block) {
            return std::nullopt;
        }
        if (*block == 0x2C) {
            break;
        }
        if (*block != 0x21) {
            return std::nullopt; // the trailer, a zero byte or anything else before an image
        }
        auto label = reader.u8();
        if (!label || (*label != 0x01 && *label != 0xF9 && *label != 0xFE && *label != 0xFF)) {
            return std::nullopt;
        }
        if (!skipSubBlocks(reader)) {
            return std::nullopt;
        }
    }

    // The image descriptor; its left and top are not used.
    if (!reader.skip(4)) {
        return std::nullopt;
    }
    auto imageWidth = reader.u16();
    auto imageHeight = reader.u16();
    auto imageFlags = reader.u8();
    if (!imageWidth || !imageHeight || !imageFlags) {
        return std::nullopt;
    }
    auto localTable = readColourTable(reader, *imageFlags);
    if (!localTable) {
        return std::nullopt;
    }
    const ColourTable& table = (*imageFlags & 0x80) != 0 ? *localTable : *globalTable;
    auto minimumCodeSize = reader.u8();
    if (!minimumCodeSize || *minimumCodeSize < 1 || *minimumCodeSize > maxCodeBits - 1) {
        return std::nullopt;
    }

    auto picture = allocatePicture(PictureKind::Gif, screenWidth, screenHeight);
    if (!picture) {
        return std::nullopt;
    }
    // What the image does not cover, or leaves undecoded when its data ends early, shows the
    // screen's background colour, as the format defines it.
    const std::uint32_t fill =
        backgroundIndex < globalTable->count() ? globalTable->colour(backgroundIndex) : noBackgroundColour;
    std::fill(picture->pixels.data(), picture->pixels.data() + picture->pixels.size(), fill);

    PixelSink sink(*picture, *imageWidth, *imageHeight, (*imageFlags & 0x40) != 0, table);
    SubBlockBytes bytes(reader);
    CodeReader codes(bytes);
    decodeLzw(codes, *minimumCodeSize, sink);
    return picture;
}
