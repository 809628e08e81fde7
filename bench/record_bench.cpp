// Recording found files whose names repeat: N files named IMG.JPG in one
// folder (a card whose camera numbering was reset many times), each getting
// the next free " (n)". The time per file should not grow with N.
#include <benchmark/benchmark.h>

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
      RecordFoundFile(ctx, "E:\\DCIM\\100MEDIA\\", "IMG.JPG", "1#2019/05/07 09:05#2#0");
    benchmark::DoNotOptimize(engine.Catalogue.KeyCount());
  }
  state.SetItemsProcessed(state.iterations() * files);
  state.SetComplexityN(files);
}
BENCHMARK(BM_RecordSameName)->Arg(2'500)->Arg(5'000)->Arg(10'000)->Arg(20'000)
    ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
