#include "exfat/exfat_wipe.h"

#include <algorithm>

#include "engine/rounding.h"
#include "exfat/directory_tree.h"
#include "exfat/exfat_format.h"
#include "scan/find_context.h"

namespace orvanta::exfat {

ExfatWipe::ExfatWipe(FindState &state, OperationHost &host) : state_(state), host_(host) {
  if (auto bitmap = ReadAllocationBitmap(state_.Vol)) {
    bitmap_ = std::move(*bitmap);
    haveBitmap_ = true;
  }
}

void ExfatWipe::CountGone(const std::string &path, const std::string &name) {
  host_.Log(path + name);
  ++state_.FoundCount;
  host_.SetCounter(state_.FoundCount);
}

void ExfatWipe::WriteChanged(const std::vector<std::uint32_t> &clusters,
                             const std::vector<std::uint8_t> &before,
                             const std::vector<std::uint8_t> &after) {
  Volume &volume = state_.Vol;
  const BootGeometry boot = BootOf(volume.Geometry());
  const std::size_t sectorBytes = boot.BytesPerSector();
  const std::size_t perCluster = boot.SectorsPerCluster();
  for (std::size_t i = 0; i < clusters.size(); ++i)
    for (std::size_t s = 0; s < perCluster; ++s) {
      const std::size_t at = (i * perCluster + s) * sectorBytes;
      if (at + sectorBytes > after.size())
        return;
      if (std::equal(after.begin() + std::ptrdiff_t(at),
                     after.begin() + std::ptrdiff_t(at + sectorBytes),
                     before.begin() + std::ptrdiff_t(at)))
        continue;
      const std::span<const std::uint8_t> sector(after.data() + at, sectorBytes);
      if (!volume.WriteSectors(boot.ClusterSector(clusters[i]) + s, sector)) {
        ++failedWrites_;
        return;
      }
    }
}

void ExfatWipe::Purge(const Folder &folder, std::vector<Folder> &queue) {
  Volume &volume = state_.Vol;
  if (folder.Clusters.empty() || !purged_.insert(folder.Clusters.front()).second)
    return;
  std::vector<std::uint8_t> before;
  if (!ReadClusterList(volume, folder.Clusters, before))
    return;
  const std::size_t depth = PathComponents(folder.Path).size();
  auto queueFolder = [&](const EntrySet &set) {
    if (depth + 1 < kMaxFolderDepth)
      queue.push_back({folder.Path + ComponentName(set.Name) + "\\",
                       DirectoryClusters(volume, bitmap_, set), folder.Deleted || set.Deleted});
  };
  std::vector<std::uint8_t> after(before.size(), 0);
  if (folder.Deleted) {
    // A deleted folder: its files are gone with it, its sub-folders are
    // purged in turn, and its clusters (all free) become zeros.
    ForEachEntrySet(before, [&](const EntrySet &set) {
      set.IsDirectory ? queueFolder(set) : CountGone(folder.Path, set.Name);
      return true;
    });
  } else {
    // Entries in use keep their order at the front; sets of deleted files
    // are counted, deleted folders purged in turn.
    std::size_t kept = 0;
    for (std::size_t at = 0; at + kEntryBytes <= before.size();) {
      const std::uint8_t type = before[at];
      if (type == entry::kEndOfDirectory)
        break;
      if (const auto set = ParseEntrySet(before, at)) {
        if (set->IsDirectory)
          queueFolder(*set);
        else if (set->Deleted)
          CountGone(folder.Path, set->Name);
        if (!set->Deleted) {
          std::copy_n(before.begin() + std::ptrdiff_t(at), set->Entries * kEntryBytes,
                      after.begin() + std::ptrdiff_t(kept));
          kept += set->Entries * kEntryBytes;
        }
        at += set->Entries * kEntryBytes;
        continue;
      }
      if (type & entry::kInUse) {
        std::copy_n(before.begin() + std::ptrdiff_t(at), kEntryBytes,
                    after.begin() + std::ptrdiff_t(kept));
        kept += kEntryBytes;
      }
      at += kEntryBytes;
    }
  }
  WriteChanged(folder.Clusters, before, after);
}

bool ExfatWipe::PurgeDirectories() {
  // Without a bitmap nothing can be told free: no folder is purged.
  if (!haveBitmap_)
    return host_.Running();
  Volume &volume = state_.Vol;
  std::vector<Folder> queue{{volume.Geometry().DrivePath + "\\", RootClusters(volume), false}};
  for (std::size_t i = 0; i < queue.size(); ++i) {
    host_.Pump();
    if (!host_.Running())
      return false;
    host_.AdvanceProgress(std::int64_t(i), std::int64_t(queue.size()));
    const Folder folder = queue[i]; // the queue grows
    Purge(folder, queue);
  }
  return host_.Running();
}

bool ExfatWipe::WipeFreeClusters() {
  if (!haveBitmap_)
    return host_.Running();
  Volume &volume = state_.Vol;
  const BootGeometry boot = BootOf(volume.Geometry());
  const std::uint64_t clusterBytes = boot.BytesPerCluster();
  const std::uint32_t batch =
      static_cast<std::uint32_t>(std::max<std::uint64_t>(1, (4u << 20) / clusterBytes));
  const std::vector<std::uint8_t> zeros(std::size_t(clusterBytes) * batch, 0);
  const std::uint64_t last = boot.LastCluster();
  for (std::uint64_t c = 2; c <= last;) {
    host_.Pump();
    if (!host_.Running())
      return false;
    passPercent_ = ProgressPercent({std::int64_t(c - 2), std::int64_t(boot.ClusterCount)});
    host_.MoveProgress(std::int64_t(c - 2), std::int64_t(boot.ClusterCount));
    host_.SetCounter(std::int64_t(c));
    if (bitmap_.InUse(c)) {
      ++c;
      continue;
    }
    std::uint64_t n = 1;
    while (n < batch && c + n <= last && !bitmap_.InUse(c + n))
      ++n;
    const std::span<const std::uint8_t> run(zeros.data(), std::size_t(n * clusterBytes));
    if (!volume.WriteSectors(boot.ClusterSector(std::uint32_t(c)), run))
      ++failedWrites_;
    c += n;
  }
  passPercent_ = 100;
  return host_.Running();
}

} // namespace orvanta::exfat
