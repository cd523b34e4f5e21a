#include "display/byteReader.h"
#include "display/decoders.h"

namespace {

constexpr std::size_t headerBytes = 128;
constexpr std::size_t paletteBytes = 768;
constexpr std::uint8_t paletteMarker = 0x0C;
// One run (two bytes) gives at most 0xFF - 0xC0 = 63 values, so no byte of the data yields more
// than 32 of them.
constexpr std::uint64_t maxValuesPerByte = 32;

enum class Layout {
    oneBit,     // one plane of 1 bit per pixel
    indexed,    // one plane of 8-bit palette indices
    trueColour, // three or four planes of 8 bits: red, green, blue (and a fourth that is not shown)
};

// The run-length coded image data, read as one stream: a byte above C0 repeats the byte after it
// (byte - C0) times; any other byte, C0 included, stands for itself. Runs may cross row ends.
class RunLengthReader {
  public:
    explicit RunLengthReader(ByteReader& reader) : reader_(reader) {}

    // Fills the line with the next values; false when the data ends first.
    bool fill(std::span<std::uint8_t> line)
    {
        std::size_t filled = 0;
        while (filled < line.size()) {
            if (repeat_ == 0) {
                auto byte = reader_.u8();
                if (!byte) {
                    return false;
                }
                if (*byte > 0xC0) {
                    auto value = reader_.u8();
                    if (!value) {
                        return false;
                    }
                    repeat_ = *byte - 0xC0u;
                    value_ = *value;
                } else {
                    repeat_ = 1;
                    value_ = *byte;
                }
            }
            while (repeat_ > 0 && filled < line.size()) {
                line[filled++] = value_;
                --repeat_;
            }
        }
        return true;
    }

  private:
    ByteReader& reader_;
    std::uint32_t repeat_ = 0;
    std::uint8_t value_ = 0;
};

// The 256 colours of a Pcx8: the palette after the 0C marker that follows the image data, or, for
// writers that leave bytes between the two, the marker 769 bytes before the end of the file; a
// greyscale ramp when there is no marker at all.
void readPalette(std::span<const std::uint8_t> file, std::size_t imageEnd, std::uint32_t (&colours)[256])
{
    std::optional<std::size_t> paletteAt;
    if (imageEnd < file.size() && file[imageEnd] == paletteMarker &&
        file.size() - imageEnd - 1 >= paletteBytes) {
        paletteAt = imageEnd + 1;
    } else if (file.size() >= imageEnd + paletteBytes + 1 &&
               file[file.size() - paletteBytes - 1] == paletteMarker) {
        paletteAt = file.size() - paletteBytes;
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
        if (paletteAt) {
            const std::uint8_t* rgb = file.data() + *paletteAt + 3 * i;
            colours[i] = opaquePixel(rgb[0], rgb[1], rgb[2]);
        } else {
            colours[i] = opaquePixel(i, i, i);
        }
    }
}

// The two colours of a Pcx1: the header's first two palette entries when they differ, else black
// for 0 and white for 1.
void readTwoColours(std::span<const std::uint8_t> file, std::uint32_t (&colours)[2])
{
    const std::uint8_t* palette = file.data() + 16;
    const std::uint32_t first = opaquePixel(palette[0], palette[1], palette[2]);
    const std::uint32_t second = opaquePixel(palette[3], palette[4], palette[5]);
    if (first != second) {
        colours[0] = first;
        colours[1] = second;
    } else {
        colours[0] = opaquePixel(0, 0, 0);
        colours[1] = opaquePixel(255, 255, 255);
    }
}

} // namespace

std::optional<Picture> decodePcx(std::span<const std::uint8_t> file)
{
    if (file.size() <= headerBytes || file[0] != 0x0A || file[1] > 5 || file[2] != 1) {
        return std::nullopt;
    }
    const std::int64_t width =
        std::int64_t(std::int16_t(readU16(file, 8))) - std::int16_t(readU16(file, 4)) + 1;
    const std::int64_t height =
        std::int64_t(std::int16_t(readU16(file, 10))) - std::int16_t(readU16(file, 6)) + 1;
    const std::uint8_t bitsPerPixel = file[3];
    const std::uint8_t planes = file[65];
    const std::uint64_t bytesPerLine = readU16(file, 66);
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }

    Layout layout;
    PictureKind kind;
    if (bitsPerPixel == 1 && planes == 1) {
        layout = Layout::oneBit;
        kind = PictureKind::Pcx1;
    } else if (bitsPerPixel == 8 && planes == 1) {
        layout = Layout::indexed;
        kind = PictureKind::Pcx8;
    } else if (bitsPerPixel == 8 && (planes == 3 || planes == 4)) {
        layout = Layout::trueColour;
        kind = PictureKind::Pcx8;
    } else {
        return std::nullopt;
    }
    // Each plane's line must hold the row's pixels; a line may be longer (padding).
    const std::uint64_t pixelBytes =
        layout == Layout::oneBit ? (std::uint64_t(width) + 7) / 8 : std::uint64_t(width);
    if (bytesPerLine < pixelBytes) {
        return std::nullopt;
    }
    // A file too short to hold the image even in the densest runs fails before anything is allocated.
    const std::uint64_t lineBytes = bytesPerLine * planes;
    const std::uint64_t imageBytes = lineBytes * std::uint64_t(height);
    if (!checkedPixelCount(width, height) || imageBytes > (file.size() - headerBytes) * maxValuesPerByte) {
        return std::nullopt;
    }

    HeapArray<std::uint8_t> line;
    if (!line.allocate(std::size_t(lineBytes))) {
        return std::nullopt;
    }
    auto picture = allocatePicture(kind, width, height);
    if (!picture) {
        return std::nullopt;
    }

    ByteReader reader(file);
    reader.seek(headerBytes);
    RunLengthReader runs(reader);
    std::uint32_t colours[256];
    std::uint32_t twoColours[2];
    readTwoColours(file, twoColours);
    const std::size_t w = std::size_t(width);
    const std::size_t plane = std::size_t(bytesPerLine);
    // The indexed layout looks its colours up after the image data, whose end is known only then.
    for (std::size_t y = 0; y < std::size_t(height); ++y) {
        if (!runs.fill(line.span())) {
            return std::nullopt; // data that ends early gives no picture
        }
        std::uint32_t* row = picture->pixels.data() + y * w;
        switch (layout) {
        case Layout::oneBit:
            for (std::size_t x = 0; x < w; ++x) {
                row[x] = twoColours[(line[x / 8] >> (7 - x % 8)) & 1];
            }
            break;
        case Layout::indexed:
            for (std::size_t x = 0; x < w; ++x) {
                row[x] = line[x];
            }
            break;
        case Layout::trueColour:
            for (std::size_t x = 0; x < w; ++x) {
                row[x] = opaquePixel(line[x], line[plane + x], line[2 * plane + x]);
            }
            break;
        }
    }
    if (layout == Layout::indexed) {
        readPalette(file, reader.pos(), colours);
        for (std::uint32_t& pixel : picture->pixels.span()) {
            pixel = colours[pixel];
        }
    }
    return picture;
}
