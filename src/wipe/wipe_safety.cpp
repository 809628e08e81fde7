#include "wipe/wipe_safety.h"

#include <algorithm>
#include <deque>
#include <unordered_set>

#include "scan/directory_walk.h"
#include "scan/entry_decoding.h"
#include "volume/boot_sector.h"
#include "volume/directory_reads.h"
#include "volume/fat_entries.h"

namespace orvanta {

namespace {

enum Owner : std::uint8_t { kUnclaimed = 0, kFolder = 1, kFile = 2 };

// The media entry that begins every FAT: the media byte (0xF0 to 0xFF) in
// the low byte, every other bit of the entry set.
bool IsMediaEntry(std::uint32_t entry, int fatType) {
  const std::uint32_t high = fatType == kFat16 ? 0xFF00 : 0x0FFFFF00;
  return (FatEntryValue(entry, fatType) & high) == high && (entry & 0xFF) >= 0xF0;
}

} // namespace

WipeFinding WipeSafety::Check() {
  if (auto finding = CheckGeometry())
    return finding;
  return CheckTree();
}

WipeFinding WipeSafety::CheckGeometry() {
  const auto &g = volume_.Geometry();
  if (g.FatCount < 1)
    return {WipeHazard::NoFat, {}};
  // Reading stands in the reserved-sector count for a cluster size of 0;
  // a wipe does not guess where clusters lie.
  const unsigned clusterField = ParseBootSector(volume_.BootSectorBytes()).SectorsPerCluster;
  if (clusterField == 0 || (clusterField & (clusterField - 1)) != 0)
    return {WipeHazard::ClusterSize, {}};
  // The boot sector is sector 0: the first FAT begins after it.
  const std::int64_t dataStart = g.RootStartSector + (g.FatType == kFat16 ? g.RootSectors : 0);
  std::int64_t end = g.TotalSectors;
  if (const auto size = volume_.DeviceSizeBytes(); size && g.BytesPerSector > 0)
    end = std::min<std::int64_t>(end, static_cast<std::int64_t>(*size / std::uint64_t(g.BytesPerSector)));
  if (g.ReservedSectors < 1 || g.SectorsPerCluster <= 0 || dataStart >= end)
    return {WipeHazard::DataOutside, {}};
  // Every cluster the volume states needs its entry in each FAT.
  const std::int64_t clusters = (g.TotalSectors - dataStart) / g.SectorsPerCluster;
  if (clusters < 1)
    return {WipeHazard::DataOutside, {}};
  const std::int64_t last = clusters + 1;
  const std::int64_t highest = g.FatType == kFat16 ? 0xFFF6 : kMaxFat32Cluster;
  if (last > highest || static_cast<std::int64_t>(volume_.FatEntryCount()) < last + 1)
    return {WipeHazard::FatTooSmall, {}};
  lastCluster_ = static_cast<std::uint32_t>(last);
  const auto media = volume_.FatEntry(0);
  if (!media || !IsMediaEntry(*media, g.FatType))
    return {WipeHazard::FatMisplaced, {}};
  if (g.FatType == kFat32) {
    // The field itself: reading falls back to cluster 2 where it names none.
    const auto field = ParseBootSector(volume_.BootSectorBytes()).RootCluster;
    if (field < 2 || field > lastCluster_)
      return {WipeHazard::RootClusterOutside, {}};
  }
  return {};
}

WipeFinding WipeSafety::CheckTree() {
  const auto &g = volume_.Geometry();
  owner_.assign(std::size_t{lastCluster_} + 1, kUnclaimed);
  const std::string root = g.DrivePath + "\\";
  std::deque<Folder> folders{{g.FatType == kFat32 ? g.RootCluster : 0, root}};
  while (!folders.empty()) {
    const Folder folder = std::move(folders.front());
    folders.pop_front();
    std::vector<std::uint32_t> chain;
    if (auto finding = FolderClusters(folder, chain))
      return finding;
    std::vector<std::uint8_t> bytes;
    const bool read = folder.First == 0 ? ReadRootDirectory(volume_, bytes)
                                        : ReadClusters(volume_, chain, bytes);
    if (!read)
      continue; // what cannot be read, the wipe cannot change either
    const bool isRoot = folder.Path == root;
    if (!isRoot) {
      // A folder begins with "." naming its own cluster, then "..".
      if (!BeginsWithDotPair(bytes) || !(bytes[dir_entry::kAttributes] & dir_entry::kDirectory) ||
          EntryFirstCluster(std::span(bytes).first(dir_entry::kSize), g.FatType) != folder.First)
        return {WipeHazard::FolderStart, folder.Path};
    }
    EntryWalker walker(g.FatType);
    const std::size_t from = isRoot ? 0 : kNamedEntriesOffset;
    for (std::size_t at = from; at + dir_entry::kSize <= bytes.size(); at += dir_entry::kSize) {
      const auto raw = std::span<const std::uint8_t>(bytes).subspan(at, dir_entry::kSize);
      if (raw[0] == dir_entry::kEnd)
        break;
      const auto entry = walker.Examine(raw);
      if (!entry || entry->IsDeleted() || entry->IsLabel() || !entry->Named())
        continue;
      const std::string path = folder.Path + entry->Name;
      if (entry->IsDirectory) {
        if (entry->FirstCluster < 2 || entry->FirstCluster > lastCluster_)
          return {WipeHazard::FolderChainBroken, path + "\\"};
        folders.push_back({entry->FirstCluster, path + "\\"});
      } else if (auto finding = FileChain(entry->FirstCluster, entry->Size, path)) {
        return finding;
      }
    }
  }
  // A cluster in use that the tree does not reach: lost chains, or a
  // geometry that reads the folders somewhere else than the FAT describes.
  for (std::uint32_t c = 2; c <= lastCluster_; ++c) {
    const auto entry = volume_.FatEntry(c);
    if (owner_[c] == kUnclaimed && entry && !IsFreeEntry(*entry, g.FatType) &&
        !IsBadCluster(*entry, g.FatType))
      return {WipeHazard::LostClusters, {}};
  }
  return {};
}

// The folder's chain, claimed for it: from its first cluster to an
// end-of-chain entry, every cluster a data cluster in use, none twice and
// none another chain's. The FAT16 root region has no chain.
WipeFinding WipeSafety::FolderClusters(const Folder &folder, std::vector<std::uint32_t> &chain) {
  if (folder.First == 0)
    return {};
  const auto &g = volume_.Geometry();
  // No folder holds more entries than this.
  const std::size_t most =
      std::max<std::size_t>(1, kMaxDirectoryEntries * dir_entry::kSize / std::size_t(g.BytesPerCluster));
  std::unordered_set<std::uint32_t> own;
  for (std::uint32_t c = folder.First;;) {
    if (c < 2 || c > lastCluster_ || own.count(c) || chain.size() == most)
      return {WipeHazard::FolderChainBroken, folder.Path};
    if (owner_[c] != kUnclaimed)
      return {WipeHazard::ChainsShared, folder.Path};
    const auto entry = volume_.FatEntry(c);
    if (!entry || IsFreeEntry(*entry, g.FatType) || IsBadCluster(*entry, g.FatType))
      return {WipeHazard::FolderChainBroken, folder.Path};
    own.insert(c);
    chain.push_back(c);
    if (IsEndOfChain(*entry, g.FatType))
      break;
    c = FatEntryValue(*entry, g.FatType);
  }
  for (const auto c : chain)
    owner_[c] = kFolder;
  return {};
}

// A file's chain, claimed for it: exactly as many clusters as its size
// needs (none for an empty file), ending in an end-of-chain entry.
WipeFinding WipeSafety::FileChain(std::uint32_t first, std::uint32_t size, const std::string &path) {
  const auto &g = volume_.Geometry();
  const auto clusterBytes = std::uint64_t(g.BytesPerCluster);
  const std::uint64_t needed = (std::uint64_t{size} + clusterBytes - 1) / clusterBytes;
  if (needed == 0)
    return first == 0 ? WipeFinding{} : WipeFinding{WipeHazard::FileChain, path};
  std::uint64_t count = 0;
  for (std::uint32_t c = first;;) {
    if (c < 2 || c > lastCluster_ || ++count > needed)
      return {WipeHazard::FileChain, path};
    if (owner_[c] != kUnclaimed)
      return {WipeHazard::ChainsShared, path};
    owner_[c] = kFile;
    const auto entry = volume_.FatEntry(c);
    if (!entry || IsFreeEntry(*entry, g.FatType) || IsBadCluster(*entry, g.FatType))
      return {WipeHazard::FileChain, path};
    if (IsEndOfChain(*entry, g.FatType))
      break;
    c = FatEntryValue(*entry, g.FatType);
  }
  return count == needed ? WipeFinding{} : WipeFinding{WipeHazard::FileChain, path};
}

} // namespace orvanta
