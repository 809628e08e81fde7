#include "scan/quick_scan.h"

#include "engine/rounding.h"
#include "engine/text.h"
#include "scan/directory_walk.h"
#include "volume/directory_reads.h"

namespace orvanta {

namespace {

std::size_t Depth(const std::string &folder) { return PathComponents(folder).size(); }

void ListFoldersBelow(FindContext &ctx, const std::string &path, std::size_t depth) {
  if (!ctx.Host.Running() || depth >= kMaxFolderDepth)
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
    ctx.Folders.Add(sub);
    ListFoldersBelow(ctx, sub, depth + 1);
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

// Phase A: follows the folder's names from the root, each level's directory
// searched for the first entry of that name (deleted ones included) with a
// usable first cluster. Nothing when a level cannot be read or named, or
// when the scan was stopped.
std::optional<Location> Locate(FindContext &ctx, const std::string &folder) {
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  const auto names = PathComponents(folder);
  const std::size_t levelLength = std::size_t(std::max(g.RootSectors, 0)) *
                                  std::size_t(std::max(g.BytesPerSector, 0));
  Location where;
  std::string prefix = g.DrivePath + "\\";
  std::vector<std::uint8_t> bytes;
  for (const auto &name : names) {
    prefix += name + "\\";
    const std::string key = FoldCase(prefix);
    if (const auto known = ctx.Located.find(key); known != ctx.Located.end()) {
      where = {false, known->second};
      continue;
    }
    if (!ReadLocation(volume, where, levelLength, bytes))
      return std::nullopt;
    std::optional<std::uint32_t> match;
    const auto end = WalkDirectory(
        bytes, 0, g.FatType, ctx.Host, true, [&](const ShortEntry &e, auto) {
          if (e.Named() && e.FirstCluster >= 2 &&
              e.FirstCluster <= std::uint32_t(std::max(g.ClusterCount, 0)) &&
              EqualsIgnoreCase(e.Name, name)) {
            match = e.FirstCluster;
            return false;
          }
          return true;
        });
    if (end == WalkEnd::Stopped || !match)
      return std::nullopt;
    ctx.Located.emplace(key, *match);
    where = {false, *match};
  }
  return where;
}

} // namespace

void ListFolders(FindContext &ctx, const std::string &path) {
  ListFoldersBelow(ctx, path, Depth(path));
}

void QuickScan(FindContext &ctx, const std::string &folder) {
  auto &volume = ctx.State.Vol;
  const auto &g = volume.Geometry();
  const auto where = Locate(ctx, folder);
  if (!where)
    return;
  // Every directory is scanned once, whatever path led to it.
  const std::uint64_t identity = where->Root ? (g.FatType == kFat32 ? 2 : 0) : where->Cluster;
  if (!ctx.ScannedDirectories.insert(identity).second)
    return;

  std::vector<std::uint8_t> bytes;
  const std::size_t clusterLength = std::size_t(std::max(g.BytesPerCluster, 0));
  if (!ReadLocation(volume, *where, clusterLength, bytes))
    return;
  // In a folder that no longer exists every file entry is a lost file,
  // whether or not its own entry was marked deleted.
  const bool folderExists = where->Root || ctx.Live.FolderExists(folder);
  const bool deeper = Depth(folder) < kMaxFolderDepth;
  WalkDirectory(bytes, 0, g.FatType, ctx.Host, true,
                [&](const ShortEntry &e, std::span<const std::uint8_t> raw) {
                  if (!e.Named())
                    return true;
                  if (e.IsDirectory) {
                    if (deeper)
                      ctx.Folders.Add(folder + e.Name + "\\");
                  } else if (e.IsDeleted() || !folderExists) {
                    if (auto value = FoundFileValue(ctx, e, raw, '0'))
                      RecordFoundFile(ctx, folder, e.Name, *value);
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
    const double count = static_cast<double>(ctx.Folders.Count());
    const auto p = RoundHalfEven(static_cast<double>(i) * 100.0 / count);
    if (p > ProgressPercentOf(ctx.Host.ProgressWidth()))
      ctx.Host.SetProgressWidth(ProgressFillWidth(static_cast<double>(p)));
    const std::string folder = ctx.Folders[i]; // the list may grow during the scan
    QuickScan(ctx, folder);
  }
}

} // namespace orvanta
