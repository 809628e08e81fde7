// Restoring every deleted file of a card image that sits in the page cache,
// against copying the same bytes with a plain read/write loop. The card (FAT32,
// 4 KiB clusters) holds 100 deleted files of 256 KiB whose FAT entries were
// cleared (each read as one run) and 100 whose chains survived (read along
// the chain, clusters that follow one another in one transfer). At the end
// the restore of everything is timed against the plainest copy of the same
// files (one open of the image; per file one read, one write and the
// modification time) in paired rounds.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "paired_runs.h"
#include "jobs/restore_jobs.h"
#include "platform/posix/posix_device.h"
#include "scan/found_file_row.h"
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
  const std::vector<FoundFileRow> &files = card.Engine->State.Catalogue.Folder("E:\\C\\")->Files;
  const auto out = card.Dir / "plain";
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    for (const FoundFileRow &entry : files) {
      const int in = ::open(card.Image.c_str(), O_RDONLY);
      const int to = ::open((out / entry.Name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      off_t at = off_t(vol.ClusterToSector(std::int32_t(entry.FirstCluster))) *
                 vol.Geometry().BytesPerSector;
      for (std::size_t left = std::size_t(entry.Size); left > 0;) {
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

// Every found file: one pread of its bytes from its first cluster on (the
// files were written whole, so each lies in one run), then one write and
// futimens into a new file.
void PlainCopyOfEverything(Card &card) {
  const auto &state = card.Engine->State;
  const auto &g = state.Vol.Geometry();
  const auto out = card.Dir / "plain-all";
  std::filesystem::remove_all(out);
  std::vector<char> buffer(kFileBytes);
  const int in = ::open(card.Image.c_str(), O_RDONLY | O_CLOEXEC);
  for (const FoundFolder &found : state.Catalogue.Folders()) {
    const auto folder = out / found.Section.substr(3);
    std::filesystem::create_directories(folder);
    for (const FoundFileRow &entry : found.Files) {
      const off_t at =
          off_t(state.Vol.ClusterToSector(std::int32_t(entry.FirstCluster))) * g.BytesPerSector;
      const auto n = ::pread(in, buffer.data(), std::size_t(entry.Size), at);
      const int to =
          ::open((folder / entry.Name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (n != ssize_t(entry.Size) || ::write(to, buffer.data(), std::size_t(n)) != n)
        std::abort();
      const timespec times[2] = {{0, UTIME_OMIT}, {1557219900, 0}};
      ::futimens(to, times);
      ::close(to);
    }
  }
  ::close(in);
}

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  Card &card = TheCard();
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = card.Dir / "all";
  orvanta::bench::ComparePaired(
      "restore of every found file (" + std::to_string(2 * kFiles) + " x 256 KiB)",
      {{"restore all",
        [&] {
          std::filesystem::remove_all(restore.DestFolder);
          std::filesystem::create_directories(restore.DestFolder);
          if (RestoreFolder(card.Engine->State, restore, card.Engine->Host).Restored != 2 * kFiles)
            std::abort();
        }},
       {"plain copy loop", [&] { PlainCopyOfEverything(card); }}});
  benchmark::Shutdown();
  return 0;
}
