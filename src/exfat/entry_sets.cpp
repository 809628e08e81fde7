#include "exfat/entry_sets.h"

#include <vector>

#include "engine/text.h"
#include "exfat/exfat_format.h"
#include "volume/byte_reader.h"

namespace orvanta::exfat {

Timestamp DecodeTimestamp(std::uint32_t stamp, std::uint8_t tenMs, std::uint8_t utcOffset) {
  Timestamp t;
  t.Year = static_cast<std::uint16_t>(1980 + (stamp >> 25));
  t.Month = static_cast<std::uint8_t>((stamp >> 21) & 0x0F);
  t.Day = static_cast<std::uint8_t>((stamp >> 16) & 0x1F);
  t.Hour = static_cast<std::uint8_t>((stamp >> 11) & 0x1F);
  t.Minute = static_cast<std::uint8_t>((stamp >> 5) & 0x3F);
  const unsigned centis = (stamp & 0x1F) * 200u + (tenMs <= 199 ? tenMs : 0u);
  t.Second = static_cast<std::uint8_t>(centis / 100);
  t.Centiseconds = static_cast<std::uint8_t>(centis % 100);
  if (utcOffset & 0x80) {
    // Seven bits, two's complement.
    const int quarters = (utcOffset & 0x40) ? int(utcOffset & 0x7F) - 128 : int(utcOffset & 0x7F);
    t.UtcOffsetMinutes = quarters * 15;
  }
  return t;
}

std::uint16_t SetChecksum(std::span<const std::uint8_t> set) {
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (i == entry::kSetChecksum || i == entry::kSetChecksum + 1)
      continue;
    sum = static_cast<std::uint16_t>(((sum & 1u) ? 0x8000u : 0u) + (sum >> 1) + set[i]);
  }
  return sum;
}

std::optional<EntrySet> ParseEntrySet(std::span<const std::uint8_t> dir, std::size_t offset) {
  if (offset > dir.size() || dir.size() - offset < 3 * kEntryBytes)
    return std::nullopt;
  const std::uint8_t type = dir[offset];
  if ((type | entry::kInUse) != entry::kFile)
    return std::nullopt;
  const std::uint8_t inUse = type & entry::kInUse;
  const std::size_t secondaries = dir[offset + entry::kSecondaryCount];
  if (secondaries < 2 || secondaries > entry::kMaxSecondaryCount ||
      (dir.size() - offset) / kEntryBytes < secondaries + 1)
    return std::nullopt;
  const auto bytes = dir.subspan(offset, (secondaries + 1) * kEntryBytes);
  // Every entry of the set in the file entry's state, the second a Stream
  // Extension (checked before anything is copied: the deep scan tries
  // every entry of the heap that begins with a File type byte).
  for (std::size_t i = 0; i <= secondaries; ++i) {
    const std::uint8_t t = bytes[i * kEntryBytes];
    if ((t & entry::kInUse) != inUse || (i > 0 && !(t & 0x40)))
      return std::nullopt;
  }
  if ((bytes[kEntryBytes] | entry::kInUse) != entry::kStreamExtension)
    return std::nullopt;
  // The checksum over the set as it was while in use.
  std::vector<std::uint8_t> asInUse(bytes.begin(), bytes.end());
  for (std::size_t i = 0; i <= secondaries; ++i)
    asInUse[i * kEntryBytes] |= entry::kInUse;
  const ByteReader file(bytes);
  if (SetChecksum(asInUse) != file.Le16(entry::kSetChecksum))
    return std::nullopt;
  const ByteReader stream(bytes.subspan(kEntryBytes, kEntryBytes));
  const std::size_t nameLength = stream.U8(entry::kNameLength);
  const std::size_t nameEntries = (nameLength + entry::kCharsPerNameEntry - 1) / entry::kCharsPerNameEntry;
  if (nameLength == 0 || nameEntries > secondaries - 1)
    return std::nullopt;
  std::u16string name;
  for (std::size_t i = 0; i < nameEntries; ++i) {
    const std::size_t at = (2 + i) * kEntryBytes;
    if (asInUse[at] != entry::kFileName)
      return std::nullopt;
    const ByteReader piece(bytes.subspan(at, kEntryBytes));
    for (std::size_t c = 0; c < entry::kCharsPerNameEntry && name.size() < nameLength; ++c)
      name.push_back(static_cast<char16_t>(piece.Le16(entry::kFileNameChars + 2 * c)));
  }
  EntrySet set;
  set.Offset = offset;
  set.Entries = secondaries + 1;
  set.Deleted = inUse == 0;
  set.IsDirectory = (file.Le16(entry::kFileAttributes) & entry::kDirectoryAttribute) != 0;
  set.Name = Utf16ToUtf8(name);
  set.Modified = DecodeTimestamp(file.Le32(entry::kLastModified), file.U8(entry::kLastModified10ms),
                                 file.U8(entry::kLastModifiedUtcOffset));
  set.NoFatChain = (stream.U8(entry::kGeneralSecondaryFlags) & entry::kNoFatChainFlag) != 0;
  set.FirstCluster = stream.Le32(entry::kFirstCluster);
  set.DataLength = std::uint64_t{stream.Le32(entry::kDataLength)} |
                   std::uint64_t{stream.Le32(entry::kDataLength + 4)} << 32;
  set.ValidDataLength = std::uint64_t{stream.Le32(entry::kValidDataLength)} |
                        std::uint64_t{stream.Le32(entry::kValidDataLength + 4)} << 32;
  if (set.ValidDataLength > set.DataLength)
    set.ValidDataLength = set.DataLength;
  return set;
}

bool ForEachEntrySet(std::span<const std::uint8_t> dir,
                     const std::function<bool(const EntrySet &)> &visit) {
  std::size_t offset = 0;
  while (offset + kEntryBytes <= dir.size()) {
    if (dir[offset] == entry::kEndOfDirectory)
      return true;
    if (const auto set = ParseEntrySet(dir, offset)) {
      if (!visit(*set))
        return false;
      offset += set->Entries * kEntryBytes;
    } else {
      offset += kEntryBytes;
    }
  }
  return true;
}

} // namespace orvanta::exfat
