// A 1 GiB exFAT card (32 KiB clusters, 3,000 photos in 40 camera folders,
// every other photo deleted): its deep scan against `cat` and `dd bs=1M` of
// the page-cached image, and its free-space wipe against `dd` writing as
// many zeros into a copy of the image with fsync (the wipe flushes its
// writes before it reports), in paired rounds.
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "deep_find.h"
#include "exfat/exfat_volume.h"
#include "jobs/wipe_job.h"
#include "paired_runs.h"
#include "support/exfat_card.h"
#include "support/fat_image.h"

namespace {

namespace fs = std::filesystem;
using namespace orvanta;

constexpr int kFolders = 40;
constexpr int kPhotosPerFolder = 75;

std::uint64_t MakeCard(const fs::path &image) {
  test::ExfatCard card(image, std::uint64_t{1} << 30, 32768, "CAMERA");
  const auto noise = test::PatternBytes(512 * 1024, 7);
  std::uint64_t deletedBytes = 0;
  card.MakeFolder("DCIM");
  for (int f = 0; f < kFolders; ++f) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "DCIM/%03dMEDIA", 100 + f);
    card.MakeFolder(folder);
    for (int i = 0; i < kPhotosPerFolder; ++i) {
      const int n = f * kPhotosPerFolder + i;
      const std::size_t size = 64 * 1024 + std::size_t(n % 7) * 64 * 1024;
      std::vector<std::uint8_t> bytes(noise.begin(), noise.begin() + std::ptrdiff_t(size % noise.size()));
      bytes.resize(size, std::uint8_t(n));
      char name[48];
      std::snprintf(name, sizeof name, "%s/IMG_%04d.JPG", folder, n + 1);
      card.Put(name, bytes, n % 3 ? test::ExfatLayout::Contiguous : test::ExfatLayout::Fragmented);
    }
  }
  // Deleted once all are written: a photo written after a deletion would
  // take the deleted set's slots and clusters.
  for (int n = 1; n < kFolders * kPhotosPerFolder; n += 2) {
    char name[48];
    std::snprintf(name, sizeof name, "DCIM/%03dMEDIA/IMG_%04d.JPG", 100 + n / kPhotosPerFolder, n + 1);
    card.Delete(name);
    deletedBytes += 64 * 1024 + std::size_t(n % 7) * 64 * 1024;
  }
  card.Save();
  return deletedBytes;
}

} // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("orvanta-exfat-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path image = dir / "card.img";
  MakeCard(image);
  const std::string path = image.string();
  bench::RunQuietly({"cat", path}); // into the page cache
  std::printf("deep scan found %lld files\n", static_cast<long long>(bench::DeepFind(image)));
  bench::ComparePaired("deep scan of the page-cached 1 GiB exFAT card",
                       {{"deep scan", [&] { bench::DeepFind(image); }},
                        {"cat", [&] { bench::RunQuietly({"cat", path}); }},
                        {"dd bs=1M", [&] { bench::RunQuietly({"dd", "if=" + path, "of=/dev/null", "bs=1M"}); }}});

  bench::ImageEngine card(image);
  EngineState &engine = card.State;
  OperationHost &host = card.Host;
  WipeOptions options;
  options.FreeSpace = true;
  options.Confirm = [](const std::string &) { return true; };
  const auto first = RunWipe(engine, host, options);
  std::printf("free-space wipe: %s\n", first.ReportText().c_str());
  const auto bitmap =
      exfat::ReadAllocationBitmap(engine.Vol).value_or(exfat::AllocationBitmap());
  const auto boot = exfat::BootOf(engine.Vol.Geometry());
  std::uint64_t freeClusters = 0;
  for (std::uint64_t c = 2; c <= boot.LastCluster(); ++c)
    freeClusters += bitmap.InUse(c) ? 0 : 1;
  const std::uint64_t freeMiB = freeClusters * boot.BytesPerCluster() >> 20;
  std::printf("free space: %llu MiB\n", static_cast<unsigned long long>(freeMiB));
  // dd overwrites a copy of the card in place, as the wipe does.
  const fs::path zeros = dir / "zeros.img";
  fs::copy_file(image, zeros);
  bench::ComparePaired(
      "free-space wipe of the 1 GiB exFAT card",
      {{"free-space wipe",
        [&] {
          if (RunWipe(engine, host, options).Outcome != WipeOutcome::Result::Done)
            std::abort();
        }},
       {"dd bs=1M conv=fsync of zeros", [&] {
          bench::RunQuietly({"dd", "if=/dev/zero", "of=" + zeros.string(), "bs=1M",
                             "count=" + std::to_string(freeMiB), "conv=notrunc,fsync"});
        }}});
  fs::remove_all(dir);
  return 0;
}
