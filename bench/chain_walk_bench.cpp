// Chain walks over the FAT of a 64 GB card with 32 KiB clusters (about two
// million entries): one long file, and many short ones as a restore of a
// folder of photos walks them.
#include <benchmark/benchmark.h>

#include "platform/memory_device.h"
#include "volume/volume.h"

namespace {

using namespace orvanta;

constexpr std::uint32_t kClusters = 2'000'000;

struct LoadedFat {
  FixedDrives drives;
  Volume volume{drives};
  LoadedFat(std::uint32_t chainLength) {
    auto &g = volume.Geometry();
    g.FatType = 32;
    g.ClusterCount = static_cast<std::int32_t>(kClusters);
    auto &fat = volume.FatImage();
    fat.assign(std::size_t{kClusters} * 4, 0);
    for (std::uint32_t c = 2; c < kClusters; ++c) {
      const std::uint32_t next = (c - 2) % chainLength == chainLength - 1 ? 0x0FFFFFFF : c + 1;
      for (int i = 0; i < 4; ++i)
        fat[std::size_t{c} * 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(next >> (8 * i));
    }
  }
};

void BM_OneLongChain(benchmark::State &state) {
  LoadedFat f(kClusters);
  for (auto _ : state) {
    f.volume.WalkFat32Chain(2);
    benchmark::DoNotOptimize(f.volume.ChainList().size());
  }
  state.SetItemsProcessed(state.iterations() * (kClusters - 2));
}
BENCHMARK(BM_OneLongChain)->Unit(benchmark::kMillisecond);

void BM_ManyShortChains(benchmark::State &state) {
  LoadedFat f(128); // 4 MiB photos
  std::uint32_t first = 2;
  for (auto _ : state) {
    f.volume.WalkFat32Chain(static_cast<std::int32_t>(first));
    benchmark::DoNotOptimize(f.volume.ChainList().size());
    first = first + 128 < kClusters - 128 ? first + 128 : 2;
  }
  state.SetItemsProcessed(state.iterations() * 128);
}
BENCHMARK(BM_ManyShortChains);

} // namespace

BENCHMARK_MAIN();
