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

struct WrittenFile {
  std::string Folder, Name; // "/DCIM/100CANON", "IMG_0001.JPG"
  std::vector<std::uint8_t> Bytes;
  bool Deleted = false;
};

// Folder + the name a scan decodes + the mark: a deleted short name has lost
// its first letter (0xE5 through the short-name table), a long one has not.
std::string Expected(const std::string &folder, const WrittenFile &f) {
  const bool shortName = f.Name == UpperAscii(f.Name) && f.Name.find(' ') == std::string::npos;
  std::string path = folder + (f.Deleted && shortName ? "\xD1\x85" + f.Name.substr(1) : f.Name);
  std::replace(path.begin(), path.end(), '/', '\\');
  return FoldCase(path) + (f.Deleted ? "#1" : "#0");
}

class CameraCard : public ::testing::TestWithParam<int> {};

TEST_P(CameraCard, DeepScanFindsTheFilesInEveryClusterOfTheOldFolders) {
  test::TempDir dir;
  const int bits = GetParam();
  // Small clusters (32 and 16 entries): each folder's directory spans many.
  test::FatImageFile card(dir / "card.img", {.FatBits = bits, .SizeKiB = bits == 16 ? 32u * 1024 : 64u * 1024,
                                             .SectorsPerCluster = bits == 16 ? 2 : 1});
  const std::tuple<const char *, int, const char *> folders[] = {
      {"/DCIM/100CANON", 150, "IMG_%04d.JPG"}, {"/DCIM/101CANON", 100, "Holiday photo %03d.jpg"},
      {"/Notes", 50, "note %02d.txt"}};
  std::vector<WrittenFile> written;
  for (const auto &[folder, count, pattern] : folders) {
    card.Mkdir(folder);
    for (int i = 1; i <= count; ++i) {
      char name[40];
      std::snprintf(name, sizeof name, pattern, i);
      const auto seed = static_cast<std::uint32_t>(written.size() + 1);
      written.push_back({folder, name, test::PatternBytes(2048 + seed * 1237 % 6144, seed)});
      card.Put(std::string(folder) + "/" + name, written.back().Bytes, test::LocalTime(2025, 6, 1, 10, i % 60));
    }
  }
  for (const std::size_t i : {2u, 69u, 160u, 219u, 289u}) {
    card.Delete(written[i].Folder + "/" + written[i].Name);
    written[i].Deleted = true;
  }

  // Catalogue rows as folder + name + mark, with the bytes at their cluster.
  auto scan = [&](std::map<std::string, std::string> &rows) {
    auto engine = test::EngineFixture::OfImage(card.Path());
    ASSERT_EQ(engine.Find("*.*", true).Outcome, FindOutcome::Result::Found);
    const auto image = card.Bytes();
    for (const FoundFolder &folder : engine.State.Catalogue.Folders())
      for (const FoundFileRow &row : folder.Files) {
        const auto size = std::size_t(row.Size);
        const auto at =
            std::size_t(engine.State.Vol.ClusterToSector(std::int32_t(row.FirstCluster))) * 512;
        rows[FoldCase(folder.Section + row.Name) + "#" + row.Mark] =
            at + size <= image.size() ? std::string(image.begin() + long(at), image.begin() + long(at + size)) : "";
      }
  };

  // In use, the folders' chains lead through all their clusters: the deep
  // scan finds the deleted files where they were, and nothing more.
  std::map<std::string, std::string> live, expectedLive;
  scan(live);
  for (const auto &f : written)
    if (f.Deleted)
      expectedLive[Expected("E:" + f.Folder + "/", f)] = std::string(f.Bytes.begin(), f.Bytes.end());
  EXPECT_EQ(live, expectedLive);

  card.Reformat();
  std::map<std::string, std::string> rows;
  scan(rows);
  // Each folder's files go to one folder of the results, its own.
  std::map<std::string, std::string> sectionOf;
  std::size_t recalled = 0;
  for (const auto &f : written) {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const auto &row) {
      const auto section = row.first.substr(0, row.first.rfind('\\') + 1);
      return row.first == Expected(section, f) && row.second == std::string(f.Bytes.begin(), f.Bytes.end()) &&
             sectionOf.emplace(f.Folder, section).first->second == section;
    });
    EXPECT_NE(it, rows.end()) << "not found where its folder's other files are: " << f.Folder << "/" << f.Name;
    if (it != rows.end())
      rows.erase(it), ++recalled;
  }
  std::printf("FAT%d re-formatted camera card: %zu of %zu files found\n", bits, recalled, written.size());
  EXPECT_TRUE(rows.empty()) << "found twice or never written: " << (rows.empty() ? "" : rows.begin()->first);
  std::set<std::string> sections;
  for (const auto &[folder, section] : sectionOf)
    sections.insert(section);
  EXPECT_EQ(sections.size(), std::size(folders));
}

INSTANTIATE_TEST_SUITE_P(Fat, CameraCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

} // namespace
} // namespace orvanta
