#pragma once

#include <cstdint>
#include <string>

#include "scan/find_context.h"

namespace orvanta {
class LanguageFile;
}

namespace orvanta {

// Clusters of one block of the deep scan: the unit of its progress.
inline constexpr int kDeepScanBlockClusters = 32;

// The deep scan of a whole Find: first the root folder, which has no "."
// pair, read where the boot sector puts it; then reads the data area in blocks of 32
// clusters (the last block holds what is left over; several blocks go in
// one transfer of about 1 MiB), takes every cluster that begins with a "."
// and a ".." entry for the first cluster of a directory, names the
// directory by climbing its ".." links, and records every file entry in it
// that does not exist on the live volume, whether or not it is marked
// deleted (mark "1" when it is, "0" otherwise). Moves the progress bar
// itself; after Stop no further block is read.
// Free clusters that hold directory entries without a "." pair are the
// later clusters of such directories; their files are recorded as well
// (see DirectoryContinuations).
void DeepScan(FindContext &ctx);

// Puts the name of the folder whose directory starts at `child`, as the
// directory at `parent` names it, in front of `CurrentFolderPath` with a
// backslash after it, then goes on from the parent to the parent's own ".."
// link. A link of 0 (on FAT32 also 2, the root's cluster) is the root, which
// is searched from its first entry and ends the climb. When a level cannot
// be named (its parent cannot be read, does not begin with a "." entry
// naming itself, has a ".." link not below ClusterCount, or holds no folder
// entry for it; the links loop; or kMaxFolderDepth names were collected),
// that level becomes LostFolderName of its first cluster and the climb
// ends. A stopped scan ends the climb with the names collected so far.
void ResolveFolderPath(FindContext &ctx, std::uint32_t child, std::uint32_t parent,
                       std::string &CurrentFolderPath);

// The folder that stands for a level whose name is lost: "Lost folder 1234".
std::string LostFolderName(FindContext &ctx, std::uint32_t cluster);

} // namespace orvanta
