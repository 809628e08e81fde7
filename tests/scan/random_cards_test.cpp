// Both scans on random cards (support/random_card.h) against The Sleuth Kit:
// in every folder that exists, the deleted files that fls lists are the ones
// the scan finds, with their sizes and dates, and it finds no others there.
// (ORVANTA_RANDOM_CARDS and ORVANTA_RANDOM_SEED make long runs.)
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/text.h"
#include "scan/found_file_row.h"
#include "support/fat_image.h"
#include "support/random_card.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "support/tsk.h"
#include "tsk_match.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::FatImageFile;
using test::TempDir;

void ScanRandomCards(int fatBits) {
  const std::uint32_t cards = test::RandomCardCount();
  const std::uint32_t first = test::RandomCardFirstSeed();
  std::size_t compared = 0;
  for (std::uint32_t seed = first; seed < first + cards; ++seed) {
    TempDir dir;
    const auto geometry = test::RandomCardGeometry(fatBits);
    FatImageFile card(dir / "card.img", geometry);
    test::RandomCardMaker maker(card, seed * 2 + std::uint32_t(fatBits) + 7);
    maker.Make();
    SCOPED_TRACE("seed " + std::to_string(seed) + ", made by:\n" + maker.Log());

    // On FAT16 the deep scan names first-level folders from one cluster's
    // worth of the root region only (fls numbers root entries from 3).
    const std::uint64_t rootEntriesSearched =
        fatBits == 16 ? std::uint64_t(geometry.SectorsPerCluster) * geometry.SectorSize / 32 : ~0ull;
    std::set<std::string> live = {""}, unnamed;
    for (const auto &e : test::Fls(card.Path(), false))
      if (e.Directory && !e.Deleted) {
        live.insert(e.Path);
        if (e.Path.find('/') == std::string::npos && e.Inode - 3 >= rootEntriesSearched)
          unnamed.insert(e.Path);
      }
    std::vector<test::TskEntry> listed;
    for (const auto &e : test::Fls(card.Path(), true))
      if (!e.Directory && live.count(test::TskFolder(e.Path)))
        listed.push_back(e);

    std::vector<test::FoundRow> quickFound;
    for (const bool deep : {false, true}) {
      SCOPED_TRACE(deep ? "deep scan" : "quick scan");
      auto engine = test::EngineFixture::OfImage(card.Path());
      const auto outcome = engine.Find("*.*", deep);
      ASSERT_NE(outcome.Outcome, FindOutcome::Result::Refused) << outcome.Message;

      // The deep scan names folders as far as it can climb; the root it
      // reads where the boot sector puts it.
      const auto compare = [&](const std::string &folder) {
        return !deep || !unnamed.count(folder.substr(0, folder.find('/')));
      };
      std::vector<test::FoundRow> found;
      for (const auto &e : test::Entries(engine.State.Catalogue)) {
        const bool inLiveFolder = std::any_of(live.begin(), live.end(), [&](const std::string &folder) {
          return compare(folder) && test::SamePath(folder, e.Section);
        });
        if (inLiveFolder)
          found.push_back({e.Section, e.Key, e.Value});
      }
      for (const auto &t : listed) {
        const std::string folder = test::TskFolder(t.Path);
        if (!compare(folder))
          continue;
        const auto it = std::find_if(found.begin(), found.end(), [&](const test::FoundRow &f) {
          return !f.Matched && test::SameFile(t, f);
        });
        EXPECT_NE(it, found.end()) << "not found: " << t.Path << " " << t.Size << " " << test::CatalogueDate(t);
        if (it != found.end()) {
          it->Matched = true;
          // The seconds that the catalogue's date leaves out are kept.
          EXPECT_EQ(test::ParseRow(it->Value)->LastWriteText(),
                    test::CatalogueDate(t) + t.Written.substr(16, 3))
              << t.Path;
        }
        ++compared;
      }
      for (const auto &f : found)
        EXPECT_TRUE(f.Matched) << "not listed by fls: " << f.Section << f.Key << "=" << f.Value;
      if (!deep) {
        quickFound = found;
        continue;
      }
      // Wherever the deep scan can name a folder, it finds what the quick
      // scan found there.
      for (const auto &q : quickFound) {
        const bool named = std::any_of(live.begin(), live.end(), [&](const std::string &folder) {
          return compare(folder) && test::SamePath(folder, q.Section);
        });
        const bool inDeep = std::any_of(found.begin(), found.end(), [&](const test::FoundRow &f) {
          const auto a = test::ParseRow(f.Value), b = test::ParseRow(q.Value);
          // A short folder name may show in capitals, as its entry holds it.
          return FoldCase(f.Section) == FoldCase(q.Section) && f.Key == q.Key && a && b &&
                 a->Size == b->Size &&
                 a->FirstCluster == b->FirstCluster;
        });
        EXPECT_TRUE(!named || inDeep) << "quick scan only: " << q.Section << q.Key << "=" << q.Value;
      }
    }
  }
  // The cards must hold deleted files to compare.
  EXPECT_GT(compared, cards);
  std::printf("%u cards, %zu deleted files compared\n", cards, compared);
}

TEST(RandomCards, ScansFindWhatTheSleuthKitListsInLiveFoldersOnFat16) { ScanRandomCards(16); }
TEST(RandomCards, ScansFindWhatTheSleuthKitListsInLiveFoldersOnFat32) { ScanRandomCards(32); }

} // namespace
} // namespace orvanta
