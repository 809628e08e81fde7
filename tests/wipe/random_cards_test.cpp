// Both wipes on cards made by a random run of what people do to a card:
// folders made, files written and deleted, whole trees removed, the gaps
// filled again by later files. fsck.fat, mtools and The Sleuth Kit witness
// the result. A few cards are made in every test run; for a long run set
// ORVANTA_RANDOM_CARDS=N (cards per FAT type) and ORVANTA_RANDOM_SEED=S (the
// first card's seed).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "card_checks.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "wipe/wipe_job.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::TempDir;

std::uint32_t EnvNumber(const char *name, std::uint32_t fallback) {
  const char *text = std::getenv(name);
  if (!text || !*text)
    return fallback;
  return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

// The random card of one seed; `log` lists what was done, for the failure
// message.
class CardMaker {
public:
  CardMaker(FatImageFile &card, std::uint32_t seed) : card_(card), rng_(seed) {}

  void Make() {
    const int steps = 40 + Pick(80);
    for (int i = 0; i < steps; ++i) {
      const int r = Pick(100);
      if (r < 15)
        MakeFolder();
      else if (r < 60)
        WriteFile();
      else if (r < 85)
        DeleteFile();
      else if (r < 90)
        DeleteTree();
    }
  }

  std::string Log() const { return log_.str(); }

private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }

  std::string Name(bool folder) {
    const int n = ++serial_;
    char text[96];
    switch (Pick(6)) {
    case 0: std::snprintf(text, sizeof text, folder ? "DIR%03d" : "IMG_%04d.JPG", n); break;
    case 1: std::snprintf(text, sizeof text, folder ? "Photos of day %d" : "Holiday photo number %d.jpeg", n); break;
    case 2: std::snprintf(text, sizeof text, folder ? "Папка %d" : "Отчёт %d.docx", n); break;
    case 3: std::snprintf(text, sizeof text, folder ? "v%d.backup.old" : "file.%d.tar.gz", n); break;
    case 4: std::snprintf(text, sizeof text, "noext%d", n); break;
    default: std::snprintf(text, sizeof text, "a%d.t", n); break;
    }
    return text;
  }

  std::string SomeFolder(bool forNewFolder) {
    for (;;) {
      const auto &f = folders_[std::size_t(Pick(int(folders_.size())))];
      if (!forNewFolder || std::count(f.begin(), f.end(), '/') < 4)
        return f;
    }
  }

  void MakeFolder() {
    const auto path = SomeFolder(true) + "/" + Name(true);
    log_ << "mkdir " << path << '\n';
    card_.Mkdir(path);
    folders_.push_back(path);
  }

  void WriteFile() {
    std::size_t size = 0;
    switch (Pick(10)) {
    case 0: size = 0; break;
    case 1: case 2: case 3: size = std::size_t(1 + Pick(600)); break;
    case 4: case 5: size = std::size_t(1800 + Pick(600)); break; // about one cluster
    case 9: size = std::size_t(20000 + Pick(20000)); break;
    default: size = std::size_t(2500 + Pick(14000)); break;
    }
    const auto path = SomeFolder(false) + "/" + Name(false);
    log_ << "put " << path << ' ' << size << '\n';
    card_.Put(path, test::PatternBytes(size, static_cast<std::uint32_t>(rng_())));
    files_.push_back(path);
  }

  void DeleteFile() {
    if (files_.empty())
      return;
    const auto at = files_.begin() + Pick(int(files_.size()));
    log_ << "del " << *at << '\n';
    card_.Delete(*at);
    files_.erase(at);
  }

  void DeleteTree() {
    if (folders_.size() < 2)
      return;
    const std::string tree = folders_[1 + std::size_t(Pick(int(folders_.size()) - 1))];
    log_ << "deltree " << tree << '\n';
    card_.DeleteTree(tree);
    const auto inside = [&](const std::string &p) { return p == tree || p.starts_with(tree + "/"); };
    std::erase_if(folders_, inside);
    std::erase_if(files_, inside);
  }

  FatImageFile &card_;
  std::mt19937 rng_;
  std::vector<std::string> folders_{""};
  std::vector<std::string> files_;
  int serial_ = 0;
  std::ostringstream log_;
};

WipeOutcome Wipe(const std::filesystem::path &image, bool freeSpace, std::optional<long> stopAfter,
                 long *pumps = nullptr) {
  auto engine = test::EngineFixture::OfImage(image);
  engine.Host.StopAfterPumps = stopAfter;
  WipeOptions options;
  options.FreeSpace = freeSpace;
  options.Confirm = [](const std::string &) { return true; };
  auto outcome = RunWipe(engine.State, engine.Host, options);
  if (pumps)
    *pumps = engine.Host.Pumps;
  return outcome;
}

void WipeRandomCards(int fatBits) {
  const std::uint32_t cards = EnvNumber("ORVANTA_RANDOM_CARDS", 2);
  const std::uint32_t first = EnvNumber("ORVANTA_RANDOM_SEED", 1);
  std::size_t deletedBefore = 0;
  for (std::uint32_t seed = first; seed < first + cards; ++seed) {
    TempDir dir;
    const auto master = dir / "card.img";
    FatImageFile image(master, {.FatBits = fatBits, .SizeKiB = fatBits == 32 ? 40 * 1024u : 16 * 1024u,
                                .SectorsPerCluster = fatBits == 32 ? 1 : 4});
    CardMaker maker(image, seed * 2 + std::uint32_t(fatBits));
    maker.Make();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", made by:\n" + maker.Log());
    const auto live = test::LiveFiles(master, dir / "live");
    deletedBefore += test::DeletedInLiveFolders(master).size();
    const auto copy = dir / "copy.img";

    for (const bool freeSpace : {false, true}) {
      SCOPED_TRACE(freeSpace ? "free-space wipe" : "deleted-entries wipe");
      std::filesystem::copy_file(master, copy, std::filesystem::copy_options::overwrite_existing);
      long pumps = 0;
      const auto outcome = Wipe(copy, freeSpace, std::nullopt, &pumps);
      ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
      EXPECT_EQ(outcome.FailedWrites, 0);
      ASSERT_TRUE(test::FsckClean(copy));
      EXPECT_EQ(test::DeletedInLiveFolders(copy), std::vector<std::string>{});
      ASSERT_TRUE(test::LiveFiles(copy, dir / "after") == live) << "live files changed";
      if (freeSpace) {
        EXPECT_EQ(outcome.Message, "Free drive space wiped: 100%");
        EXPECT_EQ(test::DirtyFreeClusters(test::ReadFileBytes(copy)), std::vector<std::uint32_t>{});
      }

      // Stopped somewhere in the same run: sound, and nothing live lost.
      const long stopAt = 1 + long(seed * 7919u % std::uint32_t(std::max(1L, pumps)));
      std::filesystem::copy_file(master, copy, std::filesystem::copy_options::overwrite_existing);
      Wipe(copy, freeSpace, stopAt);
      ASSERT_TRUE(test::FsckClean(copy)) << "stopped after " << stopAt << " of " << pumps;
      ASSERT_TRUE(test::LiveFiles(copy, dir / "after") == live) << "stopped after " << stopAt;
    }
  }
  // The cards must give the wipes something to do.
  EXPECT_GT(deletedBefore, cards);
  std::printf("%u cards, %zu deleted entries in live folders before the wipes\n", cards, deletedBefore);
}

TEST(RandomCards, BothWipesKeepEveryLiveFileOnFat16) { WipeRandomCards(16); }
TEST(RandomCards, BothWipesKeepEveryLiveFileOnFat32) { WipeRandomCards(32); }

} // namespace
} // namespace orvanta
