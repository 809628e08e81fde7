#include <gtest/gtest.h>
#include <cstring>
#include <map>

#include "engine/text.h"
#include "scan/found_file_row.h"
#include "scan/live_view.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "support/tsk.h"
#include "tsk_match.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::EngineFixture;
using test::FatImageFile;
using test::LocalTime;
using test::SameName;
using test::SamePath;
using test::TempDir;

// Marks a folder's short entry and its long-name pieces deleted and frees
// its clusters in both FATs, leaving the entries inside it as they were: a
// folder unlinked the way many cameras and tools do it.
void UnlinkFolder(const std::filesystem::path &image, const std::string &shortName11) {
  auto bytes = test::ReadFileBytes(image);
  const auto reserved = bytes[14] | bytes[15] << 8;
  const bool fat32 = (bytes[22] | bytes[23] << 8) == 0;
  const std::uint32_t fatSectors =
      fat32 ? (bytes[36] | bytes[37] << 8 | bytes[38] << 16 | std::uint32_t(bytes[39]) << 24)
            : std::uint32_t(bytes[22] | bytes[23] << 8);
  for (std::size_t at = 0; at + 32 <= bytes.size(); at += 32) {
    if (std::memcmp(&bytes[at], shortName11.data(), 11) != 0 || !(bytes[at + 11] & 0x10))
      continue;
    bytes[at] = 0xE5;
    for (std::size_t p = at; p >= 32 && bytes[p - 32 + 11] == 0x0F; p -= 32)
      bytes[p - 32] = 0xE5;
    std::uint32_t cluster = bytes[at + 26] | bytes[at + 27] << 8 |
                            (fat32 ? (bytes[at + 20] << 16 | bytes[at + 21] << 24) : 0);
    for (int fat = 0; fat < 2; ++fat) {
      const std::size_t base = (reserved + fat * fatSectors) * 512;
      std::uint32_t c = cluster;
      for (int guard = 0; guard < 1000 && c >= 2; ++guard) {
        const std::size_t e = base + c * (fat32 ? 4 : 2);
        const std::uint32_t next = fat32 ? (bytes[e] | bytes[e + 1] << 8 | bytes[e + 2] << 16 |
                                            std::uint32_t(bytes[e + 3] & 0x0F) << 24)
                                         : std::uint32_t(bytes[e] | bytes[e + 1] << 8);
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(e), fat32 ? 4 : 2, 0);
        if (next >= (fat32 ? 0x0FFFFFF8u : 0xFFF8u))
          break;
        c = next;
      }
    }
    test::WriteFileBytes(image, bytes);
    return;
  }
  FAIL() << "no folder entry " << shortName11;
}

// A card as people bring them: folders, long and non-Latin names, a camera
// folder of several hundred photos, deletions of every kind.
void Populate(FatImageFile &card) {
  const auto d2019 = LocalTime(2019, 5, 7, 9, 5);
  const auto d2020 = LocalTime(2020, 4, 7, 12, 30);
  const auto d2025 = LocalTime(2025, 1, 2, 3, 4);
  const auto d2030 = LocalTime(2030, 1, 1, 0, 0);
  // Folders first: a folder made later would take the slot of a deleted entry.
  for (const char *folder : {"/DCIM/100MEDIA", "/Trip/Day1", "/docs", "/MY.DIR", "/Album"})
    card.Mkdir(folder);

  const std::vector<std::pair<const char *, std::string>> rootFiles = {
      {"/gone.txt", std::string(700, 'g')},        {"/Café déjà vu.txt", std::string(1500, 'c')},
      {"/Привет мир.doc", std::string(2500, 'p')}, {"/photo.jpeg", std::string(5000, 'j')},
      {"/zero.txt", std::string()},                {"/old.txt", std::string(10, 'o')},
      {"/future.txt", std::string(10, 'f')},       {"/AUP.TXT", std::string(111, '1')},
      {"/BUP.TXT", std::string(222, '2')}};
  card.Put("/keep.txt", "kept");
  for (const auto &[name, data] : rootFiles) {
    const std::string n = name;
    card.Put(n, data, n == "/gone.txt" ? d2019 : n == "/old.txt" ? d2020 : n == "/future.txt" ? d2030 : d2025);
  }
  for (const auto &file : rootFiles)
    card.Delete(file.first);

  for (int i = 1; i <= 300; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/DCIM/100MEDIA/IMG_%04d.JPG", i);
    card.Put(name, test::PatternBytes(600 + static_cast<std::size_t>(i), static_cast<std::uint32_t>(i)), d2025);
  }
  for (int i : {10, 150, 290}) {
    char name[32];
    std::snprintf(name, sizeof name, "/DCIM/100MEDIA/IMG_%04d.JPG", i);
    card.Delete(name);
  }
  card.Put("/docs/letter.txt", std::string(900, 'l'), d2025);
  card.Delete("/docs/letter.txt");
  card.Put("/MY.DIR/x.bin", test::PatternBytes(1200, 3), d2025);
  card.Delete("/MY.DIR/x.bin");
  card.Put("/Album/a1.jpg", test::PatternBytes(3000, 11), d2025);
  card.Put("/Album/a2.jpg", test::PatternBytes(3100, 12), d2025);

  card.Put("/Trip/notes.txt", std::string(300, 'n'), d2025);
  card.Put("/Trip/Day1/beach.jpg", test::PatternBytes(4000, 7), d2025);
  card.Put("/Trip/Day1/Sunset at the lake.jpg", test::PatternBytes(9000, 8), d2025);
  card.DeleteTree("/Trip"); // last: nothing written afterwards takes its clusters
}

class QuickScanOnCard : public ::testing::TestWithParam<int> {};

// Every deleted file that The Sleuth Kit lists is in the catalogue with its
// folder, size and date, except those the scan rejects by rule; and nothing
// is in the catalogue that it does not list.
TEST_P(QuickScanOnCard, FindsWhatTheSleuthKitListsButWhatTheRulesReject) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = GetParam(), .SizeKiB = 64 * 1024,
                                       .SectorsPerCluster = GetParam() == 32 ? 1 : 4});
  Populate(card);
  UnlinkFolder(card.Path(), "ALBUM      ");

  auto engine = EngineFixture::OfImage(card.Path());
  const auto outcome = engine.Find();
  ASSERT_EQ(outcome.Outcome, FindOutcome::Result::Found) << outcome.Message;

  std::vector<test::FoundRow> found;
  for (const auto &e : test::Entries(engine.State.Catalogue)) {
    found.push_back({e.Section, e.Key, e.Value});
  }
  EXPECT_EQ(outcome.Message, "Deleted files found: " + std::to_string(found.size()));

  std::vector<std::string> rejected;
  for (const auto &t : test::Fls(card.Path(), /*deletedOnly=*/true)) {
    if (t.Directory)
      continue; // folders are followed, not recorded
    if (t.Path.starts_with("$OrphanFiles/"))
      continue; // reachable from no folder: the deep scan's work
    // The rule: a year up to 2026.
    if (t.Written.substr(0, 4) > "2026") {
      rejected.push_back(t.Path.substr(t.Path.rfind('/') + 1));
      continue;
    }
    const auto it = std::find_if(found.begin(), found.end(), [&](const test::FoundRow &f) {
      return !f.Matched && test::SameFile(t, f);
    });
    ASSERT_NE(it, found.end()) << "not found: " << t.Path << " " << t.Size << " " << test::CatalogueDate(t);
    it->Matched = true;
    EXPECT_EQ(test::ParseRow(it->Value)->Mark, '0');
  }
  for (const auto &f : found)
    EXPECT_TRUE(f.Matched) << "not a deleted file: " << f.Section << f.Key << "=" << f.Value;
  std::sort(rejected.begin(), rejected.end());
  EXPECT_EQ(rejected, (std::vector<std::string>{"_uture.txt"}));

  // The files the fixes reach: deleted files in later clusters of a camera
  // folder, in folders with lower-case and dotted short names, in a folder
  // whose own entries were never marked deleted, and files of 2021 and later.
  const auto &c = engine.State.Catalogue;
  for (const char *key : {"\xD1\x85MG_0010.JPG", "\xD1\x85MG_0150.JPG", "\xD1\x85MG_0290.JPG"})
    EXPECT_NE(test::Value(c, "E:\\DCIM\\100MEDIA\\", key), "") << key;
  EXPECT_EQ(test::Keys(c, "E:\\docs\\").size(), 1u);
  EXPECT_EQ(test::Keys(c, "E:\\MY.DIR\\").size(), 1u);
  // Short names without their lower-case flags, as entries are named.
  EXPECT_EQ(test::Keys(c, "E:\\Album\\"), (std::vector<std::string>{"A1.JPG", "A2.JPG"}));
  EXPECT_EQ(test::Keys(c, "E:\\Trip\\Day1\\").size(), 2u);
  EXPECT_TRUE(test::Value(c, "E:\\", "Café déjà vu.txt").starts_with("1500#2025/01/02 03:04#"));
  EXPECT_NE(test::Value(c, "E:\\", "Привет мир.doc"), "");
  EXPECT_NE(test::Value(c, "E:\\", "photo.jpeg"), "");
  EXPECT_TRUE(test::Value(c, "E:\\", "\xD1\x85ONE.TXT").starts_with("700#2019/05/07 09:05#"));
  EXPECT_TRUE(test::Value(c, "E:\\", "\xD1\x85LD.TXT").starts_with("10#2020/04/07 12:30#"));
  // A file of size 0 is listed: its name may be all a person needs.
  EXPECT_EQ(test::Value(c, "E:\\", "\xD1\x85" "ERO.TXT"), "0#2025/01/02 03:04#0#0#empty#00");
  // AUP.TXT and BUP.TXT both lost their first letter.
  EXPECT_TRUE(test::Value(c, "E:\\", "\xD1\x85UP.TXT").starts_with("111#"));
  EXPECT_TRUE(test::Value(c, "E:\\", "\xD1\x85UP (1).TXT").starts_with("222#"));

  // The tree: the root, then one node per folder with found files, marked
  // by whether the folder still exists.
  const auto &root = *engine.State.Tree.TopLevel()[0];
  EXPECT_EQ(root.Text, "E:");
  std::map<std::string, int> images;
  for (const auto &child : root.Children)
    images[child->Text] = child->ImageIndex;
  EXPECT_EQ(images["DCIM"], 0);
  EXPECT_EQ(images["docs"], 0);
  EXPECT_EQ(images["Album"], 1);
  EXPECT_EQ(images["Trip"], 1);
}

INSTANTIATE_TEST_SUITE_P(Fat, QuickScanOnCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

// Without a year given, the limit is this year by the clock: options that
// leave it out lose nothing written until now.
TEST(QuickScan, DatesAfter2020AreKeptUpToTheGivenYear) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Put("/a2024.txt", "x", LocalTime(2024, 6, 1, 10, 0));
  card.Put("/today.txt", "x", std::time(nullptr));
  card.Delete("/a2024.txt");
  card.Delete("/today.txt");
  auto engine = EngineFixture::OfImage(card.Path());
  EXPECT_EQ(RunFind(engine.State, engine.Host, FindOptions{}).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(engine.State.FoundCount, 2);
  EXPECT_EQ(engine.Find("*.*", false, 44).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(engine.State.FoundCount, 1);
  EXPECT_EQ(engine.Find("*.*", false, 43).Outcome, FindOutcome::Result::NothingFound);
  EXPECT_EQ(engine.Host.LogLines, (std::vector<std::string>{"Deleted files not found!"}));
}

TEST(QuickScan, TheMaskSelectsByWholeNameWithoutRegardToCase) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024});
  for (const char *name : {"/photo.JPG", "/a.txt", "/ab.txt", "/README"})
    card.Put(name, "data", LocalTime(2025, 1, 1, 0, 0));
  for (const char *name : {"/photo.JPG", "/a.txt", "/ab.txt", "/README"})
    card.Delete(name);
  auto engine = EngineFixture::OfImage(card.Path());
  auto keys = [&](const std::string &mask) {
    engine.Find(mask);
    return test::Keys(engine.State.Catalogue, "E:\\").size();
  };
  EXPECT_EQ(keys("*.*"), 4u);
  EXPECT_EQ(keys(""), 4u);
  EXPECT_EQ(keys("*.jpg"), 1u);
  // Short names lose their first letter to the table's character, which any
  // character of the mask matches.
  EXPECT_EQ(keys("?.txt"), 1u);
  EXPECT_EQ(keys("a.txt"), 1u);
  EXPECT_EQ(keys("x.txt"), 1u);
  EXPECT_EQ(keys("readme"), 1u);
  EXPECT_EQ(keys("*"), 4u);
  const auto refused = engine.Find("[a");
  EXPECT_EQ(refused.Outcome, FindOutcome::Result::Refused);
  EXPECT_EQ(refused.Message, "'[a' is an invalid mask at (3)");
  EXPECT_EQ(test::Keys(engine.State.Catalogue, "E:\\").size(), 4u); // the last results stay
}

TEST(QuickScan, AVolumeWithoutFoldersScansTheRootAndFillsTheBarAtTheEnd) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Put("/x.txt", "x", LocalTime(2025, 1, 1, 0, 0));
  card.Delete("/x.txt");
  auto engine = EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(engine.Host.Widths, (std::vector<int>{0, 557, 0}));
  EXPECT_FALSE(engine.State.Operation.Busy());
  EXPECT_EQ(engine.Host.LogLines,
            (std::vector<std::string>{"Find deleted files. Please wait...", "", "E:\\\xD1\x85.TXT"}));
}

TEST(QuickScan, CheckFailuresChangeNothing) {
  TempDir dir;
  auto missing = EngineFixture::OfImage(dir / "none.img");
  missing.State.Catalogue.Write("E:\\", test::Row("kept", "1#2019/05/07 09:05#2#0"));
  const auto outcome = missing.Find();
  EXPECT_EQ(outcome.Outcome, FindOutcome::Result::Refused);
  EXPECT_EQ(outcome.Message, "Drive not found!");
  EXPECT_EQ(test::Keys(missing.State.Catalogue, "E:\\").size(), 1u);
  EXPECT_TRUE(missing.Host.LogLines.empty());
}

// Stop at every point of a run: the scan ends, the bar never moves back and
// is never filled, and what was found is what a full run finds up to there.
TEST(QuickScan, StopAtAnyPointKeepsWhatWasFoundAndTheBar) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  for (const char *folder : {"/A", "/B", "/B/C", "/D"})
    card.Mkdir(folder);
  for (const char *folder : {"/A", "/B", "/B/C", "/D"}) {
    // All three are written before any is deleted, so no slot is reused.
    for (int i = 0; i < 3; ++i)
      card.Put(std::string(folder) + "/f" + std::to_string(i) + ".txt", "data",
               LocalTime(2025, 1, 1, 0, 0));
    for (int i = 0; i < 3; ++i)
      card.Delete(std::string(folder) + "/f" + std::to_string(i) + ".txt");
  }
  auto full = EngineFixture::OfImage(card.Path());
  full.Find();
  const auto allPumps = full.Host.Pumps;
  std::vector<std::string> all;
  for (const auto &e : test::Entries(full.State.Catalogue)) { all.push_back(e.Section + e.Key); }
  ASSERT_EQ(all.size(), 12u);

  for (long stopAt = 1; stopAt <= allPumps; ++stopAt) {
    auto engine = EngineFixture::OfImage(card.Path());
    engine.Host.StopAfterPumps = stopAt;
    const auto outcome = engine.Find();
    ASSERT_TRUE(outcome.Stopped) << stopAt;
    std::vector<std::string> got;
    for (const auto &e : test::Entries(engine.State.Catalogue)) { got.push_back(e.Section + e.Key); }
    ASSERT_LE(got.size(), all.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin())) << stopAt;
    const auto &w = engine.Host.Widths;
    EXPECT_TRUE(std::is_sorted(w.begin(), w.end() - 1)) << stopAt;
    EXPECT_EQ(std::count(w.begin(), w.end(), 557), 0) << stopAt;
    EXPECT_EQ(w.back(), 0);
  }
}

TEST(QuickScan, StopDuringTheFolderListingScansNoFolder) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024});
  card.Put("/x.txt", "x", LocalTime(2025, 1, 1, 0, 0));
  card.Delete("/x.txt");
  card.Mkdir("/A");
  card.Mkdir("/B");
  auto engine = EngineFixture::OfImage(card.Path());
  engine.Host.StopAfterPumps = 1; // the first pump is the listing's first entry
  const auto outcome = engine.Find();
  EXPECT_TRUE(outcome.Stopped);
  EXPECT_EQ(outcome.Outcome, FindOutcome::Result::NothingFound);
  EXPECT_EQ(engine.Host.Widths, (std::vector<int>{0, 0}));
}

// Crafted directories that lead back to themselves: each directory is
// scanned once and the scan ends.
TEST(QuickScan, ALoopedDirectoryIsScannedOnce) {
  test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 64});
  const auto d = test::FatDate(2025, 1, 1);
  v.PutEntries(v.RootOffset(), {test::ShortEntry("LOOP       ", 0x10, 5, 0, d),
                                test::ShortEntry("TWIN       ", 0x10, 5, 0, d)});
  v.SetFat(5, 0xFFFF);
  auto inside = test::DotPair(5, 0);
  inside.push_back(test::ShortEntry("SELF       ", 0x10, 5, 0, d)); // points at itself
  inside.push_back(test::ShortEntry("AGAIN      ", 0x10, 5, 0, d));
  inside.push_back(test::Deleted(test::ShortEntry("LOST    TXT", 0x20, 9, 10, d)));
  v.PutEntries(v.ClusterOffset(5), inside);

  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(engine.State.FoundCount, 1);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{"E:\\LOOP\\"}));
}

TEST(QuickScan, AFolderThatNamesItselfIsListedOnce) {
  // A deleted folder entry that names its own directory: it is not added
  // again under a deeper path, and the directory is scanned once.
  test::CraftedVolume v({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 70000 / 1});
  const auto d = test::FatDate(2025, 1, 1);
  v.PutEntries(v.RootOffset(), {test::Deleted(test::ShortEntry("DEEP       ", 0x10, 5, 0, d))});
  auto inside = test::DotPair(5, 0);
  inside.push_back(test::Deleted(test::ShortEntry("DEEP       ", 0x10, 5, 0, d)));
  inside.push_back(test::Deleted(test::ShortEntry("F       TXT", 0x20, 9, 10, d)));
  v.PutEntries(v.ClusterOffset(5), inside);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(engine.State.FoundCount, 1);
}

// Deleted folders whose first cluster went elsewhere are not read as
// folders, and no entry claims a file larger than the volume: in either scan
// only the folder that still begins with its own "." pair and the files of
// a size the volume can hold are found.
TEST(Scans, AReusedFolderClusterAndAnImpossibleSizeAreNotFiles) {
  test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 4100});
  const auto d = test::FatDate(2025, 1, 1);
  v.PutEntries(v.RootOffset(), {
      test::Deleted(test::ShortEntry("REUSED     ", 0x10, 7, 0, d)), // now a file's data
      test::Deleted(test::ShortEntry("MOVED      ", 0x10, 9, 0, d)), // now another parent's folder
      test::Deleted(test::ShortEntry("GOOD       ", 0x10, 11, 0, d)),
      test::Deleted(test::ShortEntry("HUGE    MOV", 0x20, 20, 0xF0000000u, d)),
      test::Deleted(test::ShortEntry("OK      TXT", 0x20, 21, 10, d)),
  });
  // File data that happens to read as entries, as camera data can.
  v.PutEntries(v.ClusterOffset(7), {test::ShortEntry("BIG     MOV", 0x20, 30, 2000000000u, d),
                                    test::ShortEntry("A       JPG", 0x20, 31, 500, d)});
  v.SetFat(7, 0xFFFF);
  auto moved = test::DotPair(9, 5);
  moved.push_back(test::Deleted(test::ShortEntry("OTHER   TXT", 0x20, 32, 10, d)));
  v.PutEntries(v.ClusterOffset(9), moved);
  auto good = test::DotPair(11, 0);
  good.push_back(test::Deleted(test::ShortEntry("KEEP    TXT", 0x20, 33, 10, d)));
  v.PutEntries(v.ClusterOffset(11), good);

  const std::string x = "\xD1\x85";
  for (const bool deep : {false, true}) {
    auto engine = EngineFixture::OfBytes(v.Bytes);
    ASSERT_EQ(engine.Find("*.*", deep).Outcome, FindOutcome::Result::Found);
    std::vector<std::string> found;
    for (const auto &e : test::Entries(engine.State.Catalogue))
      found.push_back(e.Section + e.Key);
    // The deep scan reads cluster 9 as the folder it now is, below a parent
    // it cannot name.
    std::vector<std::string> expected{"E:\\" + x + "K.TXT", "E:\\" + x + "OOD\\" + x + "EEP.TXT"};
    if (deep)
      expected = {"E:\\" + x + "K.TXT", "E:\\" + x + "OOD\\" + x + "EEP.TXT",
                  "E:\\Lost folder 9\\" + x + "THER.TXT"};
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected) << (deep ? "deep" : "quick");
  }
}

// Folders nested far deeper than people make them: each level is a live
// folder "D"; deleted files lie at levels 129, 130 and 140.
TEST(QuickScan, FoldersDeeperThan128LevelsAreScanned) {
  test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 4100});
  const auto d = test::FatDate(2025, 1, 1);
  constexpr std::uint32_t kLevels = 140;
  auto cluster = [](std::uint32_t level) { return 2 + level; };
  v.PutEntries(v.RootOffset(), {test::ShortEntry("D          ", 0x10, cluster(1), 0, d)});
  for (std::uint32_t level = 1; level <= kLevels; ++level) {
    auto entries = test::DotPair(cluster(level), level == 1 ? 0 : cluster(level - 1));
    if (level < kLevels)
      entries.push_back(test::ShortEntry("D          ", 0x10, cluster(level + 1), 0, d));
    if (level == 129 || level == 130 || level == kLevels)
      entries.push_back(test::Deleted(
          test::ShortEntry("F" + std::to_string(level) + "    TXT", 0x20, 1000 + level, 10, d)));
    v.PutEntries(v.ClusterOffset(cluster(level)), entries);
    v.SetFat(cluster(level), 0xFFFF);
  }
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  auto folder = [](std::uint32_t level) {
    std::string path = "E:\\";
    for (std::uint32_t i = 0; i < level; ++i)
      path += "D\\";
    return path;
  };
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue),
            (std::vector<std::string>{folder(129), folder(130), folder(kLevels)}));
  for (std::uint32_t level : {129u, 130u, kLevels})
    EXPECT_EQ(test::Keys(engine.State.Catalogue, folder(level)),
              std::vector<std::string>{"\xD1\x85" + std::to_string(level) + ".TXT"});
}

} // namespace
} // namespace orvanta

namespace orvanta {
namespace {

std::uint8_t ShortNameChecksum(const std::string &name11) {
  std::uint8_t sum = 0;
  for (const char c : name11)
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + static_cast<std::uint8_t>(c));
  return sum;
}

std::vector<test::DirEntry> NamedFolder(const std::u16string &name, const std::string &short11,
                                        std::uint32_t cluster, bool deleted) {
  auto entries = test::LongEntries(name, ShortNameChecksum(short11));
  entries.push_back(test::ShortEntry(short11, 0x10, cluster, 0, test::FatDate(2025, 1, 1)));
  return deleted ? test::Deleted(entries) : entries;
}

// Folders are told apart by their first clusters: a live and a deleted
// folder whose names differ only in letter case, in either order, and a
// folder whose long name holds a backslash each keep their deleted files,
// as The Sleuth Kit lists them.
TEST(QuickScan, FoldersAreToldApartByClusterNotByName) {
  const std::string x = "\xD1\x85";
  for (const bool deletedFirst : {false, true}) {
    test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 4100});
    const auto d = test::FatDate(2025, 1, 1);
    auto live = NamedFolder(u"Photos", "PHOTOS     ", 5, false);
    auto gone = NamedFolder(u"photos", "PHOTOS~1   ", 6, true);
    auto root = deletedFirst ? gone : live;
    for (const auto &e : deletedFirst ? live : gone)
      root.push_back(e);
    for (const auto &e : NamedFolder(u"a\\b", "AB~1       ", 7, false))
      root.push_back(e);
    v.PutEntries(v.RootOffset(), root);
    const std::vector<std::pair<std::uint32_t, std::vector<std::string>>> files = {
        {5, {"LIVE    TXT", "SAME    TXT"}}, {6, {"GONE    TXT", "SAME    TXT"}}, {7, {"SPLIT   TXT"}}};
    std::uint32_t data = 100;
    for (const auto &[cluster, names] : files) {
      auto entries = test::DotPair(cluster, 0);
      for (const auto &name : names) {
        entries.push_back(test::Deleted(test::ShortEntry(name, 0x20, data, data, d)));
        ++data;
      }
      v.PutEntries(v.ClusterOffset(cluster), entries);
    }
    v.SetFat(5, 0xFFFF);
    v.SetFat(7, 0xFFFF);

    auto engine = EngineFixture::OfBytes(v.Bytes);
    ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
    std::vector<std::string> found;
    for (const auto &e : test::Entries(engine.State.Catalogue))
      found.push_back(e.Section + e.Key);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"E:\\Photos\\" + x + "AME.TXT",
                                               "E:\\Photos\\" + x + "IVE.TXT",
                                               "E:\\a_b\\" + x + "PLIT.TXT",
                                               "E:\\photos\\" + x + "AME.TXT",
                                               "E:\\photos\\" + x + "ONE.TXT"}))
        << deletedFirst;
    // The deep scan names the folder with the backslash alike.
    auto deep = EngineFixture::OfBytes(v.Bytes);
    ASSERT_EQ(deep.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
    EXPECT_TRUE(deep.State.Catalogue.File("E:\\a_b\\", x + "PLIT.TXT")) << deletedFirst;

    TempDir dir;
    test::WriteFileBytes(dir / "card.img", v.Bytes);
    std::vector<test::FoundRow> rows;
    for (const auto &e : test::Entries(engine.State.Catalogue))
      rows.push_back({e.Section, e.Key, e.Value});
    std::size_t listed = 0;
    for (auto t : test::Fls(dir / "card.img", /*deletedOnly=*/true)) {
      if (t.Directory)
        continue;
      ++listed;
      std::replace(t.Path.begin(), t.Path.end(), '\\', '_');
      EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
                              [&](const test::FoundRow &f) { return test::SameFile(t, f); }))
          << t.Path;
    }
    EXPECT_EQ(listed, rows.size());
  }
}

} // namespace
} // namespace orvanta
