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

// The folders a quick scan visits: full paths ending in a backslash, in the
// order they were added; membership ignores letter case.
class FolderList {
public:
  bool Contains(std::string_view path) const;
  // Appends unless present; true when appended.
  bool Add(std::string path);
  std::size_t Count() const { return items_.size(); }
  const std::string &operator[](std::size_t i) const { return items_[i]; }
  // Case-insensitive order in which a folder comes before its sub-folders
  // and the root before everything.
  void Sort();

private:
  std::vector<std::string> items_;
  std::unordered_set<std::string> folded_;
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
  // Directories (by first cluster; 0 is the FAT16 root region) already
  // scanned or listed during this Find.
  std::unordered_set<std::uint64_t> ScannedDirectories;
  std::unordered_set<std::uint64_t> ListedDirectories;
  // The first clusters of the sub-folders that scanned directories added to
  // the folder list: a directory is added once, whatever names lead to it.
  std::unordered_set<std::uint32_t> QueuedDirectories;
  // For each directory read while locating folders (by first cluster; the
  // root as 0): its sub-folder names (folded), each with the first cluster
  // of its first fitting entry in directory order.
  std::unordered_map<std::uint64_t, std::unordered_map<std::string, std::uint32_t>> Directories;
  // The directories the deep scan's climb has read (by first cluster; the
  // root as 0): each is read and walked once per Find.
  std::unordered_map<std::uint32_t, ClimbListing> ClimbListings;
  // What the live files hold, read from the volume when the first found
  // file's condition is worked out.
  std::optional<LiveClusters> HeldClusters;
  // The first clusters of the files found by their entries.
  std::unordered_set<std::uint32_t> EntryFirstClusters;
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

} // namespace orvanta
