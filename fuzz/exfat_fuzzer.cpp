// The exFAT reader on any volume: the quick scan (or, in the other mode, the
// deep scan), the start of every file found, then the deleted-entries wipe
// (or the free-space wipe); it ends, and the wipe writes nothing before the
// cluster heap nor into the bitmap or the up-case table.
#include "exfat/exfat_volume.h"
#include "fuzz_support.h"
#include "jobs/wipe_job.h"
#include "restore/extraction.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  (void)engine->Find(engine->OtherMode());
  for (const auto &folder : engine->State.Catalogue.Folders())
    for (const auto &row : folder.Files)
      (void)ReadFoundFileStart(engine->State.Vol, engine->Host,
                               {row.Size, row.FirstCluster, row.Runs, row.ValidLength}, 4096);

  const std::vector<std::uint8_t> before = engine->Drive->Image();
  WipeOptions options;
  options.FreeSpace = engine->OtherMode();
  options.Confirm = [](const std::string &) { return true; };
  const auto outcome = RunWipe(engine->State, engine->Host, options);
  const auto &g = engine->State.Vol.Geometry();
  if (outcome.Outcome != WipeOutcome::Result::Done || g.FatType != kExfat)
    return 0;
  const auto &after = engine->Drive->Image();
  auto unchanged = [&](std::uint64_t sector, std::uint64_t count) {
    const std::uint64_t from = std::min<std::uint64_t>(before.size(), sector * std::uint64_t(g.BytesPerSector));
    const std::uint64_t to =
        std::min<std::uint64_t>(before.size(), (sector + count) * std::uint64_t(g.BytesPerSector));
    return std::equal(before.begin() + std::ptrdiff_t(from), before.begin() + std::ptrdiff_t(to),
                      after.begin() + std::ptrdiff_t(from));
  };
  if (!unchanged(0, std::uint64_t(g.RootStartSector)))
    __builtin_trap(); // a boot region or a FAT was written
  for (const auto &[first, count] : g.ShieldedSectors)
    if (!unchanged(first, count))
      __builtin_trap(); // the bitmap or the up-case table was written
  return 0;
}
