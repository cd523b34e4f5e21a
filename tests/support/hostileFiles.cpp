#include "tests/support/hostileFiles.h"

#include <algorithm>
#include <zlib.h>

namespace {

void putU32BigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.push_back(std::uint8_t(value >> 24));
    out.push_back(std::uint8_t(value >> 16));
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}

constexpr std::uint8_t pngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

} // namespace

std::vector<std::uint8_t> pngChunk(const char (&type)[5], const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out;
    putU32BigEndian(out, std::uint32_t(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    crc = crc32(crc, data.data(), uInt(data.size()));
    putU32BigEndian(out, std::uint32_t(crc));
    return out;
}

std::vector<std::uint8_t> rawPng(const PngHeader& header, const std::vector<std::vector<std::uint8_t>>& idats)
{
    std::vector<std::uint8_t> out(pngSignature, pngSignature + 8);
    std::vector<std::uint8_t> ihdr;
    putU32BigEndian(ihdr, header.width);
    putU32BigEndian(ihdr, header.height);
    for (std::uint8_t byte :
         {header.bitDepth, header.colourType, std::uint8_t(0), std::uint8_t(0), header.interlace}) {
        ihdr.push_back(byte);
    }
    const auto append = [&out](const std::vector<std::uint8_t>& chunk) {
        out.insert(out.end(), chunk.begin(), chunk.end());
    };
    append(pngChunk("IHDR", ihdr));
    for (const auto& idat : idats) {
        append(pngChunk("IDAT", idat));
    }
    append(pngChunk("IEND", {}));
    return out;
}

std::vector<std::uint8_t> zlibCompress(const std::vector<std::uint8_t>& data)
{
    uLongf size = compressBound(uLong(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> zlibZeros(std::uint64_t count)
{
    // Run-length matching alone: as dense as the best level on zeros, and far quicker.
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK) {
        return {};
    }
    const std::vector<std::uint8_t> zeros(std::size_t(1) << 20, 0);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> buffer(std::size_t(1) << 16);
    std::uint64_t left = count;
    int flush = Z_NO_FLUSH;
    do {
        const std::size_t slice = std::size_t(std::min<std::uint64_t>(left, zeros.size()));
        left -= slice;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = const_cast<Bytef*>(zeros.data());
        stream.avail_in = uInt(slice);
        do {
            stream.next_out = buffer.data();
            stream.avail_out = uInt(buffer.size());
            deflate(&stream, flush);
            out.insert(out.end(), buffer.data(), buffer.data() + (buffer.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&stream);
    return out;
}

std::vector<std::uint8_t> hugePngHeaderFile()
{
    // A real zlib stream of the picture's first rows, cut to 200 bytes.
    auto data = zlibZeros(std::uint64_t(1) << 24);
    data.resize(200);
    return rawPng({65535, 65535, 8, 6, 0}, {data});
}

std::vector<std::uint8_t> pngBombFile(std::uint32_t width, std::uint32_t height, std::uint64_t inflatedBytes)
{
    // Split into chunks below libpng's chunk-size limit.
    const auto stream = zlibZeros(inflatedBytes);
    std::vector<std::vector<std::uint8_t>> idats;
    const std::size_t chunk = std::size_t(1) << 16;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        const std::size_t end = std::min(stream.size(), at + chunk);
        idats.emplace_back(stream.begin() + std::ptrdiff_t(at), stream.begin() + std::ptrdiff_t(end));
    }
    return rawPng({width, height, 8, 6, 0}, idats);
}

std::vector<std::uint8_t> emptyExtensionsGifFile(std::uint32_t count)
{
    // A 16 x 16 screen with a two-colour global table.
    std::vector<std::uint8_t> out = {'G',  'I', 'F', '8', '9', 'a', 16,  0,   16, 0,
                                     0x80, 0,   0,   0,   0,   0,   255, 255, 255};
    for (std::uint32_t i = 0; i < count; ++i) {
        for (std::uint8_t byte : {0x21, 0xFE, 0x00}) {
            out.push_back(byte);
        }
    }
    out.push_back(0x3B);
    return out;
}

std::vector<std::uint8_t> repeatedMarkersJpegFile(std::uint32_t count)
{
    std::vector<std::uint8_t> out = {0xFF, 0xD8};
    for (std::uint32_t i = 0; i < count; ++i) {
        for (std::uint8_t byte : {0xFF, 0xFE, 0x00, 0x02}) {
            out.push_back(byte);
        }
    }
    return out;
}
