#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvanta {

class Volume;

// How much of a found file the FAT of its Find still leaves to a restore.
enum class FileCondition {
  Intact,      // every cluster the restore reads is free, or is the file's own chain
  Partly,      // partly overwritten: live files hold clusters inside its run
  Overwritten, // its first cluster is held by a live file
  Empty,       // size 0: nothing to read
};

// The names the catalogue, the JSON output and the command line use:
// "intact", "partly", "overwritten", "empty".
std::string_view ConditionName(FileCondition condition);
std::optional<FileCondition> ConditionFromName(std::string_view name);

// The condition of a file of `size` bytes from `first`, as the volume's FAT
// tells it. A chain that fits the size is the file's own unless its entry
// is marked deleted: deleting a file frees its chain, so a chain behind a
// deleted entry belongs to a live file. A run reaching past the last
// cluster counts as partly overwritten.
FileCondition ConditionOnVolume(const Volume &vol, std::int64_t size, std::int32_t first,
                                bool deletedEntry);

} // namespace orvanta
