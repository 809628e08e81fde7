// Geometry, FAT loading, chain walks and directory reads of any boot sector
// and FAT.
#include "fuzz_support.h"
#include "volume/directory_reads.h"
#include "jobs/volume_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace orvanta;
  auto engine = fuzz::FuzzEngine::From(data, size);
  if (!engine)
    return 0;
  auto &volume = engine->State.Vol;
  if (OpenVolume(volume, "E:", /*loadFat=*/true) != VolumeCheck::Ok)
    return 0;
  (void)DriveSummaryLines(volume.Geometry());
  const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(volume.FatEntryCount(), 64));
  for (std::uint32_t c = 0; c < count; ++c) {
    volume.WalkChain(static_cast<std::int32_t>(c), &engine->Host);
    if (volume.ChainList().size() > std::size_t(std::max<std::int64_t>(volume.Geometry().ClusterCount, 1)))
      __builtin_trap(); // a walk is never longer than the volume
    (void)DirectoryChain(volume, c);
  }
  std::vector<std::uint8_t> bytes;
  (void)ReadRootDirectory(volume, bytes);
  return 0;
}
