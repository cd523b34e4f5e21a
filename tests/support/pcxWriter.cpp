#include "tests/support/pcxWriter.h"

#include <algorithm>

std::vector<std::uint8_t> pcxRunLength(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> out;
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t run = 1;
        while (at + run < bytes.size() && run < 63 && bytes[at + run] == bytes[at]) {
            ++run;
        }
        if (run > 1 || bytes[at] > 0xC0) {
            out.push_back(std::uint8_t(0xC0 + run));
        }
        out.push_back(bytes[at]);
        at += run;
    }
    return out;
}

std::vector<std::uint8_t> writePcx(const PcxFile& pcx)
{
    std::vector<std::uint8_t> out(128, 0);
    auto putU16 = [&](std::size_t at, std::uint16_t value) {
        out[at] = std::uint8_t(value);
        out[at + 1] = std::uint8_t(value >> 8);
    };
    out[0] = 0x0A;
    out[1] = pcx.version;
    out[2] = pcx.encoding;
    out[3] = pcx.bitsPerPixel;
    putU16(4, std::uint16_t(pcx.xmin));
    putU16(6, std::uint16_t(pcx.ymin));
    putU16(8, std::uint16_t(pcx.xmax));
    putU16(10, std::uint16_t(pcx.ymax));
    putU16(12, 72);
    putU16(14, 72);
    for (std::size_t i = 0; i < pcx.headerPalette.size() && i < 16; ++i) {
        out[16 + 3 * i] = std::uint8_t(pcx.headerPalette[i] >> 16);
        out[17 + 3 * i] = std::uint8_t(pcx.headerPalette[i] >> 8);
        out[18 + 3 * i] = std::uint8_t(pcx.headerPalette[i]);
    }
    out[65] = pcx.planes;
    putU16(66, pcx.bytesPerLine);
    putU16(68, 1);

    std::vector<std::uint8_t> coded;
    if (pcx.runsCrossLines || pcx.bytesPerLine == 0) {
        coded = pcxRunLength(pcx.lines);
    } else {
        for (std::size_t at = 0; at < pcx.lines.size(); at += pcx.bytesPerLine) {
            const auto end = std::min(pcx.lines.size(), at + pcx.bytesPerLine);
            const std::vector<std::uint8_t> line(pcx.lines.begin() + std::ptrdiff_t(at),
                                                 pcx.lines.begin() + std::ptrdiff_t(end));
            const auto part = pcxRunLength(line);
            coded.insert(coded.end(), part.begin(), part.end());
        }
    }
    out.insert(out.end(), coded.begin(), coded.end());
    out.insert(out.end(), pcx.gapBeforePalette.begin(), pcx.gapBeforePalette.end());
    if (pcx.palette) {
        out.push_back(0x0C);
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t rgb = i < pcx.palette->size() ? (*pcx.palette)[i] : 0;
            out.push_back(std::uint8_t(rgb >> 16));
            out.push_back(std::uint8_t(rgb >> 8));
            out.push_back(std::uint8_t(rgb));
        }
    }
    return out;
}
