// The free-space pass over a 320 MiB FAT32 image file with 4 KiB clusters,
// with 200 photos of 64 KiB, against writing the same number of zero
// bytes to the same file with a plain loop (one open, 128 KiB a write, the
// size of one run of the pass). The pass holds the device open for the
// whole run, reads the first cluster of every used cluster, and pumps the
// host at every step. At the end the whole free-space wipe is timed against
// `dd bs=1M conv=fsync` writing as many zeros into a copy of the image, in
// paired rounds: the wipe flushes its writes before it reports, so dd does
// too.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "jobs/engine_state.h"
#include "engine/operation_host.h"
#include "paired_runs.h"
#include "platform/posix/posix_device.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"
#include "volume/device_session.h"
#include "volume/volume_checks.h"
#include "wipe/wipe_engine.h"
#include "jobs/wipe_job.h"

namespace {

using namespace orvanta;

struct Card {
  test::TempDir dir;
  std::filesystem::path path = dir / "card.img";
  FixedDrives drives;
  EngineState state{drives, {}, LanguageFile{}};
  OperationHost host;
  std::uint64_t freeBytes = 0;

  Card() {
    test::FatImageFile image(path, {.FatBits = 32, .SizeKiB = 320 * 1024, .SectorsPerCluster = 8});
    image.Mkdir("/DCIM/100MEDIA");
    for (int i = 0; i < 200; ++i)
      image.Put("/DCIM/100MEDIA/IMG_" + std::to_string(1000 + i) + ".JPG",
                test::PatternBytes(64 * 1024, std::uint32_t(i)));
    drives.Add("E:", std::make_shared<PosixDevice>(path));
    if (OpenVolume(state.Vol, "E:", true) != VolumeCheck::Ok)
      std::abort();
    WipeEngine engine(state, host);
    for (std::uint32_t c = 2; c <= engine.LastDataCluster(); ++c)
      if (state.Vol.FatEntry(c) == 0u)
        freeBytes += std::uint64_t(state.Vol.Geometry().BytesPerCluster);
  }
};

Card &TheCard() {
  static Card card;
  return card;
}

void BM_FreeSpacePass(benchmark::State &s) {
  auto &card = TheCard();
  for (auto _ : s) {
    card.host.SetRunning(true);
    const DeviceSession session(card.state.Vol, DeviceAccess::ReadWrite);
    WipeEngine engine(card.state, card.host);
    benchmark::DoNotOptimize(engine.WipeFAT32());
  }
  s.SetBytesProcessed(std::int64_t(s.iterations()) * std::int64_t(card.freeBytes));
  s.counters["free_MiB"] = double(card.freeBytes) / 1048576.0;
}
BENCHMARK(BM_FreeSpacePass)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainZeroLoop(benchmark::State &s) {
  auto &card = TheCard();
  const std::vector<std::uint8_t> zeros(128 * 1024, 0);
  const auto offset = std::uint64_t(card.state.Vol.ClusterToSector(2)) * 512;
  for (auto _ : s) {
    const int fd = ::open(card.path.c_str(), O_WRONLY | O_CLOEXEC);
    std::uint64_t done = 0;
    while (done < card.freeBytes) {
      const auto n = std::min<std::uint64_t>(zeros.size(), card.freeBytes - done);
      if (::pwrite(fd, zeros.data(), n, off_t(offset + done)) != ssize_t(n))
        std::abort();
      done += n;
    }
    ::close(fd);
  }
  s.SetBytesProcessed(std::int64_t(s.iterations()) * std::int64_t(card.freeBytes));
}
BENCHMARK(BM_PlainZeroLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  auto &card = TheCard();
  const auto copy = card.dir / "zeros.img";
  std::filesystem::copy_file(card.path, copy);
  const std::uint64_t mebibytes = card.freeBytes >> 20;
  orvanta::bench::ComparePaired(
      "free-space wipe of " + std::to_string(mebibytes) + " MiB",
      {{"free-space wipe",
        [&] {
          WipeOptions options;
          options.FreeSpace = true;
          options.Confirm = [](const std::string &) { return true; };
          if (RunWipe(card.state, card.host, options).Outcome != WipeOutcome::Result::Done)
            std::abort();
        }},
       {"dd bs=1M conv=fsync of zeros", [&] {
          orvanta::bench::RunQuietly({"dd", "if=/dev/zero", "of=" + copy.string(), "bs=1M",
                                      "count=" + std::to_string(mebibytes), "conv=notrunc,fsync"});
        }}});
  benchmark::Shutdown();
  return 0;
}
