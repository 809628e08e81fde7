#pragma once

#include <cstddef>
#include <cstdint>

namespace orvanta::exfat {

// Offsets of the exFAT boot sector's fields.
namespace boot {
inline constexpr std::size_t kFileSystemName = 3;         // 8 bytes, "EXFAT   "
inline constexpr std::size_t kMustBeZero = 11;            // 53 bytes
inline constexpr std::size_t kMustBeZeroLength = 53;
inline constexpr std::size_t kVolumeLength = 72;          // 8
inline constexpr std::size_t kFatOffset = 80;             // 4
inline constexpr std::size_t kFatLength = 84;             // 4
inline constexpr std::size_t kClusterHeapOffset = 88;     // 4
inline constexpr std::size_t kClusterCount = 92;          // 4
inline constexpr std::size_t kRootCluster = 96;           // 4
inline constexpr std::size_t kVolumeFlags = 106;          // 2
inline constexpr std::size_t kBytesPerSectorShift = 108;  // 1
inline constexpr std::size_t kSectorsPerClusterShift = 109; // 1
inline constexpr std::size_t kNumberOfFats = 110;         // 1
inline constexpr std::size_t kPercentInUse = 112;         // 1
inline constexpr std::size_t kBootSignature = 510;        // 2, 0xAA55
// The boot region: the boot sector, eight extended boot sectors, the OEM
// parameters, a reserved sector, then the checksum sector; the backup
// region follows it.
inline constexpr std::uint32_t kRegionSectors = 12;
inline constexpr std::uint32_t kChecksumSector = 11;
} // namespace boot

// Directory entries: 32 bytes each, grouped into sets.
inline constexpr std::size_t kEntryBytes = 32;

namespace entry {
inline constexpr std::uint8_t kEndOfDirectory = 0x00;
inline constexpr std::uint8_t kInUse = 0x80;
inline constexpr std::uint8_t kAllocationBitmap = 0x81;
inline constexpr std::uint8_t kUpcaseTable = 0x82;
inline constexpr std::uint8_t kVolumeLabel = 0x83;
inline constexpr std::uint8_t kFile = 0x85;
inline constexpr std::uint8_t kStreamExtension = 0xC0;
inline constexpr std::uint8_t kFileName = 0xC1;

// File entry.
inline constexpr std::size_t kSecondaryCount = 1;      // 1
inline constexpr std::size_t kSetChecksum = 2;         // 2
inline constexpr std::size_t kFileAttributes = 4;      // 2
inline constexpr std::size_t kLastModified = 12;       // 4
inline constexpr std::size_t kLastModified10ms = 21;   // 1
inline constexpr std::size_t kLastModifiedUtcOffset = 23; // 1
inline constexpr std::uint16_t kDirectoryAttribute = 0x10;

// Stream extension.
inline constexpr std::size_t kGeneralSecondaryFlags = 1; // 1
inline constexpr std::size_t kNameLength = 3;            // 1
inline constexpr std::size_t kValidDataLength = 8;       // 8
inline constexpr std::size_t kFirstCluster = 20;         // 4 (also bitmap, up-case)
inline constexpr std::size_t kDataLength = 24;           // 8 (also bitmap, up-case)
inline constexpr std::uint8_t kNoFatChainFlag = 0x02;

// File name entry: 15 UTF-16 units from byte 2.
inline constexpr std::size_t kFileNameChars = 2;
inline constexpr std::size_t kCharsPerNameEntry = 15;
inline constexpr std::size_t kMaxNameLength = 255;
// A file set: the file entry, its stream extension and 1 to 17 name entries.
inline constexpr std::size_t kMaxSecondaryCount = 18;
} // namespace entry

// FAT entry values.
inline constexpr std::uint32_t kBadCluster = 0xFFFFFFF7;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFF;
// The first cluster of the heap.
inline constexpr std::uint32_t kFirstHeapCluster = 2;

} // namespace orvanta::exfat
