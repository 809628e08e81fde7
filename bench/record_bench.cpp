// Recording found files whose names repeat: N files named IMG.JPG in one
// folder (a card whose camera numbering was reset many times), each getting
// the next free " (n)". The time per file should not grow with N. And the
// memory the catalogue holds per found file, with distinct names spread over
// folders of 1,000 files (heap bytes per file, from the allocator's count).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>

#include "jobs/engine_state.h"
#include "scan/find_context.h"

namespace {

using namespace orvanta;

class NoLiveView final : public LiveView {
public:
  bool FolderExists(std::string_view) override { return false; }
  bool FileExists(std::string_view) override { return false; }
  std::optional<std::vector<LiveEntry>> List(std::string_view) override { return std::nullopt; }
};

void BM_RecordSameName(benchmark::State &state) {
  const auto files = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    FixedDrives drives;
    EngineState engine(drives, {}, LanguageFile{});
    engine.Vol.Geometry().DrivePath = "E:";
    OperationHost host;
    NoLiveView live;
    std::string error;
    FindContext ctx(engine, host, live, *FileMask::Compile("*.*", error), true, 46);
    state.ResumeTiming();
    for (int i = 0; i < files; ++i)
      RecordFoundFile(ctx, "E:\\DCIM\\100MEDIA\\",
                      {.Name = "IMG.JPG", .Size = 1, .Written = {2019, 5, 7, 9, 5}, .FirstCluster = 2});
    benchmark::DoNotOptimize(engine.Catalogue.FileCount());
  }
  state.SetItemsProcessed(state.iterations() * files);
  state.SetComplexityN(files);
}
BENCHMARK(BM_RecordSameName)->Arg(2'500)->Arg(5'000)->Arg(10'000)->Arg(20'000)
    ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_RecordDistinctNames(benchmark::State &state) {
  const auto files = static_cast<int>(state.range(0));
  double bytesPerFile = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FixedDrives drives;
    auto engine = std::make_unique<EngineState>(drives, std::filesystem::path{}, LanguageFile{});
    engine->Vol.Geometry().DrivePath = "E:";
    OperationHost host;
    NoLiveView live;
    std::string error;
    FindContext ctx(*engine, host, live, *FileMask::Compile("*.*", error), true, 46);
    const auto before = mallinfo2().uordblks;
    state.ResumeTiming();
    for (int i = 0; i < files; ++i) {
      char folder[32], name[32];
      std::snprintf(folder, sizeof folder, "E:\\DCIM\\%03dMEDIA\\", 100 + i / 1000);
      std::snprintf(name, sizeof name, "IMG_%06d.JPG", i);
      RecordFoundFile(ctx, folder,
                      {.Name = name, .Size = 1234567, .Written = {2019, 5, 7, 9, 5},
                       .FirstCluster = 123456, .Condition = FileCondition::Intact, .Seconds = 58});
    }
    state.PauseTiming();
    bytesPerFile = double(mallinfo2().uordblks - before) / files;
    engine.reset();
    state.ResumeTiming();
  }
  state.counters["heap_bytes_per_file"] = bytesPerFile;
  state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_RecordDistinctNames)->Arg(100'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
