// Quick scan of a card with thousands of folders: 4096 folders in the root,
// each with two sub-folders and a few deleted files (12288 folders, 16384
// found files), held in memory so that only the scan itself is measured.
#include <benchmark/benchmark.h>

#include "support/crafted_volume.h"
#include "support/scan_fixture.h"

namespace {

using namespace orvanta;

std::vector<std::uint8_t> ManyFolders() {
  constexpr std::uint32_t kTop = 4096;
  test::CraftedVolume v({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 70000,
                         .ReservedSectors = 32});
  const auto date = test::FatDate(2024, 3, 4);
  // The root: 4096 entries over a chain of 256 clusters, 2 and then 3 on.
  std::vector<std::uint32_t> rootChain{2};
  for (std::uint32_t c = 3; c < 3 + 255; ++c)
    rootChain.push_back(c);
  v.Chain(rootChain);
  std::uint32_t next = 3 + 255;
  auto putInChain = [&](const std::vector<std::uint32_t> &chain, std::size_t index,
                        const test::DirEntry &e) {
    const std::size_t perCluster = v.ClusterBytes() / 32;
    v.PutEntries(v.ClusterOffset(chain[index / perCluster]) + (index % perCluster) * 32, {e});
  };
  for (std::uint32_t i = 0; i < kTop; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "F%07u   ", i);
    const std::uint32_t self = next++;
    v.Chain({self});
    putInChain(rootChain, i, test::ShortEntry(name, 0x10, self, 0, date));
    auto entries = test::DotPair(self, 0);
    for (int s = 0; s < 2; ++s) {
      const std::uint32_t sub = next++;
      v.Chain({sub});
      entries.push_back(test::ShortEntry(s ? "SUB2       " : "SUB1       ", 0x10, sub, 0, date));
      auto inner = test::DotPair(sub, self);
      inner.push_back(test::Deleted(test::ShortEntry("PHOTO   JPG", 0x20, 9, 5000, date)));
      v.PutEntries(v.ClusterOffset(sub), inner);
    }
    entries.push_back(test::Deleted(test::ShortEntry("A       JPG", 0x20, 9, 5000, date)));
    entries.push_back(test::Deleted(test::ShortEntry("B       JPG", 0x20, 9, 5000, date)));
    v.PutEntries(v.ClusterOffset(self), entries);
  }
  return v.Bytes;
}

void BM_QuickScanManyFolders(benchmark::State &state) {
  const auto bytes = ManyFolders();
  for (auto _ : state) {
    auto engine = test::EngineFixture::OfBytes(bytes);
    const auto outcome = engine.Find();
    if (engine.State.FoundCount != 16384)
      state.SkipWithError(("found " + std::to_string(engine.State.FoundCount)).c_str());
    benchmark::DoNotOptimize(outcome);
  }
  state.counters["folders/s"] =
      benchmark::Counter(12288.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_QuickScanManyFolders)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
