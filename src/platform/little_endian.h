#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvanta::platform {

// The little-endian number in the `width` bytes at `offset`; 0 where the
// bytes do not reach that far (a short read of an untrusted sector).
inline std::uint64_t Le(std::span<const std::uint8_t> bytes, std::size_t offset,
                        std::size_t width) {
  if (offset > bytes.size() || width > bytes.size() - offset)
    return 0;
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;)
    value = value << 8 | bytes[offset + i];
  return value;
}

} // namespace orvanta::platform
