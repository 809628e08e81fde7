// The deep scan of any volume: directory clusters found anywhere in the data
// area and their folder paths climbed through ".." links.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  (void)engine->Find(/*deep=*/true);
  return 0;
}
