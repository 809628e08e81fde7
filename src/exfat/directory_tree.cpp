#include "exfat/directory_tree.h"

#include <algorithm>
#include <unordered_map>

#include "engine/text.h"

namespace orvanta::exfat {
namespace {

std::size_t DirectoryClusterLimit(const Volume &volume) {
  return static_cast<std::size_t>(kMaxDirectoryBytes /
                                  std::uint64_t(std::max(volume.Geometry().BytesPerCluster, 1)));
}

// The live tree read on demand: each directory once, by its first cluster.
class ExfatLiveView final : public LiveView {
public:
  explicit ExfatLiveView(Volume &volume) : volume_(volume) {}

  bool FolderExists(std::string_view folderPath) override {
    return Resolve(PathComponents(folderPath)).has_value();
  }
  bool FileExists(std::string_view filePath) override {
    auto names = PathComponents(filePath);
    if (names.empty())
      return false;
    const std::string last = FoldCase(names.back());
    names.pop_back();
    const auto dir = Resolve(names);
    if (!dir)
      return false;
    const auto &listing = ListingOf(*dir);
    return std::any_of(listing.begin(), listing.end(), [&](const Entry &e) {
      return !e.Live.IsDirectory && FoldCase(e.Live.Name) == last;
    });
  }
  std::optional<std::vector<LiveEntry>> List(std::string_view folderPath) override {
    const auto dir = Resolve(PathComponents(folderPath));
    if (!dir)
      return std::nullopt;
    std::vector<LiveEntry> out;
    for (const auto &e : ListingOf(*dir))
      out.push_back(e.Live);
    return out;
  }

private:
  struct Entry {
    LiveEntry Live;
    std::vector<std::uint32_t> Clusters; // of a folder's directory
  };

  const std::vector<Entry> &ListingOf(const std::vector<std::uint32_t> &clusters) {
    const std::uint32_t key = clusters.empty() ? 0 : clusters.front();
    if (const auto it = listings_.find(key); it != listings_.end())
      return it->second;
    std::vector<Entry> entries;
    std::vector<std::uint8_t> bytes;
    if (ReadClusterList(volume_, clusters, bytes))
      ForEachEntrySet(bytes, [&](const EntrySet &set) {
        if (set.Deleted)
          return true;
        Entry e{{ComponentName(set.Name), set.IsDirectory, set.FirstCluster}, {}};
        if (set.IsDirectory)
          e.Clusters = DirectoryClusters(volume_, AllocationBitmap(), set);
        entries.push_back(std::move(e));
        return true;
      });
    return listings_.emplace(key, std::move(entries)).first->second;
  }

  std::optional<std::vector<std::uint32_t>> Resolve(const std::vector<std::string> &names) {
    std::vector<std::uint32_t> dir = RootClusters(volume_);
    for (const auto &name : names) {
      const std::string folded = FoldCase(name);
      const auto &listing = ListingOf(dir);
      const auto it = std::find_if(listing.begin(), listing.end(), [&](const Entry &e) {
        return e.Live.IsDirectory && !e.Clusters.empty() && FoldCase(e.Live.Name) == folded;
      });
      if (it == listing.end())
        return std::nullopt;
      dir = it->Clusters;
    }
    return dir;
  }

  Volume &volume_;
  std::unordered_map<std::uint32_t, std::vector<Entry>> listings_;
};

} // namespace

std::string ComponentName(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '_');
  return name;
}

std::vector<std::uint32_t> DirectoryClusters(const Volume &volume, const AllocationBitmap &bitmap,
                                             const EntrySet &folder) {
  return ClustersOf(volume, folder.FirstCluster, std::min(folder.DataLength, kMaxDirectoryBytes),
                    folder.NoFatChain, folder.Deleted ? &bitmap : nullptr,
                    DirectoryClusterLimit(volume))
      .List;
}

std::vector<carve::ClusterRun> RunsOf(const std::vector<std::uint32_t> &clusters) {
  std::vector<carve::ClusterRun> runs;
  for (const auto c : clusters) {
    if (!runs.empty() && runs.back().First + runs.back().Count == c)
      ++runs.back().Count;
    else
      runs.push_back({c, 1});
  }
  return runs;
}

namespace {

// Whether the device holds the sectors of the runs, as far as `length` bytes
// go (always when its size is unknown).
bool RunsOnDevice(const Volume &volume, const std::vector<carve::ClusterRun> &runs,
                  std::uint64_t length) {
  const auto &g = volume.Geometry();
  if (g.DeviceSectors <= 0 || g.BytesPerSector <= 0)
    return true;
  const BootGeometry boot = BootOf(g);
  const auto sectorBytes = static_cast<std::uint64_t>(g.BytesPerSector);
  for (const auto &run : runs) {
    if (length == 0)
      break;
    const std::uint64_t bytes = std::min<std::uint64_t>(length, run.Count * boot.BytesPerCluster());
    const std::uint64_t first = boot.ClusterSector(run.First);
    const std::uint64_t count = (bytes + sectorBytes - 1) / sectorBytes;
    if (first > std::uint64_t(g.DeviceSectors) || count > std::uint64_t(g.DeviceSectors) - first)
      return false;
    length -= bytes;
  }
  return true;
}

FileLayout ClusterLayout(const Volume &volume, const AllocationBitmap &bitmap, const EntrySet &file) {
  FileLayout layout;
  const std::size_t limit = static_cast<std::size_t>(volume.Geometry().HeapClusters);
  if (file.NoFatChain || !file.Deleted) {
    const Clusters all =
        ClustersOf(volume, file.FirstCluster, file.DataLength, file.NoFatChain, nullptr, limit);
    layout.Runs = RunsOf(all.List);
    if (file.Deleted) {
      const auto used = std::count_if(all.List.begin(), all.List.end(),
                                      [&](std::uint32_t c) { return bitmap.InUse(c); });
      if (all.List.empty() || bitmap.InUse(all.List.front()))
        layout.Condition = FileCondition::Overwritten;
      else if (used > 0 || all.Short)
        layout.Condition = FileCondition::Partly;
    }
    return layout;
  }
  const Clusters free =
      ClustersOf(volume, file.FirstCluster, file.DataLength, false, &bitmap, limit);
  if (free.List.empty()) {
    // Taken by a later file: what the FAT still says, for what it is worth.
    layout.Runs =
        RunsOf(ClustersOf(volume, file.FirstCluster, file.DataLength, false, nullptr, limit).List);
    layout.Condition = FileCondition::Overwritten;
    return layout;
  }
  layout.Runs = RunsOf(free.List);
  layout.Condition = free.Short ? FileCondition::Partly : FileCondition::Intact;
  return layout;
}

} // namespace

FileLayout LayoutOf(const Volume &volume, const AllocationBitmap &bitmap, const EntrySet &file) {
  FileLayout layout = ClusterLayout(volume, bitmap, file);
  // An image cut short holds only part of a file that runs past its end.
  if (layout.Condition == FileCondition::Intact &&
      !RunsOnDevice(volume, layout.Runs, file.DataLength))
    layout.Condition = FileCondition::Partly;
  return layout;
}

std::unique_ptr<LiveView> MakeExfatLiveView(Volume &volume) {
  if (Device *device = volume.CurrentDevice())
    if (const auto mount = device->MountPoint())
      return std::make_unique<MountedView>(*mount);
  return std::make_unique<ExfatLiveView>(volume);
}

} // namespace orvanta::exfat
