#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace orvanta::exfat {

// A timestamp of a file entry: local time to the 10 ms, and the zone it was
// written in when the entry records one.
struct Timestamp {
  std::uint16_t Year = 1980;
  std::uint8_t Month = 0;
  std::uint8_t Day = 0;
  std::uint8_t Hour = 0;
  std::uint8_t Minute = 0;
  std::uint8_t Second = 0;       // 0 to 59 with the 10 ms field's whole seconds
  std::uint8_t Centiseconds = 0; // 0 to 99
  std::optional<int> UtcOffsetMinutes;
};

// A 32-bit timestamp field with its 10 ms increment (0 to 199) and its UTC
// offset byte (bit 7 set: valid, bits 0-6 a signed count of 15 minutes).
Timestamp DecodeTimestamp(std::uint32_t stamp, std::uint8_t tenMs, std::uint8_t utcOffset);

// One file or folder: a File entry, its Stream Extension and File Name
// entries, in use or deleted together.
struct EntrySet {
  std::size_t Offset = 0;  // of the File entry in its directory
  std::size_t Entries = 0; // 1 + its secondary count
  bool Deleted = false;
  bool IsDirectory = false;
  std::string Name;        // UTF-8
  Timestamp Modified;
  bool NoFatChain = false;
  std::uint32_t FirstCluster = 0;
  std::uint64_t DataLength = 0;
  std::uint64_t ValidDataLength = 0;
};

// The set checksum over `set`'s bytes, bytes 2 and 3 of the first entry
// left out.
std::uint16_t SetChecksum(std::span<const std::uint8_t> set);

// The set whose File entry lies at `offset` of a directory's bytes: a File
// entry in use (0x85) or deleted (0x05), a Stream Extension and enough name
// entries for its name length, every entry of the same state, the whole set
// inside the bytes; its checksum must hold with the InUse bits set again,
// so that a deleted set whose slots a later file took in part is refused.
std::optional<EntrySet> ParseEntrySet(std::span<const std::uint8_t> directory, std::size_t offset);

// Walks a directory's entries from the start to its end-of-directory entry
// (or the end of the bytes), handing every sound set, in use or deleted, to
// `visit`; entries of no sound set are passed over one by one. `visit`
// returns false to end the walk. The walk's own end: true at the end of the
// directory, false when `visit` ended it.
bool ForEachEntrySet(std::span<const std::uint8_t> directory,
                     const std::function<bool(const EntrySet &)> &visit);

} // namespace orvanta::exfat
