#include "scan/quick_scan.h"

#include "engine/text.h"
#include "scan/directory_walk.h"
#include "volume/directory_reads.h"

namespace orvanta {

namespace {

void ListFoldersBelow(FindContext &ctx, const std::string &path) {
  if (!ctx.Host.Running())
    return;
  const auto entries = ctx.Live.List(path);
  if (!entries)
    return;
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
    const std::string sub = path + entry.Name + "\\";
    if (sub.size() > kMaxFolderPathBytes)
      continue;
    ctx.Folders.Add(sub);
    ListFoldersBelow(ctx, sub);
  }
}

// Where a folder's directory lies: the root, or a first cluster.
struct Location {
  bool Root = true;
  std::uint32_t Cluster = 0;
};

// Reads the directory of a location; a deleted directory (free FAT entry)
// gives `lengthIfFree` bytes from its first cluster.
bool ReadLocation(Volume &volume, const Location &where, std::size_t lengthIfFree,
                  std::vector<std::uint8_t> &bytes) {
  return where.Root ? ReadRootDirectory(volume, bytes)
                    : ReadDirectory(volume, where.Cluster, lengthIfFree, bytes);
}

// The names of a directory that can be followed: entries (deleted ones
// included) that are named and whose first cluster lies on the volume, the
// first of each name (without regard to case) in directory order. Nothing
// when the directory cannot be read or the scan was stopped while reading it.
const std::unordered_map<std::string, std::uint32_t> *
FollowableNames(FindContext &ctx, const Location &where, std::size_t levelLength) {
  const std::uint64_t identity = where.Root ? 0 : where.Cluster;
  if (const auto known = ctx.Directories.find(identity); known != ctx.Directories.end())
    return &known->second;
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  std::vector<std::uint8_t> bytes;
  if (!ReadLocation(volume, where, levelLength, bytes))
    return nullptr;
  std::unordered_map<std::string, std::uint32_t> names;
  const auto end = WalkDirectory(bytes, 0, g.FatType, ctx.Host, true, [&](const ShortEntry &e, auto) {
    if (e.Named() && e.FirstCluster >= 2 &&
        std::int64_t{e.FirstCluster} <= g.ClusterCount)
      names.emplace(FoldCase(e.Name), e.FirstCluster);
    return true;
  });
  if (end == WalkEnd::Stopped)
    return nullptr;
  return &ctx.Directories.emplace(identity, std::move(names)).first->second;
}

// Phase A: follows the folder's names from the root, each level's directory
// searched for the first entry of that name. Nothing when a level cannot be
// read or named, or when the scan was stopped.
std::optional<Location> Locate(FindContext &ctx, const std::string &folder) {
  const auto &g = ctx.State.Vol.Geometry();
  const std::size_t levelLength = std::size_t(std::max<std::int64_t>(g.RootSectors, 0)) *
                                  std::size_t(std::max(g.BytesPerSector, 0));
  Location where;
  for (const auto &name : PathComponents(folder)) {
    const auto *names = FollowableNames(ctx, where, levelLength);
    if (!names)
      return std::nullopt;
    const auto match = names->find(FoldCase(name));
    if (match == names->end())
      return std::nullopt;
    where = {false, match->second};
  }
  return where;
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

void ListFolders(FindContext &ctx, const std::string &path) { ListFoldersBelow(ctx, path); }

void QuickScan(FindContext &ctx, const std::string &folder) {
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  const auto where = Locate(ctx, folder);
  if (!where)
    return;
  // Every directory is scanned once, whatever path led to it.
  const std::uint64_t identity = where->Root ? g.RootCluster : where->Cluster;
  if (!ctx.ScannedDirectories.insert(identity).second)
    return;

  std::vector<std::uint8_t> bytes;
  const std::size_t clusterLength = std::size_t(std::max(g.BytesPerCluster, 0));
  if (!ReadLocation(volume, *where, clusterLength, bytes))
    return;
  // In a folder that no longer exists every file entry is a lost file,
  // whether or not its own entry was marked deleted.
  const bool folderExists = where->Root || ctx.Live.FolderExists(folder);
  WalkDirectory(bytes, 0, g.FatType, ctx.Host, true,
                [&](const ShortEntry &e, std::span<const std::uint8_t> raw) {
                  if (!e.Named())
                    return true;
                  if (e.IsDirectory) {
                    // A directory already on the list under any name is not
                    // added again: a folder whose entries lead back to it
                    // ends here, however deep. A folder that is gone is
                    // entered only while its cluster is still its own.
                    const std::string sub = folder + e.Name + "\\";
                    const bool gone = e.IsDeleted() || !folderExists;
                    if (sub.size() <= kMaxFolderPathBytes &&
                        !ctx.QueuedDirectories.count(e.FirstCluster) &&
                        (!gone || StillTheFolderOf(volume, e.FirstCluster, *where))) {
                      ctx.QueuedDirectories.insert(e.FirstCluster);
                      ctx.Folders.Add(sub);
                    }
                  } else if (e.IsDeleted() || !folderExists) {
                    if (auto row = FoundFileRowOf(ctx, e, raw, '0'))
                      RecordFoundFile(ctx, folder, std::move(*row));
                  }
                  return true;
                });
}

void RunQuickScan(FindContext &ctx) {
  const std::string root = ctx.State.Vol.Geometry().DrivePath + "\\";
  ctx.Folders.Add(root);
  ListFolders(ctx, root);
  ctx.Folders.Sort();
  ctx.Host.Pump();
  if (!ctx.Host.Running())
    return;
  for (std::size_t i = 0; i < ctx.Folders.Count(); ++i) {
    ctx.Host.Pump();
    if (!ctx.Host.Running())
      continue; // after Stop the loop runs out without scanning
    ctx.Host.AdvanceProgress(std::int64_t(i), std::int64_t(ctx.Folders.Count()));
    const std::string folder = ctx.Folders[i]; // the list may grow during the scan
    QuickScan(ctx, folder);
  }
}

} // namespace orvanta
