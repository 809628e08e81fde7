#pragma once

#include "scan/find_context.h"

namespace orvanta {

// The deep scan of a whole Find: every directory cluster of the data area,
// found by its "." and ".." entries.
void DeepScan(FindContext &ctx);

} // namespace orvanta
