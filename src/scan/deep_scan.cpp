#include "scan/deep_scan.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "scan/content_files.h"
#include "scan/directory_continuations.h"
#include "settings/language_file.h"
#include "scan/directory_walk.h"
#include "volume/aligned_buffer.h"
#include "volume/directory_reads.h"
#include "volume/salvaging_read.h"

namespace orvanta {

namespace {

std::span<const std::uint8_t> EntryAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return bytes.subspan(offset, dir_entry::kSize);
}

// The directory in which the climb looks for a child's entry: along its
// intact chain, else one cluster's worth from its first cluster. The root
// (0) is the whole FAT16 root region, or on FAT32 the directory at the
// root cluster along its chain.
bool ReadParent(Volume &volume, std::uint32_t parent, std::vector<std::uint8_t> &bytes) {
  if (parent == 0)
    return ReadRootDirectory(volume, bytes);
  return ReadDirectory(volume, parent, static_cast<std::size_t>(volume.Geometry().BytesPerCluster),
                       bytes);
}

// Records the file entries of a directory's bytes that no live file of
// `folder` has, whether or not they are marked deleted (mark "1" when they
// are). A directory once begun is walked to its end, Stop or not.
void RecordFilesOf(FindContext &ctx, std::span<const std::uint8_t> entries,
                   const std::string &folder) {
  WalkDirectory(entries, 0, ctx.State.Vol.Geometry().FatType, ctx.Host, /*stoppable=*/false,
                [&](const ShortEntry &e, std::span<const std::uint8_t> raw) {
                  if (e.IsDirectory || !e.Named())
                    return true;
                  if (ctx.Live.FileExists(folder + e.Name))
                    return true;
                  if (auto row = FoundFileRowOf(ctx, e, raw, e.IsDeleted() ? '1' : '0'))
                    RecordFoundFile(ctx, folder, std::move(*row));
                  return true;
                });
}

// Names the directory whose first cluster is in hand and records its files.
// `number` is the cluster's own number when the blocks lie on cluster
// boundaries; with an intact chain in the FAT the whole directory is walked.
// Gives the folder the files went to.
std::string ScanDirectory(FindContext &ctx, std::span<const std::uint8_t> cluster,
                          std::optional<std::uint32_t> number,
                          std::vector<std::uint8_t> &chainBytes) {
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  const std::uint32_t self = EntryFirstCluster(EntryAt(cluster, kDotOffset), g.FatType);
  const std::uint32_t parent = EntryFirstCluster(EntryAt(cluster, kDotDotOffset), g.FatType);

  std::string CurrentFolderPath;
  ResolveFolderPath(ctx, self, parent, CurrentFolderPath);
  // The names come from the volume and may hold anything; the drive goes in
  // front of them all.
  CurrentFolderPath.insert(0, g.DrivePath + "\\");

  std::span<const std::uint8_t> entries = cluster;
  if (number) {
    const auto chain = DirectoryChain(volume, *number);
    if (chain.size() > 1 && ReadClusters(volume, chain, chainBytes))
      entries = chainBytes;
  }
  RecordFilesOf(ctx, entries, CurrentFolderPath);
  return CurrentFolderPath;
}

// The root has no "." pair for the pass to find it by: it is read where the
// boot sector puts it (the FAT16 root region, the FAT32 root chain) and its
// files are recorded as those of any directory, so that the deep scan finds
// at least what the quick scan finds there.
void ScanRoot(FindContext &ctx) {
  std::vector<std::uint8_t> bytes;
  if (ReadRootDirectory(ctx.State.Vol, bytes))
    RecordFilesOf(ctx, bytes, ctx.State.Vol.Geometry().DrivePath + "\\");
}

} // namespace

namespace {

// The listing of a parent for the climb, read and walked the first time it
// is asked for. Nothing when the scan was stopped while it was walked.
const ClimbListing *ListingOf(FindContext &ctx, std::uint32_t parent, bool root) {
  if (const auto known = ctx.ClimbListings.find(parent); known != ctx.ClimbListings.end())
    return &known->second;
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  ClimbListing listing;
  std::vector<std::uint8_t> bytes;
  if (!ReadParent(volume, parent, bytes) || bytes.size() < kNamedEntriesOffset)
    return &ctx.ClimbListings.emplace(parent, std::move(listing)).first->second;
  // A directory begins with a "." entry that names itself and a ".." link
  // below ClusterCount. The root has neither: its first entry may be a
  // label, a file or a folder.
  if (!root) {
    const std::uint32_t dot = EntryFirstCluster(EntryAt(bytes, kDotOffset), g.FatType);
    listing.DotDot = EntryFirstCluster(EntryAt(bytes, kDotDotOffset), g.FatType);
    if (dot != parent || g.ClusterCount <= 0 ||
        std::int64_t{listing.DotDot} >= g.ClusterCount)
      return &ctx.ClimbListings.emplace(parent, std::move(listing)).first->second;
  }
  // The folder that exists names a child: its cluster is the child's now,
  // and a deleted entry with the same cluster is an older folder whose
  // cluster was given to it. Without one, the last deleted folder entry for
  // the child wins. A label has no directory bit and names nothing.
  std::unordered_map<std::uint32_t, std::string> deleted;
  const std::size_t from = root ? 0 : kNamedEntriesOffset;
  const auto end = WalkDirectory(bytes, from, g.FatType, ctx.Host,
                                 /*stoppable=*/true, [&](const ShortEntry &e, auto) {
                                   if (e.IsDirectory && e.Named())
                                     (e.IsDeleted() ? deleted : listing.Names)[e.FirstCluster] =
                                         ComponentOf(e.Name);
                                   return true;
                                 });
  if (end == WalkEnd::Stopped)
    return nullptr;
  listing.Names.merge(deleted); // a live name stays where both are
  listing.Usable = true;
  return &ctx.ClimbListings.emplace(parent, std::move(listing)).first->second;
}

} // namespace

void ResolveFolderPath(FindContext &ctx, std::uint32_t child, std::uint32_t parent,
                       std::string &CurrentFolderPath) {
  const auto &g = ctx.State.Vol.Geometry();
  if (!g.ClustersFitInMemory())
    return;
  // A level whose parent cannot name it keeps its own folder, named after
  // its first cluster, so that what lay below two lost folders never mixes.
  auto lost = [&](std::uint32_t cluster) {
    CurrentFolderPath.insert(0, LostFolderName(ctx, cluster) + "\\");
  };
  std::unordered_set<std::uint32_t> visited;
  for (std::size_t names = 0; names < kMaxFolderDepth; ++names) {
    if (!ctx.Host.Running())
      return;
    const bool root = IsRootLink(parent, g);
    if (root)
      parent = 0;
    if (!visited.insert(parent).second)
      return lost(child);
    const ClimbListing *listing = ListingOf(ctx, parent, root);
    if (!listing)
      return; // stopped
    if (!listing->Usable)
      return lost(child);
    const auto name = listing->Names.find(child);
    if (name == listing->Names.end())
      return lost(child);
    CurrentFolderPath.insert(0, name->second + "\\");
    if (root)
      return; // named in the root: nothing lies above it
    child = parent;
    parent = listing->DotDot;
  }
  lost(child);
}

std::string LostFolderName(FindContext &ctx, std::uint32_t cluster) {
  return ctx.Text("Drive", "LostFolder", "Lost folder") + " " + std::to_string(cluster);
}

namespace {

// Where a block of the scan lies on the device.
struct BlockPlace {
  enum Kind { Read, Skip, End } What = Read;
  std::uint64_t Sector = 0;
  std::size_t Length = 0; // bytes on the device, whole sectors
};

// A transfer of the scan reads about this much: as many whole blocks as
// fit, one block when a block is larger.
constexpr std::size_t kTransferBytes = std::size_t{1} << 20;

} // namespace

void DeepScan(FindContext &ctx) {
  auto &volume = ctx.State.Vol;
  auto &host = ctx.Host;
  const auto &g = volume.Geometry();
  if (!g.ClustersFitInMemory())
    return;
  ScanRoot(ctx);
  // Every cluster from the first block on is examined; the last block holds
  // what is left over after the whole ones.
  const std::int64_t clusters =
      std::int64_t{g.ClusterCount} - g.RootStartSector / g.SectorsPerCluster;
  const std::int64_t blocks = (clusters + kDeepScanBlockClusters - 1) / kDeepScanBlockClusters;
  if (blocks <= 0)
    return;

  const auto clusterBytes = static_cast<std::size_t>(g.BytesPerCluster);
  const auto sectorBytes = static_cast<std::uint64_t>(g.BytesPerSector);
  const std::size_t blockBytes = std::size_t{kDeepScanBlockClusters} * clusterBytes;
  const std::int64_t sectorsPerBlock = std::int64_t{kDeepScanBlockClusters} * g.SectorsPerCluster;
  // The first block follows the root: at cluster 2 on FAT16; on FAT32 after
  // the root's cluster when the root is cluster 2, else at cluster 2, which
  // is then a cluster like any other.
  const bool skipsRootCluster = g.FatType != kFat32 || g.RootCluster == 2;
  const std::int64_t firstSector =
      std::int64_t{g.RootStartSector} + (skipsRootCluster ? g.RootSectors : 0);
  const std::int64_t lead = firstSector - volume.ClusterToSector(2);
  const bool onClusterBoundaries = lead >= 0 && lead % g.SectorsPerCluster == 0;
  const std::int64_t firstCluster = 2 + lead / g.SectorsPerCluster;
  // A damaged total-sectors field may claim far more blocks than the device
  // holds; those beyond its end are not read.
  const std::optional<std::uint64_t> deviceBytes = volume.DeviceSizeBytes();

  auto clustersIn = [&](std::int64_t k) {
    return k < blocks ? kDeepScanBlockClusters
                      : static_cast<int>(clusters - (blocks - 1) * kDeepScanBlockClusters);
  };
  auto place = [&](std::int64_t k) {
    BlockPlace at;
    const std::int64_t start = firstSector + (k - 1) * sectorsPerBlock;
    if (start < 0)
      return BlockPlace{BlockPlace::Skip}; // no such sector on any device
    at.Sector = static_cast<std::uint64_t>(start);
    at.Length = std::size_t(clustersIn(k)) * clusterBytes;
    if (deviceBytes) {
      const std::uint64_t offset = static_cast<std::uint64_t>(start) * sectorBytes;
      if (offset >= *deviceBytes)
        return BlockPlace{BlockPlace::End}; // this block and every later one lie beyond the end
      // A block that runs over the end is read as far as the device goes.
      const std::uint64_t onDevice = (*deviceBytes - offset) / sectorBytes * sectorBytes;
      at.Length = static_cast<std::size_t>(std::min<std::uint64_t>(at.Length, onDevice));
    }
    if (at.Length == 0)
      at.What = BlockPlace::Skip;
    return at;
  };

  // Several blocks that follow one another are read in one page-aligned
  // transfer; when it fails each is read on its own, and a block that fails
  // cluster by cluster, sector by sector: an unreadable sector costs only
  // its own cluster the look at its content, and its bytes read as zeros.
  const std::size_t perTransfer = static_cast<std::size_t>(std::min<std::int64_t>(
      blocks, std::max<std::size_t>(1, kTransferBytes / blockBytes)));
  AlignedBuffer buffer(perTransfer * blockBytes);
  std::vector<bool> unreadable(perTransfer * std::size_t{kDeepScanBlockClusters});
  auto stopped = [&host] { return !host.Running(); };
  std::int64_t loadedFrom = 1, loadedTo = 1; // blocks [from, to) are loaded
  const std::uint8_t *loaded = buffer.data();  // in the buffer, or looked at in place
  auto load = [&](std::int64_t k, const BlockPlace &first) {
    std::vector<BlockPlace> batch{first};
    std::size_t bytes = first.Length;
    // Only a whole block can be followed by another in the same transfer.
    while (batch.size() < perTransfer && batch.back().Length == blockBytes &&
           k + std::int64_t(batch.size()) <= blocks) {
      const BlockPlace next = place(k + std::int64_t(batch.size()));
      if (next.What != BlockPlace::Read)
        break;
      batch.push_back(next);
      bytes += next.Length;
    }
    loadedFrom = k;
    loadedTo = k + std::int64_t(batch.size());
    std::fill(unreadable.begin(), unreadable.end(), false);
    // An image's bytes are looked at in place where the device allows it,
    // when the blocks lie wholly on it; else they are read into the buffer.
    const std::int64_t last = loadedTo - 1;
    if (batch.back().Length == std::size_t(clustersIn(last)) * clusterBytes) {
      if (const auto look = volume.LookAtSectors(first.Sector, bytes); !look.empty()) {
        loaded = look.data();
        return;
      }
    }
    loaded = buffer.data();
    const bool all = volume.ReadSectors(first.Sector, std::span(buffer.data(), bytes));
    for (std::size_t i = 0; i < batch.size(); ++i) {
      const auto part = std::span(buffer.data() + i * blockBytes, blockBytes);
      if (!all && !volume.ReadSectors(batch[i].Sector, part.first(batch[i].Length)))
        for (std::size_t j = 0; j * clusterBytes < batch[i].Length; ++j) {
          const auto cluster = part.subspan(j * clusterBytes).first(
              std::min(clusterBytes, batch[i].Length - j * clusterBytes));
          const std::uint64_t sector =
              batch[i].Sector + j * std::uint64_t(g.SectorsPerCluster);
          unreadable[i * std::size_t{kDeepScanBlockClusters} + j] =
              ReadSalvaging(volume, sector, cluster, stopped) < cluster.size();
        }
      std::fill(part.begin() + std::ptrdiff_t(batch[i].Length), part.end(), std::uint8_t{0});
    }
  };

  std::vector<std::uint8_t> chainBytes;
  DirectoryContinuations continuations(ctx);
  ContentFiles content(ctx);
  for (std::int64_t k = 1; k <= blocks; ++k) {
    host.Pump();
    // After Stop no block is read and the bar stays: the remaining blocks
    // would only be counted through, which on a volume that claims two
    // billion clusters takes minutes.
    if (!host.Running())
      break;
    host.MoveProgress(k, blocks);

    if (k >= loadedTo) {
      const BlockPlace at = place(k);
      if (at.What == BlockPlace::End)
        break;
      if (at.What == BlockPlace::Skip)
        continue;
      load(k, at);
    }
    const std::size_t slot = static_cast<std::size_t>(k - loadedFrom);

    for (int j = 0; j < clustersIn(k); ++j) {
      host.Pump();
      if (!host.Running())
        continue;
      const std::span<const std::uint8_t> cluster(
          loaded + slot * blockBytes + std::size_t(j) * clusterBytes, clusterBytes);
      std::optional<std::uint32_t> number;
      const std::int64_t n = firstCluster + (k - 1) * kDeepScanBlockClusters + j;
      if (onClusterBoundaries && n <= std::numeric_limits<std::uint32_t>::max())
        number = static_cast<std::uint32_t>(n);
      // Files recognised by their content, in the clusters the FAT leaves
      // free; a file being followed is cut at a cluster that could not be read.
      if (number && !unreadable[slot * std::size_t{kDeepScanBlockClusters} + std::size_t(j)])
        content.Cluster(*number, cluster);
      if (!BeginsWithDotPair(cluster)) {
        // A later cluster of a directory whose chain the FAT has lost.
        if (number)
          continuations.Examine(*number, cluster);
        continue;
      }
      const std::string folder = ScanDirectory(ctx, cluster, number, chainBytes);
      if (number)
        continuations.NoteFirstCluster(*number, cluster, folder);
    }
  }
  // After the directories, so that a file found by its entry is not listed
  // again by its content.
  content.Record();
}

} // namespace orvanta
