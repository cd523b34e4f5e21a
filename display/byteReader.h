#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Bounded little-endian reads from a file held in memory. Every read says whether the bytes were
// there; pos never passes the end, so size - pos cannot wrap.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t size() const { return bytes_.size(); }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ == bytes_.size(); }

    // Moves to an absolute offset; false (and no move) beyond the end.
    bool seek(std::uint64_t offset)
    {
        if (offset > bytes_.size()) {
            return false;
        }
        pos_ = std::size_t(offset);
        return true;
    }
    bool skip(std::uint64_t count)
    {
        if (count > remaining()) {
            return false;
        }
        pos_ += std::size_t(count);
        return true;
    }

    // The next count bytes, consumed; nothing (and nothing consumed) when fewer remain.
    std::optional<std::span<const std::uint8_t>> take(std::uint64_t count)
    {
        if (count > remaining()) {
            return std::nullopt;
        }
        auto part = bytes_.subspan(pos_, std::size_t(count));
        pos_ += std::size_t(count);
        return part;
    }

    std::optional<std::uint8_t> u8()
    {
        if (remaining() < 1) {
            return std::nullopt;
        }
        return bytes_[pos_++];
    }
    std::optional<std::uint16_t> u16()
    {
        if (remaining() < 2) {
            return std::nullopt;
        }
        const std::uint16_t value = std::uint16_t(bytes_[pos_] | bytes_[pos_ + 1] << 8);
        pos_ += 2;
        return value;
    }
    std::optional<std::uint32_t> u32()
    {
        if (remaining() < 4) {
            return std::nullopt;
        }
        const std::uint32_t value = std::uint32_t(bytes_[pos_]) | std::uint32_t(bytes_[pos_ + 1]) << 8 |
                                    std::uint32_t(bytes_[pos_ + 2]) << 16 |
                                    std::uint32_t(bytes_[pos_ + 3]) << 24;
        pos_ += 4;
        return value;
    }
    std::optional<std::int16_t> i16()
    {
        auto value = u16();
        return value ? std::optional<std::int16_t>(std::int16_t(*value)) : std::nullopt;
    }
    std::optional<std::int32_t> i32()
    {
        auto value = u32();
        return value ? std::optional<std::int32_t>(std::int32_t(*value)) : std::nullopt;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// Little-endian fields at fixed offsets of a span the caller has checked is long enough.
inline std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint16_t(bytes[at] | bytes[at + 1] << 8);
}
inline std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 | std::uint32_t(bytes[at + 2]) << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}
