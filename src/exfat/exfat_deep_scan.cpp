#include "exfat/exfat_scans.h"

namespace orvanta::exfat {

void RunExfatDeepScan(FindContext &ctx) { RunExfatQuickScan(ctx); }

} // namespace orvanta::exfat
