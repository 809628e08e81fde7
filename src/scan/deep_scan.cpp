#include "scan/deep_scan.h"

namespace orvanta {

void DeepScan(FindContext &ctx) { (void)ctx; }

} // namespace orvanta
