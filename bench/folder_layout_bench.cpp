// The deep scan of two quick-formatted cards that hold the same 10,000
// small files, once in 2,000 folders of 5 and once in 40 folders of 250.
// Reading the card costs the same for both; what differs is the work per
// folder (naming it by its ".." links, and the names of the files recorded
// under it). Timed in paired rounds; the ratio shows how much more the many
// small folders cost.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "jobs/engine_state.h"
#include "deep_find.h"
#include "paired_runs.h"
#include "platform/posix/posix_device.h"
#include "jobs/find_job.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace orvanta;

constexpr int kFiles = 10000;

// A FAT32 card of 8 KiB clusters (a folder of 250 files fits in one) with
// `folders` camera folders of equal shares, copied in one mcopy and then
// quick-formatted.
fs::path MakeCard(const fs::path &dir, int folders) {
  const fs::path tree = dir / "tree";
  const auto bytes = test::PatternBytes(1000, 3);
  for (int f = 0; f < folders; ++f) {
    char folder[32];
    std::snprintf(folder, sizeof folder, "DCIM/%04dMEDIA", f);
    fs::create_directories(tree / folder);
    for (int i = 0; i < kFiles / folders; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.JPG", i + 1);
      test::WriteFileBytes(tree / folder / name, bytes);
    }
  }
  const fs::path image = dir / ("card" + std::to_string(folders) + ".img");
  test::FatImageFile card(image, {.FatBits = 32, .SizeKiB = 640 * 1024, .SectorsPerCluster = 16});
  test::RunOrFail({"mcopy", "-s", "-i", image.string(), (tree / "DCIM").string(), "::/"});
  fs::remove_all(tree);
  card.Reformat();
  return image;
}

// The files the last deep scan of a card found.
std::int64_t found = 0;

void DeepScan(const fs::path &image) { found = orvanta::bench::DeepFind(image); }

} // namespace

int main() {
  test::TempDir dir;
  const fs::path many = MakeCard(dir.Path(), 2000);
  const fs::path few = MakeCard(dir.Path(), 40);
  std::int64_t foundInMany = 0, foundInFew = 0;
  orvanta::bench::ComparePaired("deep scan of 10,000 files",
                                {{"2000 folders x 5",
                                  [&] {
                                    DeepScan(many);
                                    foundInMany = found;
                                  }},
                                 {"40 folders x 250", [&] {
                                    DeepScan(few);
                                    foundInFew = found;
                                  }}});
  std::printf("  found: %lld and %lld\n", static_cast<long long>(foundInMany),
              static_cast<long long>(foundInFew));
  return 0;
}
