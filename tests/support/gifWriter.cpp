#include "tests/support/gifWriter.h"

#include <algorithm>
#include <map>

namespace {

class BitPacker {
  public:
    void put(std::uint32_t value, int bits)
    {
        buffer_ |= std::uint64_t(value) << count_;
        count_ += bits;
        while (count_ >= 8) {
            bytes_.push_back(std::uint8_t(buffer_));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }
    std::vector<std::uint8_t> finish()
    {
        if (count_ > 0) {
            bytes_.push_back(std::uint8_t(buffer_));
        }
        buffer_ = 0;
        count_ = 0;
        return std::move(bytes_);
    }

  private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t buffer_ = 0;
    int count_ = 0;
};

void putTable(std::vector<std::uint8_t>& out, const std::vector<std::uint32_t>& table)
{
    for (std::uint32_t rgb : table) {
        out.push_back(std::uint8_t(rgb >> 16));
        out.push_back(std::uint8_t(rgb >> 8));
        out.push_back(std::uint8_t(rgb));
    }
}

// The table padded to 2^(1 + n) entries, and n.
std::pair<std::vector<std::uint32_t>, int> paddedTable(std::vector<std::uint32_t> table)
{
    int n = 0;
    while ((std::size_t(2) << n) < table.size()) {
        ++n;
    }
    table.resize(std::size_t(2) << n, 0);
    return {table, n};
}

void putU16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

} // namespace

std::vector<std::uint8_t> lzwEncode(const std::vector<std::uint8_t>& indices, int minimumCodeSize,
                                    const LzwOptions& options)
{
    const std::uint32_t clearCode = 1u << minimumCodeSize;
    const std::uint32_t endCode = clearCode + 1;
    BitPacker packer;
    int bits = minimumCodeSize + 1;
    std::uint32_t nextEntry = clearCode + 2;
    std::uint32_t codesSinceClear = 0;
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::uint32_t> dictionary;

    // The decoder reads the k-th code after a clear with enough bits for entry clear + k (its next
    // free entry then), at most 12.
    auto emit = [&](std::uint32_t code) {
        ++codesSinceClear;
        if (codesSinceClear >= 2) {
            const std::uint32_t decoderNext = std::min<std::uint32_t>(clearCode + codesSinceClear, 4096);
            while (decoderNext >= (1u << bits) && bits < 12) {
                ++bits;
            }
        }
        packer.put(code, bits);
    };
    auto clear = [&]() {
        emit(clearCode);
        bits = minimumCodeSize + 1;
        nextEntry = clearCode + 2;
        codesSinceClear = 0;
        dictionary.clear();
    };

    if (options.clearFirst) {
        clear();
    }
    if (!indices.empty()) {
        std::uint32_t current = indices[0];
        for (std::size_t i = 1; i < indices.size(); ++i) {
            const auto key = std::make_pair(current, indices[i]);
            auto found = dictionary.find(key);
            if (found != dictionary.end()) {
                current = found->second;
                continue;
            }
            emit(current);
            if (nextEntry < 4096) {
                dictionary[key] = nextEntry++;
                if (nextEntry == 4096 && options.clearWhenFull) {
                    clear();
                }
            }
            current = indices[i];
        }
        emit(current);
    }
    if (options.endCode) {
        emit(endCode);
    }
    return packer.finish();
}

std::vector<std::uint8_t> packCodes(const std::vector<LzwCode>& codes)
{
    BitPacker packer;
    for (const LzwCode& code : codes) {
        packer.put(code.value, code.bits);
    }
    return packer.finish();
}

std::vector<std::uint8_t> subBlocks(const std::vector<std::uint8_t>& data, std::size_t blockSize,
                                    bool terminate)
{
    std::vector<std::uint8_t> out;
    for (std::size_t at = 0; at < data.size(); at += blockSize) {
        const std::size_t length = std::min(blockSize, data.size() - at);
        out.push_back(std::uint8_t(length));
        out.insert(out.end(), data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at + length));
    }
    if (terminate) {
        out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> extensionBlock(std::uint8_t label, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out = {0x21, label};
    const auto blocks = subBlocks(data);
    out.insert(out.end(), blocks.begin(), blocks.end());
    return out;
}

std::vector<std::uint8_t> writeGif(const GifFile& gif)
{
    std::vector<std::uint8_t> out = {'G', 'I', 'F', '8', '9', 'a'};
    putU16(out, gif.screenWidth);
    putU16(out, gif.screenHeight);
    if (gif.globalTable.empty()) {
        out.push_back(0);
        out.push_back(gif.backgroundIndex);
        out.push_back(0);
    } else {
        auto [table, n] = paddedTable(gif.globalTable);
        out.push_back(std::uint8_t(0x80 | 0x70 | n));
        out.push_back(gif.backgroundIndex);
        out.push_back(0);
        putTable(out, table);
    }
    out.insert(out.end(), gif.blocksBefore.begin(), gif.blocksBefore.end());
    if (gif.image) {
        const GifImage& image = *gif.image;
        out.push_back(0x2C);
        putU16(out, image.left);
        putU16(out, image.top);
        putU16(out, image.width);
        putU16(out, image.height);
        std::uint8_t flags = image.interlaced ? 0x40 : 0;
        std::vector<std::uint32_t> local;
        if (!image.localTable.empty()) {
            auto [table, n] = paddedTable(image.localTable);
            flags |= std::uint8_t(0x80 | n);
            local = table;
        }
        out.push_back(flags);
        putTable(out, local);
        out.push_back(std::uint8_t(image.minimumCodeSize));
        std::vector<std::uint8_t> stored = image.indices;
        if (image.interlaced) {
            stored.clear();
            static constexpr int start[] = {0, 4, 2, 1};
            static constexpr int step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (int y = start[pass]; y < image.height; y += step[pass]) {
                    const auto row = image.indices.begin() + std::ptrdiff_t(y) * image.width;
                    stored.insert(stored.end(), row, row + image.width);
                }
            }
        }
        const auto stream =
            image.codeStream ? *image.codeStream : lzwEncode(stored, image.minimumCodeSize, image.lzw);
        const auto blocks = subBlocks(stream);
        out.insert(out.end(), blocks.begin(), blocks.end());
    }
    out.insert(out.end(), gif.blocksAfter.begin(), gif.blocksAfter.end());
    if (gif.trailer) {
        out.push_back(0x3B);
    }
    return out;
}
