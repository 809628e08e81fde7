#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orvanta {

// What the first sector of a volume says of itself, read without the
// system's help: for image files, for partitions of a dump, and for raw
// volumes the system does not describe. Every field is bounds-checked; a
// sector too short for a field reads as not stating it.

// The file system whose boot sector this is, named as Device::FileSystemName
// names it: "FAT" (FAT12 and FAT16, told apart from FAT32 by the count of
// clusters), "FAT32", "exfat", "NTFS", or empty.
std::string FileSystemNameOf(std::span<const std::uint8_t> bootSector);

// The sector size the boot sector states (bytes per sector at byte 11, or
// exFAT's power of two at byte 108) when it is 512, 1024, 2048 or 4096;
// else 512. An image has no sector size of its own.
std::uint32_t StatedSectorSize(std::span<const std::uint8_t> bootSector);

// The length of the volume in bytes as its boot sector states it (FAT's
// sector counts, exFAT's volume length); nothing when it states none.
std::optional<std::uint64_t> StatedVolumeBytes(std::span<const std::uint8_t> bootSector);

} // namespace orvanta
