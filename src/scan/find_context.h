#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/operation_host.h"
#include "scan/duplicate_numbering.h"
#include "scan/entry_decoding.h"
#include "scan/find_state.h"
#include "scan/found_file_row.h"
#include "scan/live_clusters.h"
#include "scan/live_view.h"
#include "scan/mask.h"

namespace orvanta {

// The deep scan's climb collects no more than this many names.
inline constexpr std::size_t kMaxFolderDepth = 128;

// The quick scan follows no folder whose path would be longer than a path
// on the host can be (PATH_MAX): nothing could be restored into it. Depth
// itself is bounded only by the directories already visited.
inline constexpr std::size_t kMaxFolderPathBytes = 4096;

// Where a folder's directory lies: the root, or a first cluster.
struct FolderLocation {
  bool Root = true;
  std::uint32_t Cluster = 0;
};

// A folder the quick scan visits. Folders are told apart by their
// directory, never by name: a live and a deleted folder of one name (or of
// names that differ only in letter case) are two folders.
struct QueuedFolder {
  std::string Path; // full path ending in a backslash, for the log and the catalogue
  FolderLocation Where;
  bool Exists = true; // neither it nor a folder above it was deleted
};

// The folders a quick scan visits, in the order they were added, each
// directory once.
class FolderList {
public:
  // Appends unless the directory (a first cluster, or the root's key) is
  // listed already; true when appended.
  bool Add(std::uint64_t directory, QueuedFolder folder);
  bool Contains(std::uint64_t directory) const { return directories_.count(directory) > 0; }
  std::size_t Count() const { return items_.size(); }
  const QueuedFolder &operator[](std::size_t i) const { return items_[i]; }
  // Case-insensitive order of the paths in which a folder comes before its
  // sub-folders and the root before everything; folders of one path keep
  // the order they were added in.
  void Sort();

private:
  std::vector<QueuedFolder> items_;
  std::unordered_set<std::uint64_t> directories_;
};

// The live sub-folders of a directory by name: its entries that are not
// deleted and whose first cluster lies on the volume, by exact name and by
// folded name (the first of each in directory order).
struct LiveFolderNames {
  std::unordered_map<std::string, std::uint32_t> Exact, Folded;
};

// A directory as the deep scan's path climb sees it when it looks for a
// child's name in it: whether it can be a parent at all (it could be read
// and, unless it is the root, begins with a "." entry naming itself and a
// ".." link below ClusterCount), its ".." link, and the name each child
// cluster has in it: that of the folder that exists, else that of the last
// deleted folder entry.
struct ClimbListing {
  bool Usable = false;
  std::uint32_t DotDot = 0;
  std::unordered_map<std::uint32_t, std::string> Names;
};

// Everything one Find works with.
struct FindContext {
  FindContext(FindState &state, OperationHost &host, LiveView &live, FileMask mask,
              bool admitsAll, int maxYearOffset)
      : State(state), Host(host), Live(live), Mask(std::move(mask)), AdmitsAll(admitsAll),
        MaxYearOffset(maxYearOffset) {}

  FindState &State;
  OperationHost &Host;
  LiveView &Live;
  FileMask Mask;
  bool AdmitsAll;    // the mask is exactly "*.*"
  int MaxYearOffset; // the latest plausible year, less 1980

  FolderList Folders;
  DuplicateNumbering Duplicates;
  // Directories (by their identity on the live view) already listed.
  std::unordered_set<std::uint64_t> ListedDirectories;
  // The live sub-folders of each directory read while listing folders (by
  // first cluster; the FAT16 root as 0).
  std::unordered_map<std::uint64_t, LiveFolderNames> Directories;
  // The directories the deep scan's climb has read (by first cluster; the
  // root as 0): each is read and walked once per Find.
  std::unordered_map<std::uint32_t, ClimbListing> ClimbListings;
  // What the live files hold, read from the volume when the first found
  // file's condition is worked out.
  std::optional<LiveClusters> HeldClusters;
  // The first clusters of the files found by their entries.
  std::unordered_set<std::uint32_t> EntryFirstClusters;

  // A text of the language file, read from it once per Find: the scans
  // name thousands of folders with the same few words.
  const std::string &Text(std::string_view section, std::string_view key,
                          std::string_view defaultText);

private:
  std::unordered_map<std::string, std::string> texts_;
};

// The catalogue row of a file entry (not the volume's label) that passes the
// file tests in order (the mask, a plausible last-write date and time, a
// first cluster not above ClusterCount, a size no larger than the data
// area), with the given mark, the file's condition on the volume and the
// seconds of its last-write time; nothing when a test fails. Files of size 0
// are kept (their name may be all a person needs), as "empty".
std::optional<FoundFileRow> FoundFileRowOf(FindContext &ctx, const ShortEntry &entry,
                                           std::span<const std::uint8_t> raw, char mark);

// Records a found file: its folder gets a tree node, a name already present
// in the folder gets a number ("photo (1).jpg"), the log shows path and
// name, the counter goes up, and the catalogue gets the row.
void RecordFoundFile(FindContext &ctx, std::string path, FoundFileRow row);

// A folder's name as one component of a path: a backslash inside a long
// name, which would split it in two, becomes "_".
std::string ComponentOf(std::string name);

} // namespace orvanta
