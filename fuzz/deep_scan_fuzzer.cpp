// The deep scan of any volume: directory clusters found anywhere in the data
// area and their folder paths climbed through ".." links.
#include "fuzz_support.h"
#include "scan/find_job.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  FindOptions options;
  options.Deep = true;
  options.MaxYearOffset = 127;
  (void)RunFind(engine->State, engine->Host, options);
  return 0;
}
