#include "scan/quick_scan.h"

#include <algorithm>

#include "engine/text.h"
#include "scan/directory_walk.h"
#include "volume/directory_reads.h"

namespace orvanta {

namespace {

using Location = FolderLocation;

// The key of a directory in the folder list: its first cluster; the root
// region of FAT16 as 0.
std::uint64_t DirectoryKey(const TVolumeGeometry &g, const Location &where) {
  return where.Root ? (g.FatType == 32 ? g.RootCluster : 0) : where.Cluster;
}

// Reads the directory of a location; a deleted directory (free FAT entry)
// gives `lengthIfFree` bytes from its first cluster.
bool ReadLocation(Volume &volume, const Location &where, std::size_t lengthIfFree,
                  std::vector<std::uint8_t> &bytes) {
  return where.Root ? ReadRootDirectory(volume, bytes)
                    : ReadDirectory(volume, where.Cluster, lengthIfFree, bytes);
}

// The live sub-folders of a live directory, read once per Find. Nothing
// when the directory cannot be read or the scan was stopped while reading it.
const LiveFolderNames *LiveFoldersOf(FindContext &ctx, const Location &where) {
  const auto &g = ctx.State.Vol.Geometry();
  const std::uint64_t key = DirectoryKey(g, where);
  if (const auto known = ctx.Directories.find(key); known != ctx.Directories.end())
    return &known->second;
  std::vector<std::uint8_t> bytes;
  if (!ReadLocation(ctx.State.Vol, where, std::size_t(std::max(g.BytesPerCluster, 0)), bytes))
    return nullptr;
  LiveFolderNames names;
  const auto end = WalkDirectory(bytes, 0, g.FatType, ctx.Host, true, [&](const ShortEntry &e, auto) {
    if (e.IsDirectory && !e.IsDeleted() && e.Named() && e.FirstCluster >= 2 &&
        std::int64_t{e.FirstCluster} <= g.ClusterCount) {
      names.Exact.emplace(ComponentOf(e.Name), e.FirstCluster);
      names.Folded.emplace(FoldCase(ComponentOf(e.Name)), e.FirstCluster);
    }
    return true;
  });
  if (end == WalkEnd::Stopped)
    return nullptr;
  return &ctx.Directories.emplace(key, std::move(names)).first->second;
}

// The first cluster of the live sub-folder the live view names `name`: the
// entry of exactly that name, else of that name without regard to case.
std::optional<std::uint32_t> LiveFolderCluster(const LiveFolderNames &names,
                                               const std::string &name) {
  if (const auto it = names.Exact.find(name); it != names.Exact.end())
    return it->second;
  if (const auto it = names.Folded.find(FoldCase(name)); it != names.Folded.end())
    return it->second;
  return std::nullopt;
}

void ListFoldersBelow(FindContext &ctx, const std::string &path, const Location &where) {
  if (!ctx.Host.Running())
    return;
  const auto entries = ctx.Live.List(path);
  if (!entries)
    return;
  const auto &g = ctx.State.Vol.Geometry();
  const LiveFolderNames *names = nullptr;
  for (const auto &entry : *entries) {
    ctx.Host.Pump();
    if (!ctx.Host.Running())
      return;
    if (!entry.IsDirectory || entry.Name == "." || entry.Name == "..")
      continue;
    // A directory reached again under another name (a looped volume) is
    // listed once.
    if (!ctx.ListedDirectories.insert(entry.Identity).second)
      continue;
    const std::string sub = path + ComponentOf(entry.Name) + "\\";
    if (sub.size() > kMaxFolderPathBytes)
      continue;
    // The folder is scanned where its entry on the volume points; one that
    // cannot be found there is left to the scan of its parent.
    if (!names && !(names = LiveFoldersOf(ctx, where)))
      return;
    const auto cluster = LiveFolderCluster(*names, ComponentOf(entry.Name));
    if (!cluster)
      continue;
    const Location child{false, *cluster};
    if (ctx.Folders.Add(DirectoryKey(g, child), {sub, child, true}))
      ListFoldersBelow(ctx, sub, child);
  }
}

// Whether the first cluster of a folder that no longer exists still is
// that folder's: it begins with a "." entry naming the cluster and a ".."
// entry naming the parent the entry was found in. A cluster given to a file
// or to another folder since holds no such pair.
bool StillTheFolderOf(Volume &volume, std::uint32_t cluster, const Location &parent) {
  const auto &g = volume.Geometry();
  if (cluster < 2 || std::int64_t{cluster} > g.ClusterCount || !g.ClustersFitInMemory())
    return false;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(g.BytesPerCluster));
  if (!volume.ReadSectors(volume.ClusterSector(cluster), bytes) || !BeginsWithDotPair(bytes))
    return false;
  const std::span<const std::uint8_t> all(bytes);
  const std::uint32_t dot = EntryFirstCluster(all.subspan(kDotOffset, dir_entry::kSize), g.FatType);
  const std::uint32_t dotDot =
      EntryFirstCluster(all.subspan(kDotDotOffset, dir_entry::kSize), g.FatType);
  return dot == cluster && (parent.Root ? IsRootLink(dotDot, g) : dotDot == parent.Cluster);
}

} // namespace

void ListFolders(FindContext &ctx, const std::string &path, const FolderLocation &where) {
  ListFoldersBelow(ctx, path, where);
}

void QuickScan(FindContext &ctx, const QueuedFolder &folder) {
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  std::vector<std::uint8_t> bytes;
  const std::size_t clusterLength = std::size_t(std::max(g.BytesPerCluster, 0));
  if (!ReadLocation(volume, folder.Where, clusterLength, bytes))
    return;
  WalkDirectory(bytes, 0, g.FatType, ctx.Host, true,
                [&](const ShortEntry &e, std::span<const std::uint8_t> raw) {
                  if (!e.Named())
                    return true;
                  if (e.IsDirectory) {
                    // A directory already on the list under any name is not
                    // added again: a folder whose entries lead back to it
                    // ends here, however deep. A folder that is gone is
                    // entered only while its cluster is still its own.
                    const Location child{false, e.FirstCluster};
                    const std::string sub = folder.Path + ComponentOf(e.Name) + "\\";
                    const bool gone = e.IsDeleted() || !folder.Exists;
                    if (e.FirstCluster >= 2 && std::int64_t{e.FirstCluster} <= g.ClusterCount &&
                        sub.size() <= kMaxFolderPathBytes &&
                        !ctx.Folders.Contains(DirectoryKey(g, child)) &&
                        (!gone || StillTheFolderOf(volume, e.FirstCluster, folder.Where)))
                      ctx.Folders.Add(DirectoryKey(g, child), {sub, child, !gone});
                  } else if (e.IsDeleted() || !folder.Exists) {
                    // In a folder that no longer exists every file entry is
                    // a lost file, whether or not its own entry was marked
                    // deleted.
                    if (auto row = FoundFileRowOf(ctx, e, raw, '0'))
                      RecordFoundFile(ctx, folder.Path, std::move(*row));
                  }
                  return true;
                });
}

void RunQuickScan(FindContext &ctx) {
  const auto &g = ctx.State.Vol.Geometry();
  const std::string root = g.DrivePath + "\\";
  ctx.Folders.Add(DirectoryKey(g, Location{}), {root, Location{}, true});
  ListFolders(ctx, root, Location{});
  ctx.Folders.Sort();
  ctx.Host.Pump();
  if (!ctx.Host.Running())
    return;
  for (std::size_t i = 0; i < ctx.Folders.Count(); ++i) {
    ctx.Host.Pump();
    if (!ctx.Host.Running())
      continue; // after Stop the loop runs out without scanning
    ctx.Host.AdvanceProgress(std::int64_t(i), std::int64_t(ctx.Folders.Count()));
    const QueuedFolder folder = ctx.Folders[i]; // the list may grow during the scan
    QuickScan(ctx, folder);
  }
}

} // namespace orvanta
