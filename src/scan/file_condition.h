#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvanta {

class LiveClusters;
class Volume;

// How much of a found file the FAT of its Find still leaves to a restore.
enum class FileCondition {
  Intact,      // no live file holds what the restore reads, nor lies inside its run
  Partly,      // partly overwritten: live files hold clusters inside its run or chain
  Overwritten, // its first cluster is held by a live file
  Empty,       // size 0: nothing to read
};

// The names the catalogue, the JSON output and the command line use:
// "intact", "partly", "overwritten", "empty".
std::string_view ConditionName(FileCondition condition);
std::optional<FileCondition> ConditionFromName(std::string_view name);

// The condition of a file of `size` bytes from `first`, as the volume's FAT
// and its live entries (`live`) tell it. A chain that fits the size is the
// file's own unless a live file holds its first cluster. A run reaching past
// the last cluster counts as partly overwritten, a first cluster outside the
// data area as overwritten.
FileCondition ConditionOnVolume(const Volume &vol, const LiveClusters &live, std::int64_t size,
                                std::int32_t first);

} // namespace orvanta
