#pragma once

#include <string>
#include <string_view>

#include "scan/find_context.h"

namespace orvanta {

// Appends every existing folder below `path`, whose directory is at
// `where` (at any depth, each directory once, no path longer than
// kMaxFolderPathBytes), to the context's folder list, each with the first
// cluster its live entry names. Ends early when the running flag is cleared.
void ListFolders(FindContext &ctx, const std::string &path, const FolderLocation &where);

// Scans the directory of one folder of the folder list and records its
// deleted files; sub-folders are added to the list by their first clusters,
// each directory once.
void QuickScan(FindContext &ctx, const QueuedFolder &folder);

// The quick scan of a whole Find: the root, then every existing folder,
// sorted, then each folder of the list (which grows while it is visited),
// with the progress bar only ever growing.
void RunQuickScan(FindContext &ctx);

} // namespace orvanta
