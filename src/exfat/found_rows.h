#pragma once

#include <optional>

#include "exfat/entry_sets.h"
#include "exfat/exfat_volume.h"
#include "scan/find_context.h"

namespace orvanta::exfat {

// The catalogue row of a file set that passes the file tests (the mask, a
// length above 0, a first cluster in the heap), with the given mark; its
// runs of clusters, condition and valid length as the volume states them.
std::optional<FoundFileRow> FoundRowOf(FindContext &ctx, const AllocationBitmap &bitmap,
                                       const EntrySet &file, char mark);

} // namespace orvanta::exfat
