#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "carve/cluster_run.h"
#include "exfat/entry_sets.h"
#include "exfat/exfat_volume.h"
#include "scan/file_condition.h"
#include "scan/live_view.h"

namespace orvanta::exfat {

// A name as a path component: no backslash, which would split it.
std::string ComponentName(std::string name);

// The clusters of a folder's directory as its set states them: a live
// folder's run or chain; a deleted folder's run, or its chain as long as
// the bitmap shows the clusters free.
std::vector<std::uint32_t> DirectoryClusters(const Volume &volume, const AllocationBitmap &bitmap,
                                             const EntrySet &folder);

// Where a file's bytes lie and how much of them a later file took: a
// NoFatChain file is one run of its length, whatever the bitmap says; a
// chained file follows its FAT chain while the bitmap shows the clusters
// free (a deleted file) or all along (a live one). Intact when no cluster
// is in use by something else, Overwritten when the first is, Partly
// otherwise (a cluster in use, or a chain that ends short).
struct FileLayout {
  std::vector<carve::ClusterRun> Runs;
  FileCondition Condition = FileCondition::Intact;
};
FileLayout LayoutOf(const Volume &volume, const AllocationBitmap &bitmap, const EntrySet &file);

// The clusters as runs of clusters that follow one another.
std::vector<carve::ClusterRun> RunsOf(const std::vector<std::uint32_t> &clusters);

// The live view of an exFAT volume that nothing has mounted: its sets in
// use, from the root down, names compared without regard to case.
std::unique_ptr<LiveView> MakeExfatLiveView(Volume &volume);

} // namespace orvanta::exfat
