#pragma once

#include <cstdint>

namespace orvanta {

// The sector sizes a FAT boot sector's bytes-per-sector field may state:
// 512, 1024, 2048 or 4096 bytes.
constexpr bool IsFatSectorSize(std::uint32_t bytes) {
  return bytes == 512 || bytes == 1024 || bytes == 2048 || bytes == 4096;
}

} // namespace orvanta
