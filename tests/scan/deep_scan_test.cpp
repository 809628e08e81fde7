#include <gtest/gtest.h>
#include <cstdio>
#include <map>

#include "engine/text.h"
#include "platform/memory_device.h"
#include "scan/deep_scan.h"
#include "scan/found_file_row.h"
#include "support/cli.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "support/tsk.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::CraftedVolume;
using test::Deleted;
using test::DotPair;
using test::EngineFixture;
using test::FatImageFile;
using test::LocalTime;
using test::ShortEntry;
using test::TempDir;

constexpr bool kDeep = true;
const std::string kLostE = "\xD1\x85"; // 0xE5 through the short-name table, as UTF-8

struct Value {
  std::int64_t Size = 0;
  std::string Written;
  std::uint32_t Cluster = 0;
  std::string Mark;
};

Value Parse(const std::string &value) {
  const auto row = test::ParseRow(value);
  EXPECT_TRUE(row) << value;
  if (!row)
    return {};
  return {std::int64_t(row->Size), row->Written.Text(), row->FirstCluster,
          std::string(1, row->Mark)};
}

// The catalogue as section + key -> value.
std::map<std::string, std::string> Catalogue(const EngineFixture &engine) {
  std::map<std::string, std::string> out;
  for (const auto &e : test::Entries(engine.State.Catalogue)) { out[e.Section + e.Key] = e.Value; }
  return out;
}

std::uint64_t DeviceReads(const EngineFixture &engine) {
  return dynamic_cast<const MemoryDevice &>(*engine.Drive).Reads();
}

// A card used for a while and then quick-formatted: the new root is empty,
// the FAT is free, but the old directories' clusters are still there.
class DeepScanOfFormattedCard : public ::testing::TestWithParam<int> {};

TEST_P(DeepScanOfFormattedCard, FindsTheOldFilesUnderTheParentsThatSurvive) {
  TempDir dir;
  const int bits = GetParam();
  // No label, as mkfs.fat and many cameras leave a card.
  FatImageFile card(dir / "card.img", {.FatBits = bits, .SizeKiB = bits == 32 ? 40u * 1024 : 16u * 1024,
                                       .SectorsPerCluster = 1, .Label = ""});
  for (const char *folder : {"/DCIM/100MEDIA", "/Trip/Day1/Evening Walk", "/docs", "/Big"})
    card.Mkdir(folder);
  std::map<std::string, std::vector<std::uint8_t>> written;
  std::uint32_t seed = 1;
  auto put = [&](const std::string &path, std::size_t size) {
    auto bytes = test::PatternBytes(size, seed++);
    card.Put(path, bytes, LocalTime(2025, 1, 2, 3, 4));
    written[path] = std::move(bytes);
  };
  for (int i = 1; i <= 6; ++i)
    put("/DCIM/100MEDIA/IMG_000" + std::to_string(i) + ".JPG", 600 + 100 * std::size_t(i));
  put("/Trip/notes.txt", 300);
  put("/Trip/Day1/beach.jpg", 4000);
  put("/Trip/Day1/Sunset at the lake.jpg", 9000);
  put("/Trip/Day1/Evening Walk/moon.jpg", 2500);
  put("/docs/letter.txt", 900);
  put("/docs/keep.txt", 100);
  put("/root.txt", 50);
  char name[32];
  for (int i = 1; i <= 30; ++i) {
    std::snprintf(name, sizeof name, "/Big/F%02d.TXT", i);
    put(name, 10 + std::size_t(i));
  }
  card.Delete("/DCIM/100MEDIA/IMG_0003.JPG");
  card.Delete("/docs/letter.txt");
  std::map<std::string, std::string> lost; // each first-level folder, as the scan must call it
  for (const char *folder : {"DCIM", "Trip", "docs", "Big"})
    lost[folder] = "E:\\Lost folder " + std::to_string(card.FirstCluster(std::string("/") + folder)) + "\\";
  card.Reformat();

  auto engine = EngineFixture::OfImage(card.Path());
  const auto outcome = engine.Find("*.*", kDeep);
  ASSERT_EQ(outcome.Outcome, FindOutcome::Result::Found) << outcome.Message;

  // Where each file must be: the first-level folders' names were in the
  // root, which the format emptied, so each of them is a lost folder named
  // after its first cluster, and deeper paths go on below it. Entries marked deleted before
  // the format get mark 1. Of /Big only the first cluster of its directory
  // begins with "." and "..": the free FAT no longer leads on from it, and
  // the 16 entries after the 14 there are found in its second cluster,
  // which goes on from the full first one. /root.txt went with the root.
  std::map<std::string, std::pair<std::string, std::string>> expected = {
      {lost["DCIM"] + "100MEDIA\\IMG_0001.JPG", {"/DCIM/100MEDIA/IMG_0001.JPG", "0"}},
      {lost["DCIM"] + "100MEDIA\\IMG_0002.JPG", {"/DCIM/100MEDIA/IMG_0002.JPG", "0"}},
      {lost["DCIM"] + "100MEDIA\\" + kLostE + "MG_0003.JPG", {"/DCIM/100MEDIA/IMG_0003.JPG", "1"}},
      {lost["DCIM"] + "100MEDIA\\IMG_0004.JPG", {"/DCIM/100MEDIA/IMG_0004.JPG", "0"}},
      {lost["DCIM"] + "100MEDIA\\IMG_0005.JPG", {"/DCIM/100MEDIA/IMG_0005.JPG", "0"}},
      {lost["DCIM"] + "100MEDIA\\IMG_0006.JPG", {"/DCIM/100MEDIA/IMG_0006.JPG", "0"}},
      {lost["Trip"] + "NOTES.TXT", {"/Trip/notes.txt", "0"}},
      {lost["Trip"] + "Day1\\BEACH.JPG", {"/Trip/Day1/beach.jpg", "0"}},
      {lost["Trip"] + "Day1\\Sunset at the lake.jpg", {"/Trip/Day1/Sunset at the lake.jpg", "0"}},
      {lost["Trip"] + "Day1\\Evening Walk\\MOON.JPG", {"/Trip/Day1/Evening Walk/moon.jpg", "0"}},
      {lost["docs"] + kLostE + "ETTER.TXT", {"/docs/letter.txt", "1"}},
      {lost["docs"] + "KEEP.TXT", {"/docs/keep.txt", "0"}},
  };
  for (int i = 1; i <= 30; ++i) {
    std::snprintf(name, sizeof name, "F%02d.TXT", i);
    expected[lost["Big"] + std::string(name)] = {"/Big/" + std::string(name), "0"};
  }

  const auto found = Catalogue(engine);
  std::vector<std::string> foundKeys, expectedKeys;
  for (const auto &f : found)
    foundKeys.push_back(f.first);
  for (const auto &e : expected)
    expectedKeys.push_back(e.first);
  ASSERT_EQ(foundKeys, expectedKeys);

  // Sizes, dates and marks as written; the first cluster is where the
  // file's bytes still are (mtools writes a fresh card's files in one run).
  const auto image = card.Bytes();
  const auto &volume = engine.State.Vol;
  for (const auto &[key, where] : expected) {
    const Value v = Parse(found.at(key));
    const auto &bytes = written.at(where.first);
    EXPECT_EQ(v.Size, static_cast<std::int64_t>(bytes.size())) << key;
    EXPECT_EQ(v.Written, "2025/01/02 03:04") << key;
    EXPECT_EQ(v.Mark, where.second) << key;
    const auto at = static_cast<std::size_t>(volume.ClusterToSector(static_cast<std::int32_t>(v.Cluster))) * 512;
    ASSERT_LE(at + bytes.size(), image.size()) << key;
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(at)))
        << key << " at cluster " << v.Cluster;
  }

  // The Sleuth Kit lists the same files among its orphans, with the same
  // sizes and times, and none beyond them.
  std::vector<std::string> onlyTsk;
  std::size_t witnessed = 0;
  for (const auto &t : test::Fls(card.Path(), /*deletedOnly=*/true)) {
    if (t.Directory || !t.Path.starts_with("$OrphanFiles/"))
      continue;
    const std::string tskName = t.Path.substr(t.Path.rfind('/') + 1);
    const auto match = std::find_if(found.begin(), found.end(), [&](const auto &f) {
      std::string ours = f.first.substr(f.first.rfind('\\') + 1);
      std::string theirs = tskName;
      if (theirs.starts_with("_") && ours.starts_with(kLostE)) {
        theirs.erase(0, 1);
        ours.erase(0, kLostE.size());
      }
      const Value v = Parse(f.second);
      return EqualsIgnoreCase(theirs, ours) && v.Size == t.Size &&
             t.Written.substr(0, 16) == "2025-01-02 03:04";
    });
    if (match == found.end())
      onlyTsk.push_back(tskName);
    else
      ++witnessed;
  }
  EXPECT_EQ(witnessed, found.size());
  EXPECT_EQ(onlyTsk, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Fat, DeepScanOfFormattedCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

// On a volume in use: existing files are passed over, deleted ones are
// recorded with mark 1, and directories are read along their chains.
TEST(DeepScan, OnALiveVolumeRecordsOnlyWhatIsGone) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024, .SectorsPerCluster = 1});
  const auto when = LocalTime(2024, 3, 4, 5, 6);
  card.Mkdir("/DCIM/100MEDIA");
  // 40 photos: the folder's directory takes three clusters of 16 entries.
  char name[40];
  for (int i = 1; i <= 40; ++i) {
    std::snprintf(name, sizeof name, "/DCIM/100MEDIA/IMG_%04d.JPG", i);
    card.Put(name, test::PatternBytes(100 + std::size_t(i), std::uint32_t(i)), when);
  }
  // A folder whose own entry lies in a later cluster of its parent, and
  // one in a later cluster of the root.
  card.Mkdir("/DCIM/100MEDIA/LATER");
  card.Put("/DCIM/100MEDIA/LATER/clip.mov", std::string(700, 'm'), when);
  for (int i = 1; i <= 20; ++i)
    card.Put("/R" + std::to_string(i) + ".TXT", "r", when);
  card.Mkdir("/LATEROOT");
  card.Put("/LATEROOT/memo.txt", std::string(80, 'x'), when);
  for (int i : {2, 35})
    card.Delete("/DCIM/100MEDIA/IMG_00" + std::to_string(i / 10) + std::to_string(i % 10) + ".JPG");
  card.Delete("/DCIM/100MEDIA/LATER/clip.mov");
  card.Delete("/LATEROOT/memo.txt");
  card.Delete("/R20.TXT"); // in the root, which has no dot pair

  auto engine = EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  const auto found = Catalogue(engine);
  std::vector<std::string> keys;
  for (const auto &f : found)
    keys.push_back(f.first);
  // DCIM is the root's entry right after the label; IMG_0035 lies in the
  // third cluster of its folder, LATER's entry in the third cluster of
  // 100MEDIA, LATEROOT's in the second cluster of the root.
  const std::vector<std::string> expected = {
      "E:\\DCIM\\100MEDIA\\LATER\\" + kLostE + "LIP.MOV",
      "E:\\DCIM\\100MEDIA\\" + kLostE + "MG_0002.JPG",
      "E:\\DCIM\\100MEDIA\\" + kLostE + "MG_0035.JPG",
      "E:\\LATEROOT\\" + kLostE + "EMO.TXT",
      "E:\\" + kLostE + "20.TXT"};
  ASSERT_EQ(keys, expected);
  for (const auto &[key, value] : found) {
    const Value v = Parse(value);
    EXPECT_EQ(v.Mark, "1") << key;
    EXPECT_EQ(v.Written, "2024/03/04 05:06") << key;
  }
  EXPECT_EQ(Parse(found.at(expected[0])).Size, 700);
  EXPECT_EQ(Parse(found.at(expected[1])).Size, 102);
  EXPECT_EQ(Parse(found.at(expected[2])).Size, 135);
  EXPECT_EQ(Parse(found.at(expected[4])).Size, 1);
  EXPECT_EQ(Parse(found.at("E:\\LATEROOT\\" + kLostE + "EMO.TXT")).Size, 80);
}

// A card without a label: the root's first entry is a folder, and ".."
// links of 0 still lead to it. Live files are never taken for found ones.
TEST(DeepScan, ACardWithoutALabelIsClimbedToItsRoot) {
  for (const int bits : {16, 32}) {
    TempDir dir;
    FatImageFile card(dir / "card.img", {.FatBits = bits, .SizeKiB = bits == 32 ? 40 * 1024u : 16 * 1024u,
                                         .SectorsPerCluster = 1, .Label = ""});
    card.Mkdir("/DCIM/100MEDIA");
    for (const char *photo : {"IMG_0001.JPG", "IMG_0002.JPG", "IMG_0003.JPG"})
      card.Put(std::string("/DCIM/100MEDIA/") + photo, std::string(900, 'p'));
    card.Delete("/DCIM/100MEDIA/IMG_0002.JPG");
    auto engine = EngineFixture::OfImage(card.Path());
    ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found) << bits;
    EXPECT_EQ(Catalogue(engine).size(), 1u) << bits;
    EXPECT_TRUE(engine.State.Catalogue.HasFile("E:\\DCIM\\100MEDIA\\", kLostE + "MG_0002.JPG")) << bits;
  }
}

// The root has no ".." entry, so whatever its second entry holds must not
// stop the climb there: on FAT32 a long-name piece in that place reads as a
// cluster number far beyond the volume, and no first-level folder could be
// named at all.
TEST(DeepScan, RootFoldersAreNamedWhateverFollowsTheLabel) {
  for (const int bits : {16, 32}) {
    TempDir dir;
    FatImageFile card(dir / "card.img", {.FatBits = bits, .SizeKiB = bits == 32 ? 40 * 1024u : 16 * 1024u,
                                         .SectorsPerCluster = 1});
    // One long-name piece; its ninth character lies where FAT32 keeps the
    // high half of the first cluster.
    card.Put("/Holiday.jpeg", "kept");
    card.Mkdir("/Docs/Letters");
    card.Put("/Docs/Letters/to grandma.txt", std::string(300, 'g'));
    card.Delete("/Docs/Letters/to grandma.txt");
    auto engine = EngineFixture::OfImage(card.Path());
    ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found) << bits;
    EXPECT_EQ(test::SectionNames(engine.State.Catalogue),
              (std::vector<std::string>{"E:\\Docs\\Letters\\"})) << bits;
  }
}

// Crafted FAT16 volume of 64 one-sector clusters: two blocks.
CraftedVolume SmallFat16(std::uint32_t clusters = 64) {
  return CraftedVolume({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = clusters});
}

// A FAT32 volume of one-sector clusters has no least size: its blocks begin
// at cluster 3, and it has clusters / 32 of them.
CraftedVolume SmallFat32(std::uint32_t clusters) {
  return CraftedVolume({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = clusters});
}

const auto kLabel = ShortEntry("CARD       ", 0x08, 0, 0);

// A first-level folder's directory at `cluster` holding one deleted file.
void PutFirstLevelFolder(CraftedVolume &v, std::uint32_t cluster) {
  auto d = DotPair(cluster, 0);
  d.push_back(Deleted(ShortEntry("F" + std::to_string(cluster) + "      TXT", 0x20, 20, 1)));
  v.PutEntries(v.ClusterOffset(cluster), d);
}

// The root has no dot pair and need not begin with a label: a folder is
// named from any entry of the whole FAT16 root region, the first included.
TEST(DeepScan, RootFoldersAreNamedFromAnyEntryOfTheRoot) {
  auto v = SmallFat16(); // 16 entries a cluster, 64 in the root region
  std::vector<test::DirEntry> root = {ShortEntry("FIRST      ", 0x10, 5, 0)};
  for (int i = 0; i < 18; ++i)
    root.push_back(ShortEntry("R" + std::to_string(i) + "      TXT", 0x20, 0, 0));
  root.push_back(ShortEntry("LATE       ", 0x10, 6, 0));
  v.PutEntries(v.RootOffset(), root);
  for (const std::uint32_t c : {5u, 6u})
    PutFirstLevelFolder(v, c);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{"E:\\FIRST\\", "E:\\LATE\\"}));
}

// On FAT32 a ".." link may name the root's own cluster instead of 0.
TEST(DeepScan, AFat32LinkToTheRootClusterLeadsToTheRoot) {
  auto v = SmallFat32(64);
  v.PutEntries(v.RootOffset(), {ShortEntry("D          ", 0x10, 5, 0)});
  auto d = DotPair(5, 2);
  d.push_back(Deleted(ShortEntry("F       TXT", 0x20, 20, 1)));
  v.PutEntries(v.ClusterOffset(5), d);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{"E:\\D\\"}));
}

// Many folders under one parent: the climb reads and walks the parent, and
// the root, once for the whole scan, not once for every folder.
TEST(DeepScan, TheClimbReadsEachParentOnce) {
  auto v = SmallFat32(64);
  v.PutEntries(v.RootOffset(), {ShortEntry("DCIM       ", 0x10, 5, 0)});
  auto parent = DotPair(5, 0);
  for (std::uint32_t c = 10; c < 30; ++c) {
    parent.push_back(Deleted(ShortEntry("F" + std::to_string(c) + "        ", 0x10, c, 0)));
    auto d = DotPair(c, 5);
    d.push_back(Deleted(ShortEntry("A       TXT", 0x20, 20, 1)));
    v.PutEntries(v.ClusterOffset(c), d);
  }
  v.PutEntries(v.ClusterOffset(5), parent);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue).size(), 20u);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue)[0], "E:\\DCIM\\\xD1\x85" "10\\");
  // The boot sector, the FAT, the data area, the live view's root, the
  // parent and the root, and the live folders once for what live files
  // hold: a few reads, where reading the parent and the root for every
  // folder took 40 more.
  EXPECT_LE(DeviceReads(engine), 12u);
}

// A folder's cluster may once have been a deleted folder's: the folder that
// exists names it wherever the deleted entry lies. Between deleted entries
// only, the last one wins.
TEST(DeepScan, TheFolderThatExistsNamesItsClusterBeforeDeletedOnes) {
  auto v = SmallFat16();
  v.PutEntries(v.RootOffset(), {kLabel, Deleted(ShortEntry("GONE1      ", 0x10, 6, 0)),
                                ShortEntry("LIVE       ", 0x10, 5, 0),
                                Deleted(ShortEntry("OLDER      ", 0x10, 5, 0)),
                                Deleted(ShortEntry("GONE2      ", 0x10, 6, 0))});
  for (const std::uint32_t c : {5u, 6u})
    PutFirstLevelFolder(v, c);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue),
            (std::vector<std::string>{"E:\\LIVE\\", "E:\\" + kLostE + "ONE2\\"}));
}

// The file tests in their order, and the marks: in a folder that exists,
// only what is gone is recorded; in one that does not, every entry that
// passes the tests, marked by whether it was deleted.
TEST(DeepScan, FileTestsAndMarks) {
  auto v = SmallFat16();
  const auto d2019 = test::FatDate(2019, 5, 7), d2030 = test::FatDate(2030, 1, 1);
  v.PutEntries(v.RootOffset(), {kLabel, ShortEntry("D          ", 0x10, 5, 0)});
  v.SetFat(5, 0xFFFF);
  auto live = DotPair(5, 0);
  for (const auto &e : std::vector<test::DirEntry>{
           ShortEntry("LIVE    TXT", 0x20, 20, 10),          // exists: passed over
           Deleted(ShortEntry("LIVE    TXT", 0x20, 21, 11)), // gone, another name
           Deleted(ShortEntry("ZERO    TXT", 0x20, 22, 0)),
           Deleted(ShortEntry("FUTURE  TXT", 0x20, 23, 5, d2030)),
           Deleted(ShortEntry("FAR     TXT", 0x20, 9999, 5)),
           Deleted(ShortEntry("SUB        ", 0x10, 9, 0)),
       })
    live.push_back(e);
  v.PutEntries(v.ClusterOffset(5), live);
  // The deleted sub-folder: nothing in it exists any more.
  auto gone = DotPair(9, 5);
  gone.push_back(ShortEntry("KEPT    JPG", 0x20, 30, 1234, d2019, test::FatTime(9, 5)));
  gone.push_back(Deleted(ShortEntry("DROPPED JPG", 0x20, 31, 99)));
  gone.push_back(ShortEntry("NOTES   TXT", 0x20, 32, 7));
  v.PutEntries(v.ClusterOffset(9), gone);

  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(Catalogue(engine), (std::map<std::string, std::string>{
                                   {"E:\\D\\" + kLostE + "IVE.TXT", "11#2019/05/07 09:05#21#1#intact#00"},
                                   {"E:\\D\\" + kLostE + "ERO.TXT", "0#2019/05/07 09:05#22#1#empty#00"},
                                   {"E:\\D\\" + kLostE + "UB\\KEPT.JPG", "1234#2019/05/07 09:05#30#0#intact#00"},
                                   {"E:\\D\\" + kLostE + "UB\\" + kLostE + "ROPPED.JPG",
                                    "99#2019/05/07 09:05#31#1#intact#00"},
                                   {"E:\\D\\" + kLostE + "UB\\NOTES.TXT", "7#2019/05/07 09:05#32#0#intact#00"},
                               }));
  // The year limit is the caller's; the mask applies after the existence test.
  engine.Find("*.*", kDeep, 50);
  EXPECT_TRUE(engine.State.Catalogue.HasFile("E:\\D\\", kLostE + "UTURE.TXT"));
  engine.Find("*.jpg", kDeep);
  EXPECT_EQ(engine.State.FoundCount, 2);
}

// A folder name may hold the drive text (a crafted long name can hold
// anything): the path still gets the drive in front.
TEST(DeepScan, AFolderNameHoldingTheDriveTextStaysUnderTheDrive) {
  auto v = SmallFat16();
  std::vector<test::DirEntry> root = {kLabel};
  for (const auto &e : test::LongEntries(u"Copy of E:"))
    root.push_back(e);
  root.push_back(ShortEntry("COPYOF~1   ", 0x10, 5, 0));
  v.PutEntries(v.RootOffset(), root);
  auto d = DotPair(5, 0);
  d.push_back(Deleted(ShortEntry("F       TXT", 0x20, 20, 1)));
  v.PutEntries(v.ClusterOffset(5), d);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{"E:\\Copy of E:\\"}));
}

// ".." links that lead round in a circle, and a directory that is its own
// parent: the climb ends at the first parent it meets again, and the level
// it could not place is a lost folder.
TEST(DeepScan, DotdotLinksThatFormALoopEndTheClimb) {
  auto v = SmallFat16();
  auto a = DotPair(5, 6);
  a.push_back(ShortEntry("B          ", 0x10, 6, 0));
  a.push_back(Deleted(ShortEntry("A1      TXT", 0x20, 20, 1)));
  auto b = DotPair(6, 5);
  b.push_back(ShortEntry("A          ", 0x10, 5, 0));
  b.push_back(Deleted(ShortEntry("B1      TXT", 0x20, 21, 1)));
  auto self = DotPair(7, 7);
  self.push_back(ShortEntry("SELF       ", 0x10, 7, 0));
  self.push_back(Deleted(ShortEntry("S1      TXT", 0x20, 22, 1)));
  v.PutEntries(v.ClusterOffset(5), a);
  v.PutEntries(v.ClusterOffset(6), b);
  v.PutEntries(v.ClusterOffset(7), self);

  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue),
            (std::vector<std::string>{"E:\\Lost folder 5\\B\\A\\", "E:\\Lost folder 6\\A\\B\\",
                                      "E:\\Lost folder 7\\SELF\\"}));
}

// A root entry with the directory bit and cluster 0 looks like the root
// itself: after a folder is named in the root, the climb would find that
// entry in the root for ever.
TEST(DeepScan, ARootFolderEntryWithClusterZeroEndsTheClimb) {
  for (const int bits : {16, 32}) {
    CraftedVolume v({.FatBits = bits, .SectorsPerCluster = 1, .Clusters = bits == 16 ? 64u : 66000u});
    v.PutEntries(v.RootOffset(), {kLabel, ShortEntry("ZERO       ", 0x10, 0, 0),
                                  ShortEntry("ZERO2      ", 0x10, 0, 0),
                                  ShortEntry("D          ", 0x10, 5, 0)});
    auto d = DotPair(5, 0);
    d.push_back(Deleted(ShortEntry("F       TXT", 0x20, 20, 1)));
    v.PutEntries(v.ClusterOffset(5), d);
    auto engine = EngineFixture::OfBytes(v.Bytes);
    ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found) << bits;
    EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{"E:\\D\\"})) << bits;
  }
}

// 200 folders, each inside the one before: the path keeps the 128 names
// nearest the files.
TEST(DeepScan, TheClimbStopsAfter128Names) {
  CraftedVolume v({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 66000});
  char name[12];
  auto folder = [&](std::uint32_t c) {
    std::snprintf(name, sizeof name, "D%03u       ", c);
    return ShortEntry(std::string(name, 11), 0x10, c, 0);
  };
  v.PutEntries(v.RootOffset(), {kLabel, folder(10)});
  for (std::uint32_t c = 10; c < 210; ++c) {
    auto entries = DotPair(c, c == 10 ? 0 : c - 1);
    entries.push_back(c + 1 < 210 ? folder(c + 1) : Deleted(ShortEntry("X       TXT", 0x20, 300, 1)));
    v.PutEntries(v.ClusterOffset(c), entries);
  }
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  std::string expected = "E:\\Lost folder 81\\"; // the level above the names kept
  for (std::uint32_t c = 210 - 128; c < 210; ++c)
    expected += (c < 100 ? "D0" : "D") + std::to_string(c) + "\\";
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{expected}));
}

// Every cluster is examined: a volume without 32 clusters beyond its
// metadata has one short block, and the clusters after the last whole
// block form one more.
TEST(DeepScan, ClustersAfterTheLastWholeBlockAreScannedToo) {
  for (const std::uint32_t clusters : {20u, 40u}) {
    auto v = SmallFat32(clusters);
    const std::uint32_t dirCluster = clusters == 20 ? 5 : 36;
    auto d = DotPair(dirCluster, 0);
    d.push_back(Deleted(ShortEntry("F       TXT", 0x20, 10, 1)));
    v.PutEntries(v.ClusterOffset(dirCluster), d);
    auto engine = EngineFixture::OfBytes(v.Bytes);
    EXPECT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found) << clusters;
    const std::vector<int> widths =
        clusters == 20 ? std::vector<int>{0, 557, 557, 0} : std::vector<int>{0, 278, 557, 557, 0};
    EXPECT_EQ(engine.Host.Widths, widths) << clusters;
  }
}

// Blocks are read several to a transfer; when one cannot be read it is read
// cluster by cluster, sector by sector: the folder beside the unreadable
// sector is still found.
TEST(DeepScan, AnUnreadableSectorCostsOnlyItself) {
  auto v = SmallFat16(124); // four blocks of 16 KiB: one transfer
  for (const std::uint32_t c : {10u, 40u, 80u})
    PutFirstLevelFolder(v, c);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  const std::uint64_t bad = v.ClusterOffset(50) / 512; // in the block of cluster 40
  dynamic_cast<MemoryDevice &>(*engine.Drive).FailReads(bad, bad);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  // Nothing names the folders: each is a lost folder of its own.
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue),
            (std::vector<std::string>{"E:\\Lost folder 10\\", "E:\\Lost folder 40\\",
                                      "E:\\Lost folder 80\\"}));
}

// A damaged total-sectors field claims millions of blocks; only those on
// the device are read, and a block that runs over the end is read as far
// as the device goes.
TEST(DeepScan, TheScanStaysOnTheDevice) {
  auto v = SmallFat32(64); // blocks of clusters 3-34 and 35-66; the device ends after 65
  auto d = DotPair(40, 0);
  d.push_back(Deleted(ShortEntry("F       TXT", 0x20, 10, 1)));
  v.PutEntries(v.ClusterOffset(40), d);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(engine.State.Catalogue), (std::vector<std::string>{"E:\\Lost folder 40\\"}));
  const auto reads = DeviceReads(engine);

  v.PutLe32(32, 0x7FFFFFFF);
  auto damaged = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(damaged.Find("*.*", kDeep).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(test::SectionNames(damaged.State.Catalogue), (std::vector<std::string>{"E:\\Lost folder 40\\"}));
  EXPECT_EQ(DeviceReads(damaged), reads);
}

// Found by the restore fuzzer (a slow unit of 12 s): Stop on a volume that
// claims two billion clusters. The blocks left are not counted through.
TEST(DeepScan, StopOnAVolumeClaimingBillionsOfClustersEndsAtOnce) {
  auto v = SmallFat16(60);
  v.PutLe32(32, 0x7FFFFFFF);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  engine.Host.StopAfterPumps = 1;
  EXPECT_TRUE(engine.Find("*.*", kDeep).Stopped);
  EXPECT_LT(engine.Host.Pumps, 10);
}

// A boot sector whose cluster-size byte is 0 takes the reserved-sector
// count for it: 80,000 sectors a cluster here, so a block would be 1.3 GB.
TEST(DeepScan, AHugeBogusClusterSizeIsNotScanned) {
  CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 64, .ReservedSectors = 40000});
  v.Bytes[13] = 0;
  v.PutLe32(32, 0x7FFFFFFF);
  auto engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", kDeep).Outcome, FindOutcome::Result::NothingFound);
  EXPECT_EQ(engine.State.Vol.Geometry().BytesPerCluster, 80000 * 512);
  auto quick = EngineFixture::OfBytes(v.Bytes);
  quick.Host.StopAfterPumps = 1;
  quick.Find("*.*", kDeep);
  EXPECT_EQ(DeviceReads(engine), DeviceReads(quick)); // nothing read but the boot sector and FAT
}

// Stop at every point of a run over four blocks: the block being walked is
// the last one read, and the bar stays where it was.
TEST(DeepScan, StopReadsNoFurtherBlockAndKeepsTheBar) {
  // The root's one (empty) entry, then four blocks of 1 MiB, one transfer
  // each, no directories: 33 pumps a block.
  auto v = CraftedVolume({.FatBits = 32, .SectorsPerCluster = 64, .Clusters = 128});
  auto full = EngineFixture::OfBytes(v.Bytes);
  full.Find("*.*", kDeep);
  const std::vector<int> fullWidths = full.Host.Widths;
  ASSERT_EQ(fullWidths, (std::vector<int>{0, 139, 278, 418, 557, 557, 0}));

  auto before = EngineFixture::OfBytes(v.Bytes);
  before.Host.StopAfterPumps = 2; // the first block's pump
  before.Find("*.*", kDeep);
  const auto readsBefore = DeviceReads(before);
  EXPECT_EQ(DeviceReads(full), readsBefore + 4);

  for (long stopAt = 1; stopAt <= full.Host.Pumps; ++stopAt) {
    auto engine = EngineFixture::OfBytes(v.Bytes);
    engine.Host.StopAfterPumps = stopAt;
    ASSERT_TRUE(engine.Find("*.*", kDeep).Stopped) << stopAt;
    const auto blocksRead = static_cast<std::size_t>(std::max(0L, stopAt - 2 + 32) / 33);
    EXPECT_EQ(DeviceReads(engine), readsBefore + blocksRead) << stopAt;
    std::vector<int> widths(fullWidths.begin(), fullWidths.begin() + 1 + std::ptrdiff_t(blocksRead));
    widths.push_back(0);
    EXPECT_EQ(engine.Host.Widths, widths) << stopAt;
  }
}

// Stop inside a directory: the directory being walked is finished, no
// later one is begun.
TEST(DeepScan, StopFinishesTheDirectoryBeingWalked) {
  auto v = SmallFat16();
  for (const std::uint32_t c : {5u, 6u}) {
    auto d = DotPair(c, 0);
    for (int i = 0; i < 3; ++i)
      d.push_back(Deleted(ShortEntry("F" + std::to_string(c) + std::to_string(i) + "     TXT", 0x20,
                                     20, 1)));
    v.PutEntries(v.ClusterOffset(c), d);
  }
  auto full = EngineFixture::OfBytes(v.Bytes);
  full.Find("*.*", kDeep);
  ASSERT_EQ(full.State.FoundCount, 6);
  // Both directories lie in the first block: every Stop after their walks
  // keeps all six, so the stops up to the end of that block tell it all.
  std::vector<std::int64_t> counts;
  for (long stopAt = 1; stopAt <= std::min(full.Host.Pumps, 1000L); ++stopAt) {
    auto engine = EngineFixture::OfBytes(v.Bytes);
    engine.Host.StopAfterPumps = stopAt;
    engine.Find("*.*", kDeep);
    if (counts.empty() || counts.back() != engine.State.FoundCount)
      counts.push_back(engine.State.FoundCount);
  }
  EXPECT_EQ(counts, (std::vector<std::int64_t>{0, 3, 6}));
}

TEST(DeepScanCli, PrintsTheCatalogueInDeepMode) {
  auto v = SmallFat16();
  v.PutEntries(v.RootOffset(), {kLabel, ShortEntry("DCIM       ", 0x10, 5, 0),
                                Deleted(ShortEntry("CLIP    MP4", 0x20, 20, 3000))});
  v.SetFat(5, 0xFFFF);
  auto dcim = DotPair(5, 0);
  dcim.push_back(Deleted(ShortEntry("IMG_0001JPG", 0x20, 12, 48213)));
  dcim.push_back(ShortEntry("IMG_0002JPG", 0x20, 13, 100));
  dcim.push_back(Deleted(ShortEntry("OLD        ", 0x10, 9, 0)));
  v.PutEntries(v.ClusterOffset(5), dcim);
  auto old = DotPair(9, 5);
  old.push_back(ShortEntry("A       TXT", 0x20, 14, 5, test::FatDate(2020, 4, 7), test::FatTime(12, 30)));
  v.PutEntries(v.ClusterOffset(9), old);
  TempDir dir;
  test::WriteFileBytes(dir / "card.img", v.Bytes);

  const auto r = test::RunCli({"find", "--deep", "--json", "--drive", "F:", (dir / "card.img").string()});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "{\"drive\":\"F:\",\"mode\":\"deep\",\"found\":3,\"files\":["
                   "{\"folder\":\"F:\\\\\",\"name\":\"" + kLostE + "LIP.MP4\",\"size\":3000,"
                   "\"date\":\"2019/05/07 09:05\",\"cluster\":20,\"mark\":\"1\",\"condition\":\"intact\","
                   "\"written\":\"2019/05/07 09:05:00\"},"
                   "{\"folder\":\"F:\\\\DCIM\\\\\",\"name\":\"" + kLostE + "MG_0001.JPG\",\"size\":48213,"
                   "\"date\":\"2019/05/07 09:05\",\"cluster\":12,\"mark\":\"1\",\"condition\":\"intact\","
                   "\"written\":\"2019/05/07 09:05:00\"},"
                   "{\"folder\":\"F:\\\\DCIM\\\\" + kLostE + "LD\\\\\",\"name\":\"A.TXT\",\"size\":5,"
                   "\"date\":\"2020/04/07 12:30\",\"cluster\":14,\"mark\":\"0\",\"condition\":\"intact\","
                   "\"written\":\"2020/04/07 12:30:00\"}]}\n");
  EXPECT_EQ(r.Err, "Find deleted files. Please wait...\n\nF:\\" + kLostE + "LIP.MP4\nF:\\DCIM\\" +
                       kLostE + "MG_0001.JPG\nF:\\DCIM\\" + kLostE +
                       "LD\\A.TXT\nDeleted files found: 3\n");
}

} // namespace
} // namespace orvanta
