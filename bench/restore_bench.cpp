// Restoring every deleted file of a card image that sits in the page cache,
// against copying the same bytes with a plain read/write loop. The card (FAT32,
// 4 KiB clusters) holds 100 deleted files of 256 KiB whose FAT entries were
// cleared (each read as one run) and 100 whose chains survived (each read
// cluster by cluster, one device open per cluster).
#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "scan/found_file_row.h"
#include "restore/restore_jobs.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace orvanta;

constexpr int kFiles = 100;
constexpr std::size_t kFileBytes = 256 * 1024;

struct Card {
  test::TempDir Dir;
  std::filesystem::path Image = Dir / "card.img";
  std::unique_ptr<test::EngineFixture> Engine;

  Card() {
    test::RunOrFail({"mkfs.fat", "-F", "32", "-s", "8", "-C", Image.string(), "327680"});
    for (const char *folder : {"C", "K"}) {
      std::filesystem::create_directories(Dir / folder);
      for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%s%03d.BIN", folder, i);
        test::WriteFileBytes(Dir / folder / name, test::PatternBytes(kFileBytes, std::uint32_t(i)));
      }
      test::RunOrFail({"mcopy", "-s", "-i", Image.string(), (Dir / folder).string(), "::/"});
    }
    test::RunOrFail({"mdel", "-i", Image.string(), "::/C/*.BIN"});
    // The K files: entries marked deleted, chains left in the FAT.
    auto bytes = test::ReadFileBytes(Image);
    for (std::size_t at = 0; at + 32 <= bytes.size(); at += 32)
      if (bytes[at] == 'K' && std::memcmp(&bytes[at + 8], "BIN", 3) == 0 && bytes[at + 11] == 0x20)
        bytes[at] = 0xE5;
    test::WriteFileBytes(Image, bytes);

    Engine = std::make_unique<test::EngineFixture>(std::make_shared<PosixDevice>(Image, 512));
    if (Engine->Find().Outcome != FindOutcome::Result::Found ||
        Engine->State.FoundCount != 2 * kFiles)
      std::abort();
  }
};

Card &TheCard() {
  static Card card;
  return card;
}

void RestoreSection(benchmark::State &state, const char *section) {
  Card &card = TheCard();
  RestoreState restore;
  restore.CurrentSection = section;
  restore.DestFolder = card.Dir / "out";
  for (auto _ : state) {
    std::filesystem::remove_all(restore.DestFolder);
    std::filesystem::create_directories(restore.DestFolder);
    const auto outcome = RestoreFolder(card.Engine->State, restore, card.Engine->Host);
    if (outcome.Restored != kFiles)
      state.SkipWithError("not every file was restored");
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(kFiles * kFileBytes));
}

void BM_RestoreRuns(benchmark::State &state) { RestoreSection(state, "E:\\C\\"); }
void BM_RestoreChains(benchmark::State &state) { RestoreSection(state, "E:\\K\\"); }

// The same files' bytes from the image, each copied with one open and a loop
// of 64 KiB reads and writes.
void BM_PlainCopy(benchmark::State &state) {
  Card &card = TheCard();
  const auto &vol = card.Engine->State.Vol;
  const auto &catalogue = card.Engine->State.Catalogue;
  const auto keys = catalogue.Keys("E:\\C\\");
  const auto out = card.Dir / "plain";
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    for (const auto &key : keys) {
      const auto entry = FoundFileRow::Parse(catalogue.Value("E:\\C\\", key));
      const int in = ::open(card.Image.c_str(), O_RDONLY);
      const int to = ::open((out / key).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      off_t at = off_t(vol.ClusterToSector(entry->FirstCluster)) * vol.Geometry().BytesPerSector;
      for (std::size_t left = std::size_t(entry->Size); left > 0;) {
        const auto n = ::pread(in, buffer.data(), std::min(left, buffer.size()), at);
        if (n <= 0 || ::write(to, buffer.data(), std::size_t(n)) != n)
          break;
        left -= std::size_t(n);
        at += n;
      }
      ::close(to);
      ::close(in);
    }
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(kFiles * kFileBytes));
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreRuns)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreChains)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
