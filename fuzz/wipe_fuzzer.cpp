// The deleted-entries wipe (or, in the other mode, the free-space wipe) of
// any volume: it ends, and it never writes the boot sector or the FATs.
#include "fuzz_support.h"
#include "jobs/wipe_job.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  const std::vector<std::uint8_t> before = engine->Drive->Image();
  WipeOptions options;
  options.FreeSpace = engine->OtherMode();
  options.Confirm = [](const std::string &) { return true; };
  const auto outcome = RunWipe(engine->State, engine->Host, options);
  if (outcome.Outcome != WipeOutcome::Result::Done)
    return 0;
  const auto &g = engine->State.Vol.Geometry();
  if (g.RootStartSector <= 0)
    return 0;
  const auto metadata = std::min<std::uint64_t>(
      before.size(), std::uint64_t(g.RootStartSector) * std::uint64_t(g.BytesPerSector));
  const auto &after = engine->Drive->Image();
  if (!std::equal(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(metadata), after.begin()))
    __builtin_trap(); // the boot sector or a FAT was written
  return 0;
}
