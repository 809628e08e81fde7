#pragma once

#include <string>
#include <string_view>

#include "scan/find_context.h"

namespace orvanta {

// Appends every existing folder below `path` (at any depth, each directory
// once, no path longer than kMaxFolderPathBytes) to the context's folder
// list. Ends early when the running flag is cleared.
void ListFolders(FindContext &ctx, const std::string &path);

// Scans the directory of one folder of the folder list and records its
// deleted files; deleted sub-folders are added to the list, each directory
// once.
void QuickScan(FindContext &ctx, const std::string &folder);

// The quick scan of a whole Find: the root, then every existing folder,
// sorted, then each folder of the list (which grows while it is visited),
// with the progress bar only ever growing.
void RunQuickScan(FindContext &ctx);

} // namespace orvanta
