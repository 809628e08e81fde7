// Cards filled the way a camera fills them, one file after another, so that
// each new cluster of a folder's directory is taken from the free space
// after the files written so far; then quick-formatted over the same
// geometry. The deep scan must find every file written, once, each folder's
// files together.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "engine/text.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::EngineFixture;
using test::FatImageFile;

const std::string kLostE = "\xD1\x85"; // 0xE5 through the short-name table, as UTF-8

struct WrittenFile {
  std::string Folder; // /DCIM/100CANON
  std::string Name;
  bool LongName = false;
  std::vector<std::uint8_t> Bytes;
  bool Deleted = false;

  // The name a scan decodes from the entry: a deleted short name has lost
  // its first letter, a long name survives deletion.
  std::string FoundName() const {
    if (!Deleted || LongName)
      return Name;
    return kLostE + Name.substr(1);
  }
};

struct Row {
  std::string Section, Key;
  std::int64_t Size = 0;
  std::uint32_t Cluster = 0;
  char Mark = 0;
};

std::vector<Row> Rows(const EngineFixture &engine) {
  std::vector<Row> rows;
  engine.State.Catalogue.ForEach([&](const TFoundCatalogue::Entry &e) {
    const auto a = e.Value.find('#'), b = e.Value.find('#', a + 1), c = e.Value.find('#', b + 1);
    rows.push_back({e.Section, e.Key, std::stoll(e.Value.substr(0, a)),
                    static_cast<std::uint32_t>(std::stoul(e.Value.substr(b + 1, c - b - 1))),
                    e.Value.back()});
  });
  return rows;
}

std::string WindowsPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

class CameraCard : public ::testing::TestWithParam<int> {};

TEST_P(CameraCard, DeepScanFindsTheFilesInEveryClusterOfTheOldFolders) {
  test::TempDir dir;
  const int bits = GetParam();
  // Small clusters (32 and 16 entries): each folder's directory spans many.
  FatImageFile card(dir / "card.img", bits == 16 ? test::MkfsOptions{.FatBits = 16, .SizeKiB = 32 * 1024, .SectorsPerCluster = 2}
                                                 : test::MkfsOptions{.FatBits = 32, .SizeKiB = 64 * 1024, .SectorsPerCluster = 1});
  struct Folder {
    const char *Path;
    int Files;
    const char *Pattern;
    bool LongNames;
  };
  const Folder folders[] = {{"/DCIM/100CANON", 150, "IMG_%04d.JPG", false},
                            {"/DCIM/101CANON", 100, "Holiday photo %03d.jpg", true},
                            {"/Notes", 50, "note %02d.txt", true}};
  std::vector<WrittenFile> written;
  for (const auto &folder : folders) {
    card.Mkdir(folder.Path);
    for (int i = 1; i <= folder.Files; ++i) {
      char name[40];
      std::snprintf(name, sizeof name, folder.Pattern, i);
      const auto seed = static_cast<std::uint32_t>(written.size() + 1);
      WrittenFile f{folder.Path, name, folder.LongNames, test::PatternBytes(2048 + seed * 1237 % 6144, seed)};
      card.Put(f.Folder + "/" + f.Name, f.Bytes, test::LocalTime(2025, 6, 1, 10, i % 60));
      written.push_back(std::move(f));
    }
  }
  for (const std::size_t i : {2u, 69u, 160u, 219u, 289u}) {
    card.Delete(written[i].Folder + "/" + written[i].Name);
    written[i].Deleted = true;
  }

  // In use, the folders' chains lead through all their clusters: the deep
  // scan finds the deleted files where they were, and nothing more.
  {
    auto engine = EngineFixture::OfImage(card.Path());
    ASSERT_EQ(engine.Find("*.*", true).Outcome, FindOutcome::Result::Found);
    std::set<std::string> expected, found;
    for (const auto &f : written)
      if (f.Deleted)
        expected.insert("E:" + WindowsPath(f.Folder) + "\\" + f.FoundName() + " 1");
    for (const auto &r : Rows(engine))
      found.insert(r.Section + r.Key + " " + r.Mark);
    EXPECT_EQ(found, expected);
  }

  card.Reformat();
  auto engine = EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find("*.*", true).Outcome, FindOutcome::Result::Found);
  const auto rows = Rows(engine);
  const auto image = card.Bytes();
  const auto &volume = engine.State.Vol;
  std::vector<bool> used(rows.size());
  std::map<std::string, std::set<std::string>> sectionsOf; // folder written -> sections found
  std::size_t recalled = 0;
  for (const auto &f : written) {
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const Row &r) {
      if (used[std::size_t(&r - rows.data())] || !EqualsIgnoreCase(r.Key, f.FoundName()) ||
          r.Size != std::int64_t(f.Bytes.size()) || r.Mark != (f.Deleted ? '1' : '0'))
        return false;
      const auto at = std::size_t(volume.ClusterToSector(std::int32_t(r.Cluster))) * 512;
      return at + f.Bytes.size() <= image.size() &&
             std::equal(f.Bytes.begin(), f.Bytes.end(), image.begin() + std::ptrdiff_t(at));
    });
    EXPECT_NE(it, rows.end()) << "not found: " << f.Folder << "/" << f.Name;
    if (it == rows.end())
      continue;
    used[std::size_t(it - rows.begin())] = true;
    sectionsOf[f.Folder].insert(it->Section);
    ++recalled;
  }
  std::printf("FAT%d re-formatted camera card: %zu of %zu files found, %zu rows\n", bits, recalled,
              written.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i)
    EXPECT_TRUE(used[i]) << "found twice or never written: " << rows[i].Section << rows[i].Key;
  // Each folder's files lie together, apart from every other folder's.
  std::set<std::string> sections;
  for (const auto &[folder, found] : sectionsOf) {
    EXPECT_EQ(found.size(), 1u) << folder;
    sections.insert(found.begin(), found.end());
  }
  EXPECT_EQ(sections.size(), std::size(folders));
}

INSTANTIATE_TEST_SUITE_P(Fat, CameraCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

} // namespace
} // namespace orvanta
