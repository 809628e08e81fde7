#include <unordered_set>

#include "engine/rounding.h"
#include "exfat/directory_tree.h"
#include "exfat/exfat_scans.h"
#include "exfat/found_rows.h"

namespace orvanta::exfat {
namespace {

struct PendingFolder {
  std::string Path; // "E:\a\b\"
  std::vector<std::uint32_t> Clusters;
  bool Deleted = false;
  std::size_t Depth = 0;
};

} // namespace

void RunExfatQuickScan(FindContext &ctx) {
  Volume &volume = ctx.State.Vol;
  const AllocationBitmap bitmap = ReadAllocationBitmap(volume).value_or(AllocationBitmap());
  std::vector<PendingFolder> folders{
      {volume.Geometry().DrivePath + "\\", RootClusters(volume), false, 0}};
  std::unordered_set<std::uint32_t> scanned;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    ctx.Host.Pump();
    if (!ctx.Host.Running())
      return;
    ctx.Host.AdvanceProgress(std::int64_t(i), std::int64_t(folders.size()));
    const PendingFolder folder = folders[i]; // the list grows below
    if (folder.Clusters.empty() || !scanned.insert(folder.Clusters.front()).second)
      continue;
    std::vector<std::uint8_t> bytes;
    if (!ReadClusterList(volume, folder.Clusters, bytes))
      continue;
    ForEachEntrySet(bytes, [&](const EntrySet &set) {
      ctx.Host.Pump();
      if (!ctx.Host.Running())
        return false;
      if (set.IsDirectory) {
        if (folder.Depth + 1 < kMaxFolderDepth)
          folders.push_back({folder.Path + ComponentName(set.Name) + "\\",
                             DirectoryClusters(volume, bitmap, set), folder.Deleted || set.Deleted,
                             folder.Depth + 1});
      } else if (set.Deleted || folder.Deleted) {
        if (auto row = FoundRowOf(ctx, bitmap, set, '0'))
          RecordFoundFile(ctx, folder.Path, std::move(*row));
      }
      return true;
    });
  }
}

} // namespace orvanta::exfat
