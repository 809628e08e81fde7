#include "platform/partition_table.h"

#include <algorithm>
#include <set>
#include <span>

#include "platform/boot_sector_probe.h"
#include "platform/little_endian.h"

namespace orvanta {
namespace {

constexpr std::size_t kMbrEntries = 446;
constexpr std::size_t kMbrEntrySize = 16;
constexpr std::size_t kMbrSignature = 510;
constexpr std::uint8_t kProtectiveType = 0xEE;
constexpr int kFirstLogicalNumber = 5;
// No real disk has more logical partitions or GPT entries than this.
constexpr int kMaxLogical = 128;
constexpr std::uint64_t kMaxGptEntries = 1024;

using platform::Le;

bool IsExtended(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

std::optional<std::vector<std::uint8_t>> ReadAt(Device &device, std::uint64_t offset,
                                                std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  if (!device.Read(offset, bytes))
    return std::nullopt;
  return bytes;
}

struct MbrSlot {
  std::uint8_t Status = 0, Type = 0;
  std::uint64_t Start = 0, Count = 0;
};

MbrSlot Slot(std::span<const std::uint8_t> sector, int index) {
  const std::size_t at = kMbrEntries + kMbrEntrySize * static_cast<std::size_t>(index);
  return {static_cast<std::uint8_t>(Le(sector, at, 1)), static_cast<std::uint8_t>(Le(sector, at + 4, 1)),
          Le(sector, at + 8, 4), Le(sector, at + 12, 4)};
}

bool MbrShaped(std::span<const std::uint8_t> sector) {
  if (sector.size() < 512 || sector[kMbrSignature] != 0x55 || sector[kMbrSignature + 1] != 0xAA)
    return false;
  for (int i = 0; i < 4; ++i)
    if (const auto status = Slot(sector, i).Status; status != 0 && status != 0x80)
      return false;
  return true;
}

// The logical partitions of an extended partition: a chain of extended boot
// records, each holding one partition (relative to itself) and the next
// record (relative to the extended partition).
void ReadLogical(Device &device, std::uint32_t s, std::uint64_t extendedStart,
                 std::vector<PartitionEntry> &out) {
  std::set<std::uint64_t> visited;
  std::uint64_t record = extendedStart;
  for (int number = kFirstLogicalNumber; number < kFirstLogicalNumber + kMaxLogical; ++number) {
    if (!visited.insert(record).second)
      return;
    const auto sector = ReadAt(device, record * s, s);
    if (!sector || !MbrShaped(*sector))
      return;
    if (const MbrSlot part = Slot(*sector, 0); part.Type != 0 && part.Count != 0)
      out.push_back({number, (record + part.Start) * s, part.Count * s});
    const MbrSlot next = Slot(*sector, 1);
    if (!IsExtended(next.Type) || next.Start == 0)
      return;
    record = extendedStart + next.Start;
  }
}

std::vector<PartitionEntry> ReadGpt(Device &device, std::uint32_t s) {
  std::vector<PartitionEntry> out;
  const auto header = ReadAt(device, s, s);
  if (!header || Le(*header, 0, 8) != 0x5452415020494645ull) // "EFI PART"
    return out;
  const std::uint64_t entriesAt = Le(*header, 72, 8);
  const std::uint64_t count = Le(*header, 80, 4);
  const std::uint64_t entrySize = Le(*header, 84, 4);
  if (entriesAt < 2 || count == 0 || count > kMaxGptEntries || entrySize < 128 ||
      entrySize > 4096 || entrySize % 8 != 0 || entriesAt > UINT64_MAX / s)
    return out;
  const std::uint64_t bytes = (count * entrySize + s - 1) / s * s;
  const auto entries = ReadAt(device, entriesAt * s, static_cast<std::size_t>(bytes));
  if (!entries)
    return out;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::span<const std::uint8_t> entry(entries->data() + i * entrySize, entrySize);
    if (Le(entry, 0, 8) == 0 && Le(entry, 8, 8) == 0) // no type: an unused entry
      continue;
    const std::uint64_t first = Le(entry, 32, 8), last = Le(entry, 40, 8);
    if (last < first || last >= UINT64_MAX / s)
      continue;
    out.push_back({static_cast<int>(i + 1), first * s, (last - first + 1) * s});
  }
  return out;
}

} // namespace

bool HasProtectiveMbr(Device &device) {
  const auto sector = ReadAt(device, 0, 512);
  return sector && MbrShaped(*sector) && Slot(*sector, 0).Type == kProtectiveType;
}

std::vector<PartitionEntry> ReadPartitionTable(Device &device, std::uint32_t sectorSize) {
  std::vector<PartitionEntry> out;
  if (sectorSize < 512)
    return out;
  const auto first = ReadAt(device, 0, sectorSize);
  if (!first || !MbrShaped(*first) || !FileSystemNameOf(*first).empty())
    return out;
  for (int i = 0; i < 4; ++i)
    if (Slot(*first, i).Type == kProtectiveType)
      return ReadGpt(device, sectorSize);
  for (int i = 0; i < 4; ++i) {
    const MbrSlot slot = Slot(*first, i);
    if (slot.Type == 0 || slot.Count == 0)
      continue;
    out.push_back({i + 1, slot.Start * sectorSize, slot.Count * sectorSize});
  }
  for (int i = 0; i < 4; ++i)
    if (const MbrSlot slot = Slot(*first, i); IsExtended(slot.Type) && slot.Start != 0)
      ReadLogical(device, sectorSize, slot.Start, out);
  return out;
}

} // namespace orvanta
