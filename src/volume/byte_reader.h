#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvanta {

// Little-endian fields of on-disk structures, read with every offset checked:
// a field that does not lie wholly inside the bytes reads as 0.
class ByteReader {
public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Has(std::size_t offset, std::size_t width) const {
    return offset <= bytes_.size() && width <= bytes_.size() - offset;
  }
  std::uint8_t U8(std::size_t offset) const { return Has(offset, 1) ? bytes_[offset] : 0; }
  std::uint16_t Le16(std::size_t offset) const {
    if (!Has(offset, 2))
      return 0;
    return static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
  }
  std::uint32_t Le32(std::size_t offset) const {
    if (!Has(offset, 4))
      return 0;
    return static_cast<std::uint32_t>(bytes_[offset]) |
           static_cast<std::uint32_t>(bytes_[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes_[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes_[offset + 3]) << 24;
  }
  std::size_t Size() const { return bytes_.size(); }

private:
  std::span<const std::uint8_t> bytes_;
};

} // namespace orvanta
