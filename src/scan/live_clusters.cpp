#include "scan/live_clusters.h"

#include <algorithm>
#include <unordered_set>

#include "engine/operation_host.h"
#include "scan/entry_decoding.h"
#include "volume/directory_reads.h"
#include "volume/fat_entries.h"
#include "volume/file_clusters.h"

namespace orvanta {

void LiveClusters::MarkChain(const Volume &vol, std::uint32_t first) {
  const int type = vol.Geometry().FatType;
  // Each cluster is marked once, so a chain that loops ends.
  for (std::uint32_t c = first; c >= 2 && c < held_.size() && !held_[c];) {
    held_[c] = true;
    const auto entry = vol.FatEntry(c);
    if (!entry)
      break;
    if (IsFreeEntry(*entry, type) || IsBadCluster(*entry, type) || IsEndOfChain(*entry, type))
      break;
    c = FatEntryValue(*entry, type);
  }
}

LiveClusters LiveClusters::Of(Volume &vol, OperationHost *host) {
  LiveClusters live;
  const auto &g = vol.Geometry();
  const std::int64_t last = LastDataCluster(g);
  if (last < 2 || g.BytesPerCluster <= 0)
    return live;
  // Only clusters with an entry in the FAT can be chained: a damaged
  // sector count does not decide the size.
  live.held_.assign(static_cast<std::size_t>(
                        std::min<std::uint64_t>(std::uint64_t(last) + 1, vol.FatEntryCount())),
                    false);
  if (g.FatType != kFat16)
    live.MarkChain(vol, g.RootCluster);
  std::vector<std::uint32_t> pending = {0}; // 0: the root
  std::unordered_set<std::uint32_t> listed = {0};
  std::vector<std::uint8_t> bytes;
  while (!pending.empty()) {
    const std::uint32_t dir = pending.back();
    pending.pop_back();
    if (host)
      host->Pump();
    const bool read = dir == 0 ? ReadRootDirectory(vol, bytes)
                               : ReadDirectory(vol, dir, std::size_t(g.BytesPerCluster), bytes);
    if (!read)
      continue;
    EntryWalker walker(g.FatType);
    for (std::size_t at = 0; at + dir_entry::kSize <= bytes.size(); at += dir_entry::kSize) {
      const std::span<const std::uint8_t> raw(bytes.data() + at, dir_entry::kSize);
      if (raw[0] == dir_entry::kEnd)
        break;
      const auto e = walker.Examine(raw);
      if (!e || e->IsDeleted() || !e->Named() || e->IsLabel())
        continue;
      live.MarkChain(vol, e->FirstCluster);
      if (e->IsDirectory && e->FirstCluster >= 2 && listed.insert(e->FirstCluster).second)
        pending.push_back(e->FirstCluster);
    }
  }
  return live;
}

} // namespace orvanta
