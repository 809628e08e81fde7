// The quick scan of any volume, through the built-in live view.
#include "fuzz_support.h"
#include "scan/find_job.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  FindOptions options;
  options.MaxYearOffset = 127;
  (void)RunFind(engine->State, engine->Host, options);
  return 0;
}
