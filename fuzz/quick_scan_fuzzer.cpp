// The quick scan of any volume, through the built-in live view.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  (void)engine->Find(/*deep=*/false);
  return 0;
}
