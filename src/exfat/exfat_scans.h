#pragma once

#include "scan/find_context.h"

namespace orvanta::exfat {

// The quick scan of an exFAT volume: the live tree from the root, each
// folder's deleted sets recorded; deleted folders are entered (their own
// run, or their chain while the bitmap shows it free) and every file in
// them counts as deleted. Each directory is read once; no path goes deeper
// than kMaxFolderDepth. The bar grows with the folders visited.
void RunExfatQuickScan(FindContext &ctx);

// The deep scan of an exFAT volume: every cluster of the heap, in one pass,
// taken as a directory when its first entries form sound sets; folders are
// linked to their parents through the first clusters their sets name, and
// what cannot be linked is put under "Lost folder N". Files of live folders
// are recorded only when they are deleted.
void RunExfatDeepScan(FindContext &ctx);

} // namespace orvanta::exfat
