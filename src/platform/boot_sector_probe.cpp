#include "platform/boot_sector_probe.h"

#include <string_view>

#include "platform/little_endian.h"
#include "platform/sector_size.h"

namespace orvanta {
namespace {

// Where the fields lie, in bytes from the start of the boot sector.
constexpr std::size_t kOemName = 3;
constexpr std::size_t kBytesPerSector = 11;
constexpr std::size_t kSectorsPerCluster = 13;
constexpr std::size_t kReservedSectors = 14;
constexpr std::size_t kFatCount = 16;
constexpr std::size_t kRootEntries = 17;
constexpr std::size_t kTotalSectors16 = 19;
constexpr std::size_t kMedia = 21;
constexpr std::size_t kSectorsPerFat16 = 22;
constexpr std::size_t kTotalSectors32 = 32;
constexpr std::size_t kSectorsPerFat32 = 36;
constexpr std::size_t kExfatVolumeLength = 72;
constexpr std::size_t kExfatSectorShift = 108;

// FAT12 and FAT16 are told from FAT32 by their count of data clusters.
constexpr std::uint64_t kMaxFat16Clusters = 65524;

using platform::Le;

bool OemNameIs(std::span<const std::uint8_t> bytes, std::string_view name) {
  if (bytes.size() < kOemName + name.size())
    return false;
  return std::string_view(reinterpret_cast<const char *>(bytes.data()) + kOemName, name.size()) ==
         name;
}

bool PowerOfTwo(std::uint64_t n) { return n != 0 && (n & (n - 1)) == 0; }

struct FatLayout {
  std::uint64_t BytesPerSector = 0;
  std::uint64_t TotalSectors = 0;
  bool Fat32 = false;
};

// The layout of a FAT boot sector, when the fields that place everything
// else are ones a FAT volume can have.
std::optional<FatLayout> FatLayoutOf(std::span<const std::uint8_t> b) {
  const auto bytesPerSector = Le(b, kBytesPerSector, 2);
  const auto sectorsPerCluster = Le(b, kSectorsPerCluster, 1);
  const auto reserved = Le(b, kReservedSectors, 2);
  const auto fats = Le(b, kFatCount, 1);
  const auto media = Le(b, kMedia, 1);
  if (!IsFatSectorSize(static_cast<std::uint32_t>(bytesPerSector)) ||
      !PowerOfTwo(sectorsPerCluster) || reserved == 0 || fats == 0 || fats > 4 ||
      (media != 0xF0 && media < 0xF8))
    return std::nullopt;
  FatLayout layout;
  layout.BytesPerSector = bytesPerSector;
  layout.TotalSectors = Le(b, kTotalSectors16, 2);
  if (layout.TotalSectors == 0)
    layout.TotalSectors = Le(b, kTotalSectors32, 4);
  const auto perFat16 = Le(b, kSectorsPerFat16, 2);
  const auto perFat = perFat16 != 0 ? perFat16 : Le(b, kSectorsPerFat32, 4);
  if (layout.TotalSectors == 0 || perFat == 0)
    return std::nullopt;
  const auto rootSectors = (Le(b, kRootEntries, 2) * 32 + bytesPerSector - 1) / bytesPerSector;
  const auto metadata = reserved + fats * perFat + rootSectors;
  const auto clusters =
      layout.TotalSectors > metadata ? (layout.TotalSectors - metadata) / sectorsPerCluster : 0;
  layout.Fat32 = perFat16 == 0 || clusters > kMaxFat16Clusters;
  return layout;
}

} // namespace

std::string FileSystemNameOf(std::span<const std::uint8_t> bootSector) {
  if (OemNameIs(bootSector, "EXFAT   "))
    return "exfat";
  if (OemNameIs(bootSector, "NTFS    "))
    return "NTFS";
  if (const auto fat = FatLayoutOf(bootSector))
    return fat->Fat32 ? "FAT32" : "FAT";
  return {};
}

std::uint32_t StatedSectorSize(std::span<const std::uint8_t> bootSector) {
  auto size = static_cast<std::uint32_t>(Le(bootSector, kBytesPerSector, 2));
  // exFAT keeps zeros there and states the size as a power of two at 108.
  if (size == 0 && OemNameIs(bootSector, "EXFAT   ")) {
    const auto shift = Le(bootSector, kExfatSectorShift, 1);
    if (shift >= 9 && shift <= 12)
      size = 1u << shift;
  }
  return IsFatSectorSize(size) ? size : 512;
}

std::optional<std::uint64_t> StatedVolumeBytes(std::span<const std::uint8_t> bootSector) {
  if (OemNameIs(bootSector, "EXFAT   ")) {
    const auto length = Le(bootSector, kExfatVolumeLength, 8);
    const auto shift = Le(bootSector, kExfatSectorShift, 1);
    if (length == 0 || shift < 9 || shift > 12 || length > (UINT64_MAX >> shift))
      return std::nullopt;
    return length << shift;
  }
  if (const auto fat = FatLayoutOf(bootSector))
    return fat->TotalSectors * fat->BytesPerSector;
  return std::nullopt;
}

} // namespace orvanta
