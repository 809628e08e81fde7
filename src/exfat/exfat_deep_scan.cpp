#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "engine/rounding.h"
#include "exfat/directory_tree.h"
#include "exfat/exfat_format.h"
#include "exfat/exfat_scans.h"
#include "exfat/found_rows.h"
#include "scan/content_files.h"
#include "scan/deep_scan.h"
#include "volume/aligned_buffer.h"
#include "volume/salvaging_read.h"

namespace orvanta::exfat {
namespace {

// A sound set met in the heap, and the cluster it begins in.
struct HeapSet {
  std::uint32_t Cluster = 0;
  EntrySet Set;
};

// Folder paths of directory clusters: through the folder set that names a
// cluster as its directory, up to the root; a cluster no set names belongs
// to a lost folder, named after the first cluster of its run of such
// clusters.
class FolderPaths {
public:
  FolderPaths(FindContext &ctx, const std::vector<HeapSet> &sets,
              const std::unordered_set<std::uint32_t> &directoryClusters,
              const AllocationBitmap &bitmap)
      : ctx_(ctx), sets_(sets), directoryClusters_(directoryClusters) {
    Volume &volume = ctx.State.Vol;
    for (const auto c : RootClusters(volume))
      root_.insert(c);
    // A cluster named by a folder in use and by a deleted one is the
    // folder's in use.
    for (std::size_t i = 0; i < sets.size(); ++i) {
      const EntrySet &set = sets[i].Set;
      if (!set.IsDirectory)
        continue;
      for (const auto c : DirectoryClusters(volume, bitmap, set)) {
        const auto [it, added] = owner_.emplace(c, i);
        if (!added && sets_[it->second].Set.Deleted && !set.Deleted)
          it->second = i;
      }
    }
  }

  std::string Of(std::uint32_t cluster) { return Resolve(cluster, 0); }

private:
  std::string Resolve(std::uint32_t cluster, std::size_t depth) {
    const std::string drive = ctx_.State.Vol.Geometry().DrivePath + "\\";
    if (root_.count(cluster))
      return drive;
    if (const auto known = paths_.find(cluster); known != paths_.end()) {
      if (!known->second.empty())
        return known->second;
      return Lost(cluster); // met again while it is being resolved: a loop
    }
    const auto owner = owner_.find(cluster);
    if (owner == owner_.end() || depth >= kMaxFolderDepth)
      return paths_[cluster] = Lost(cluster);
    paths_[cluster].clear(); // being resolved
    const HeapSet &folder = sets_[owner->second];
    std::string path = Resolve(folder.Cluster, depth + 1) + ComponentName(folder.Set.Name) + "\\";
    return paths_[cluster] = std::move(path);
  }

  std::string Lost(std::uint32_t cluster) {
    std::uint32_t first = cluster;
    while (first > 2 && directoryClusters_.count(first - 1) && !owner_.count(first - 1) &&
           !root_.count(first - 1))
      --first;
    return ctx_.State.Vol.Geometry().DrivePath + "\\" + LostFolderName(ctx_, first) +
           "\\";
  }

  FindContext &ctx_;
  const std::vector<HeapSet> &sets_;
  const std::unordered_set<std::uint32_t> &directoryClusters_;
  std::unordered_set<std::uint32_t> root_;
  std::unordered_map<std::uint32_t, std::size_t> owner_;
  std::unordered_map<std::uint32_t, std::string> paths_;
};

// The most bytes a set can have.
constexpr std::size_t kMaxSetBytes = (entry::kMaxSecondaryCount + 1) * kEntryBytes;

// Whether the set at `at` may run on past the end of its cluster: a count
// of secondaries that reaches past it, and every entry up to it in the File
// entry's state and of a secondary type. Only then is the next cluster read.
bool MayRunOn(std::span<const std::uint8_t> block, std::size_t at, std::size_t clusterEnd) {
  const std::size_t secondaries = block[at + entry::kSecondaryCount];
  if (secondaries < 2 || secondaries > entry::kMaxSecondaryCount ||
      at + (secondaries + 1) * kEntryBytes <= clusterEnd)
    return false;
  const std::uint8_t inUse = block[at] & entry::kInUse;
  for (std::size_t e = at + kEntryBytes; e < clusterEnd; e += kEntryBytes)
    if ((block[e] & entry::kInUse) != inUse || !(block[e] & 0x40))
      return false;
  return true;
}

// The set at `at` of a block of clusters from `first` on, read on along
// the FAT chain of the cluster it begins in (a cluster whose entry names no
// heap cluster goes on in the one after it).
std::optional<EntrySet> ParseStitched(Volume &volume, const BootGeometry &boot,
                                      std::span<const std::uint8_t> block, std::uint64_t first,
                                      std::size_t at) {
  const std::size_t clusterBytes = boot.BytesPerCluster();
  const std::size_t clusterEnd = (at / clusterBytes + 1) * clusterBytes;
  std::vector<std::uint8_t> bytes(block.begin() + std::ptrdiff_t(at),
                                  block.begin() + std::ptrdiff_t(clusterEnd));
  auto cluster = static_cast<std::uint32_t>(first + at / clusterBytes);
  bool chained = false;
  std::vector<std::uint8_t> next(clusterBytes);
  while (bytes.size() < kMaxSetBytes) {
    const auto entry = volume.FatEntry(cluster);
    const std::uint64_t following =
        entry && boot.IsHeapCluster(*entry) ? *entry : std::uint64_t{cluster} + 1;
    if (!boot.IsHeapCluster(following) || !volume.ReadSectors(boot.ClusterSector(std::uint32_t(following)), next))
      break;
    chained = chained || following != std::uint64_t{cluster} + 1;
    bytes.insert(bytes.end(), next.begin(), next.end());
    cluster = static_cast<std::uint32_t>(following);
  }
  // Along clusters that follow one another the block has read it already.
  if (!chained && clusterEnd < block.size())
    return std::nullopt;
  return ParseEntrySet(bytes, 0);
}

// The last heap cluster whose sectors the device holds whole; the heap's
// last when the device's size is unknown.
std::uint64_t LastClusterOnDevice(const TVolumeGeometry &g, const BootGeometry &boot) {
  const std::uint64_t last = boot.LastCluster();
  if (g.DeviceSectors <= 0)
    return last;
  const auto device = static_cast<std::uint64_t>(g.DeviceSectors);
  if (device < std::uint64_t{boot.ClusterHeapOffset} + boot.SectorsPerCluster())
    return 1; // not one cluster of the heap
  return std::min(last, (device - boot.ClusterHeapOffset) / boot.SectorsPerCluster() + 1);
}

carve::Carver::Volume CarverVolume(Volume &volume, const BootGeometry &boot) {
  carve::Carver::Volume v;
  v.ClusterBytes = static_cast<std::uint32_t>(boot.BytesPerCluster());
  v.LastCluster = boot.LastCluster();
  // No file is larger than the heap that holds it.
  v.MaxFileBytes = std::uint64_t{boot.ClusterCount} * boot.BytesPerCluster();
  v.Read = [&volume, boot](std::uint32_t first, std::span<std::uint8_t> out) {
    return boot.IsHeapCluster(first) && volume.ReadSectors(boot.ClusterSector(first), out);
  };
  return v;
}

} // namespace

void RunExfatDeepScan(FindContext &ctx) {
  Volume &volume = ctx.State.Vol;
  const AllocationBitmap bitmap = ReadAllocationBitmap(volume).value_or(AllocationBitmap());
  const BootGeometry boot = BootOf(volume.Geometry());
  const std::size_t clusterBytes = boot.BytesPerCluster();
  // Transfers of about 1 MiB, as the FAT scan makes them, into a
  // page-aligned buffer, which the kernel copies into at its best.
  const auto perBlock =
      static_cast<std::uint32_t>(std::max<std::size_t>(1, (1u << 20) / clusterBytes));
  AlignedBuffer block(std::size_t(perBlock) * clusterBytes);
  std::vector<HeapSet> sets;
  std::unordered_set<std::uint32_t> directoryClusters;
  // Clusters the device does not hold (an image cut short) are not read.
  const std::uint64_t last = LastClusterOnDevice(volume.Geometry(), boot);
  auto stopped = [&ctx] { return !ctx.Host.Running(); };
  // Files recognised by their content, in the clusters the bitmap leaves free.
  ContentFiles content(ctx, CarverVolume(volume, boot));
  for (std::uint64_t c = 2; c <= last; c += perBlock) {
    ctx.Host.Pump();
    if (!ctx.Host.Running())
      break;
    ctx.Host.MoveProgress(std::int64_t(c - 2), std::int64_t(boot.ClusterCount));
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(perBlock, last - c + 1));
    const std::span<std::uint8_t> buffer(block.data(), std::size_t(n) * clusterBytes);
    // An image's bytes are looked at in place where the device allows it;
    // else they are read into the buffer. A block that cannot be read is
    // read again cluster by cluster, and a cluster sector by sector: an
    // unreadable sector costs its own cluster the look at its content (a
    // file being followed is cut there), and only its own bytes, as zeros,
    // to the look for entry sets.
    std::span<const std::uint8_t> bytes =
        volume.LookAtSectors(boot.ClusterSector(std::uint32_t(c)), buffer.size());
    bool whole = !bytes.empty();
    if (!whole) {
      bytes = buffer;
      whole = volume.ReadSectors(boot.ClusterSector(std::uint32_t(c)), buffer);
    }
    for (std::uint32_t i = 0; i < n; ++i) {
      const auto cluster = bytes.subspan(std::size_t(i) * clusterBytes, clusterBytes);
      if (!whole && ReadSalvaging(volume, boot.ClusterSector(std::uint32_t(c) + i),
                                  buffer.subspan(std::size_t(i) * clusterBytes, clusterBytes),
                                  stopped) < clusterBytes)
        continue;
      content.Cluster(std::uint32_t(c) + i, !bitmap.InUse(c + i), cluster);
    }
    // Sets may begin at any entry of a directory cluster and run on into
    // the next cluster of the directory: the one the FAT names, or the one
    // that follows (a directory without a chain).
    const std::uint8_t *type = bytes.data();
    auto beginsSet = [type](std::size_t at) { return (type[at] | entry::kInUse) == entry::kFile; };
    for (std::size_t at = 0; at + kEntryBytes <= bytes.size(); at += kEntryBytes) {
      // Most of the heap is file data: four entries are passed over at once
      // while none of them is a File entry.
      while (at + 4 * kEntryBytes <= bytes.size() &&
             !(beginsSet(at) | beginsSet(at + kEntryBytes) | beginsSet(at + 2 * kEntryBytes) |
               beginsSet(at + 3 * kEntryBytes)))
        at += 4 * kEntryBytes;
      if (at + kEntryBytes > bytes.size())
        break;
      if (!beginsSet(at))
        continue;
      const auto cluster = static_cast<std::uint32_t>(c + at / clusterBytes);
      const std::size_t clusterEnd = (at / clusterBytes + 1) * clusterBytes;
      // Within the block the next cluster is the one after; a set that does
      // not read so is tried along the FAT.
      std::optional<EntrySet> set = ParseEntrySet(bytes, at);
      if (!set && MayRunOn(bytes, at, clusterEnd))
        set = ParseStitched(volume, boot, bytes, c, at);
      if (!set)
        continue;
      directoryClusters.insert(cluster);
      sets.push_back({cluster, *set});
      at += (set->Entries - 1) * kEntryBytes;
    }
  }

  FolderPaths paths(ctx, sets, directoryClusters, bitmap);
  for (const HeapSet &found : sets) {
    if (found.Set.IsDirectory)
      continue;
    // Live or deleted, a file found by its set is not listed again by its content.
    ctx.EntryFirstClusters.insert(found.Set.FirstCluster);
    ctx.Host.Pump();
    const std::string folder = paths.Of(found.Cluster);
    // A file the live tree holds is no lost file.
    if (!found.Set.Deleted && ctx.Live.FileExists(folder + ComponentName(found.Set.Name)))
      continue;
    if (auto row = FoundRowOf(ctx, bitmap, found.Set, found.Set.Deleted ? '1' : '0'))
      RecordFoundFile(ctx, folder, std::move(*row));
  }
  content.Record();
}

} // namespace orvanta::exfat
