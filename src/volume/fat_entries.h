#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "volume/byte_reader.h"
#include "volume/volume_geometry.h"

namespace orvanta {

// The values a FAT entry holds, for FAT16 (16-bit entries) and FAT32
// (32-bit entries whose top four bits are not part of the value).

inline constexpr std::uint32_t kFat32EntryMask = 0x0FFFFFFF;
// The highest cluster number a FAT32 entry can name.
inline constexpr std::uint32_t kMaxFat32Cluster = 0x0FFFFFF6;

// Bytes per entry: 2 on FAT16, 4 on FAT32.
constexpr unsigned FatEntryWidth(int fatType) { return fatType == kFat16 ? 2 : 4; }

// The entry without the top four bits of a FAT32 entry.
constexpr std::uint32_t FatEntryValue(std::uint32_t entry, int fatType) {
  return fatType == kFat16 ? entry : entry & kFat32EntryMask;
}

// A free cluster: the value is 0.
constexpr bool IsFreeEntry(std::uint32_t entry, int fatType) {
  return FatEntryValue(entry, fatType) == 0;
}

// Any end-of-chain mark: 0xFFF8 to 0xFFFF, 0x0FFFFFF8 to 0x0FFFFFFF.
constexpr bool IsEndOfChain(std::uint32_t entry, int fatType) {
  return fatType == kFat16 ? entry >= 0xFFF8 && entry <= 0xFFFF
                           : FatEntryValue(entry, fatType) >= 0x0FFFFFF8;
}

// Only the all-ones end-of-chain mark, 0xFFFF or 0x0FFFFFFF: the one the
// found-file walk stops at (it follows the other marks as cluster numbers).
constexpr bool IsAllOnesEndOfChain(std::uint32_t entry, int fatType) {
  return fatType == kFat16 ? entry == 0xFFFF : FatEntryValue(entry, fatType) == kFat32EntryMask;
}

// The bad-cluster mark: 0xFFF7, 0x0FFFFFF7.
constexpr bool IsBadCluster(std::uint32_t entry, int fatType) {
  return fatType == kFat16 ? entry == 0xFFF7 : FatEntryValue(entry, fatType) == 0x0FFFFFF7;
}

// Entry n of a FAT image of `width`-byte entries, or nothing when the image
// does not hold it whole.
inline std::optional<std::uint32_t> ReadFatEntry(std::span<const std::uint8_t> fat, unsigned width,
                                                 std::uint64_t n) {
  // (n + 1) * width > size, without a division: n < size keeps the
  // product far from overflow.
  if (width == 0 || n >= fat.size() || (n + 1) * width > fat.size())
    return std::nullopt;
  const ByteReader reader(fat);
  const auto at = static_cast<std::size_t>(n * width);
  return width == 2 ? reader.Le16(at) : reader.Le32(at);
}

} // namespace orvanta
