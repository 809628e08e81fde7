// The deep scan of a quick-formatted 1 GiB FAT32 card (4 KiB clusters,
// 3,000 photos in 40 camera folders, about three quarters full) against a
// plain sequential read of the same image in 1 MiB transfers, both from the
// page cache. The scan should run at the speed of reading the device: the
// ratio of the two throughputs is printed at the end, and then the scan's
// time against `cat` and `dd bs=1M` of the image in paired rounds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <map>
#include <unistd.h>

#include "jobs/engine_state.h"
#include "deep_find.h"
#include "paired_runs.h"
#include "platform/posix/posix_device.h"
#include "jobs/find_job.h"
#include "support/fat_image.h"
#include "support/run.h"

namespace {

namespace fs = std::filesystem;
using namespace orvanta;

constexpr std::uint64_t kImageKiB = 1024 * 1024;
constexpr int kFolders = 40;
constexpr int kPhotosPerFolder = 75;

fs::path ImagePath() { return fs::temp_directory_path() / ("orvanta-deep-bench-" + std::to_string(::getpid())); }

// Writes the card: a local tree of photos copied onto a fresh image in one
// mcopy, then mkfs.fat once more over it, as a quick format does.
void MakeFormattedCard(const fs::path &dir) {
  const fs::path tree = dir / "tree";
  const auto noise = test::PatternBytes(512 * 1024, 7);
  std::size_t at = 0;
  for (int f = 0; f < kFolders; ++f) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "DCIM/%03dMEDIA", 100 + f);
    fs::create_directories(tree / folder);
    for (int i = 0; i < kPhotosPerFolder; ++i) {
      // 64 KiB to 448 KiB a photo.
      const std::size_t size = 64 * 1024 + std::size_t((f * kPhotosPerFolder + i) % 7) * 64 * 1024;
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.JPG", f * kPhotosPerFolder + i + 1);
      std::vector<std::uint8_t> bytes(size);
      for (auto &b : bytes)
        b = noise[at++ % noise.size()];
      test::WriteFileBytes(tree / folder / name, bytes);
    }
  }
  test::FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = kImageKiB, .SectorsPerCluster = 8});
  test::RunOrFail({"mcopy", "-s", "-i", card.Path().string(), (tree / "DCIM").string(), "::/"});
  fs::remove_all(tree);
  card.Reformat();
}

std::uint64_t ImageBytes() { return fs::file_size(ImagePath() / "card.img"); }

void BM_PlainSequentialRead(benchmark::State &state) {
  const fs::path image = ImagePath() / "card.img";
  std::vector<std::uint8_t> buffer(1 << 20);
  const std::uint64_t size = ImageBytes();
  for (auto _ : state) {
    const int fd = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
    std::uint64_t sum = 0;
    for (std::uint64_t offset = 0; offset < size; offset += buffer.size()) {
      const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(offset));
      if (n <= 0)
        break;
      sum += buffer[0];
    }
    ::close(fd);
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_PlainSequentialRead)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_DeepScanOfFormattedCard(benchmark::State &state) {
  const std::uint64_t size = ImageBytes();
  std::int64_t found = 0;
  for (auto _ : state)
    found = orvanta::bench::DeepFind(ImagePath() / "card.img");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_DeepScanOfFormattedCard)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Keeps the throughputs of the runs to print their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const auto &run : runs)
      if (run.counters.count("bytes_per_second"))
        rates[run.run_name.function_name] = run.counters.at("bytes_per_second");
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  const fs::path dir = ImagePath();
  fs::create_directories(dir);
  MakeFormattedCard(dir);
  {
    // Into the page cache.
    std::vector<std::uint8_t> buffer(1 << 20);
    const int fd = ::open((dir / "card.img").c_str(), O_RDONLY | O_CLOEXEC);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto plain = reporter.rates.find("BM_PlainSequentialRead");
  const auto deep = reporter.rates.find("BM_DeepScanOfFormattedCard");
  if (plain != reporter.rates.end() && deep != reporter.rates.end())
    std::cout << "deep scan " << deep->second / 1e6 << " MB/s, plain read " << plain->second / 1e6
              << " MB/s, ratio " << deep->second / plain->second << "\n";

  const std::string image = (dir / "card.img").string();
  orvanta::bench::ComparePaired(
      "deep scan of the page-cached card",
      {{"deep scan", [&] { orvanta::bench::DeepFind(dir / "card.img"); }},
       {"cat", [&] { orvanta::bench::RunQuietly({"cat", image}); }},
       {"dd bs=1M", [&] { orvanta::bench::RunQuietly({"dd", "if=" + image, "of=/dev/null", "bs=1M"}); }}});
  fs::remove_all(dir);
  benchmark::Shutdown();
  return 0;
}
