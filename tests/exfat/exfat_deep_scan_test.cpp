#include <gtest/gtest.h>

#include <map>

#include "filled_card.h"
#include "jobs/restore_jobs.h"
#include "scan/content_files.h"
#include "scan/live_view.h"
#include "support/carve_samples.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ExfatCard;
using test::TempDir;

std::map<std::string, const FoundFileRow *> Rows(const TFoundCatalogue &catalogue) {
  std::map<std::string, const FoundFileRow *> rows;
  for (const auto &folder : catalogue.Folders())
    for (const auto &row : folder.Files)
      rows[folder.Section + row.Name] = &row;
  return rows;
}

TEST(ExfatDeepScan, FindsAndRestoresWhatTheQuickScanDoesInTheSameFolders) {
  for (const std::uint32_t cluster : {512u, 4096u, 131072u}) {
    SCOPED_TRACE(cluster);
    TempDir dir;
    ExfatCard card(dir / "card.img", 48u << 20, cluster, "CARD");
    const auto expected = test::Fill(card);
    auto fx = test::EngineFixture::OfImage(card.Path());
    ASSERT_EQ(fx.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
    const auto rows = Rows(fx.State.Catalogue);
    for (const auto &[key, want] : expected.Deleted) {
      SCOPED_TRACE(key);
      ASSERT_TRUE(rows.count(key));
      EXPECT_EQ(rows.at(key)->Mark, '1');
    }
    EXPECT_EQ(rows.size(), expected.Deleted.size());
    test::ExpectRestored(fx, expected, dir / "out");
  }
}

TEST(ExfatDeepScan, FindsTheOldFoldersOfAQuickFormattedCard) {
  TempDir dir;
  ExfatCard card(dir / "card.img", 48u << 20, 4096, "CARD");
  test::Fill(card);
  const auto photo = test::Pattern(2 * 4096, 9); // DCIM/100CAM/IMG_0002.JPG, live before
  test::RunOrFail({"mkfs.exfat", "-c", "4096", "-L", "CARD", card.Path().string()});
  auto fx = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(fx.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  const auto rows = Rows(fx.State.Catalogue);
  // The root was written anew: DCIM is a lost folder, 100CAM still has its name.
  const auto it = std::find_if(rows.begin(), rows.end(), [](const auto &r) {
    return r.first.ends_with("\\100CAM\\IMG_0002.JPG") && r.first.starts_with("E:\\Lost folder ");
  });
  ASSERT_NE(it, rows.end());
  EXPECT_EQ(it->second->Mark, '0');

  RestoreState restore;
  restore.DestFolder = dir / "out";
  std::filesystem::create_directories(restore.DestFolder);
  restore.CurrentSection = it->first.substr(0, it->first.rfind('\\') + 1);
  ASSERT_GE(RestoreFolder(fx.State, restore, fx.Host).Restored, 1);
  std::filesystem::path file = restore.DestFolder;
  for (const auto &part : PathComponents(restore.CurrentSection))
    file /= part;
  EXPECT_EQ(test::ReadFile(file / "IMG_0002.JPG"), photo);
}

// Photos taken, the card quick-formatted and its folders made again where
// they were, a new photo taken over the first old one: the old photos come
// back by their content, once each. On the card as it was before the
// format, its deleted photos are found by their sets and nothing by content.
TEST(ExfatDeepScan, PhotosOfAFormattedCardComeBackByTheirContent) {
  TempDir dir;
  const std::uint32_t clusterBytes = 4096;
  ExfatCard old(dir / "old.img", 16u << 20, clusterBytes, "CAM");
  old.MakeFolder("DCIM");
  old.MakeFolder("DCIM/100CANON");
  const char *samples[] = {"photo", "big", "prog"};
  std::vector<std::pair<std::uint32_t, test::Bytes>> photos; // first cluster, bytes
  for (int i = 0; i < 12; ++i) {
    const std::string name = "DCIM/100CANON/IMG_" + std::to_string(1000 + i) + ".JPG";
    photos.emplace_back(0, test::CarveSample(std::string(samples[i % 3]) + ".jpg"));
    old.Put(name, photos.back().second, i % 4 == 3 ? test::ExfatLayout::Fragmented
                                                   : test::ExfatLayout::Contiguous);
    photos.back().first = old.FirstCluster(name);
  }
  old.Delete("DCIM/100CANON/IMG_1001.JPG");
  old.Delete("DCIM/100CANON/IMG_1004.JPG");
  old.Save();
  {
    auto fx = test::EngineFixture::OfImage(old.Path());
    ASSERT_EQ(fx.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
    const auto rows = Rows(fx.State.Catalogue);
    EXPECT_EQ(rows.size(), 2u);
    EXPECT_TRUE(rows.count("E:\\DCIM\\100CANON\\IMG_1001.JPG"));
  }

  ExfatCard card(old.Path(), 0, clusterBytes, "CAM"); // a quick format where it is
  card.MakeFolder("DCIM");
  card.MakeFolder("DCIM/100CANON");
  ASSERT_EQ(card.FirstCluster("DCIM/100CANON"), old.FirstCluster("DCIM/100CANON"));
  card.Put("DCIM/100CANON/IMG_2000.JPG", test::NoiseBytes(3000, 5));
  ASSERT_EQ(card.FirstCluster("DCIM/100CANON/IMG_2000.JPG"), photos[0].first);
  card.Save();

  auto fx = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(fx.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  auto rows = Rows(fx.State.Catalogue);
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir / "out";
  RestoreFolder(fx.State, restore, fx.Host);
  // The first photo was taken over; the fragmented ones go on after their gaps.
  for (std::size_t i = 1; i < photos.size(); ++i) {
    const std::string name = ContentFileName(photos[i].first, "jpg");
    SCOPED_TRACE(name);
    const auto row = rows.find("E:\\Found by content\\Photos\\" + name);
    ASSERT_NE(row, rows.end());
    EXPECT_EQ(row->second->Condition, FileCondition::Intact);
    EXPECT_EQ(row->second->Size, photos[i].second.size());
    EXPECT_TRUE(test::ReadFileBytes(restore.DestFolder / "Found by content" / "Photos" / name) ==
                photos[i].second);
    rows.erase(row);
  }
  for (const auto &[key, row] : rows)
    ADD_FAILURE() << "also listed: " << key;
}

// Photos of a quick-formatted card whose folders the camera wrote over, and
// one unreadable sector inside the fourth: the other photos of the same
// 1 MiB transfer still come back whole by their content.
TEST(ExfatDeepScan, AnUnreadableSectorCostsOnlyItsOwnCluster) {
  TempDir dir;
  const std::uint32_t clusterBytes = 4096;
  std::vector<std::pair<std::uint32_t, test::Bytes>> photos; // first cluster, bytes
  std::vector<std::uint32_t> folders;
  {
    ExfatCard old(dir / "card.img", 16u << 20, clusterBytes, "CAM");
    old.MakeFolder("DCIM");
    old.MakeFolder("DCIM/100CANON");
    for (int i = 0; i < 8; ++i) {
      const std::string name = "DCIM/100CANON/IMG_" + std::to_string(1000 + i) + ".JPG";
      photos.emplace_back(0, test::CarveSample(i % 2 ? "big.jpg" : "photo.jpg"));
      old.Put(name, photos.back().second);
      photos.back().first = old.FirstCluster(name);
    }
    folders = {old.FirstCluster("DCIM"), old.FirstCluster("DCIM/100CANON")};
    old.Save();
  }
  ExfatCard card(dir / "card.img", 0, clusterBytes, "CAM");
  for (const auto folder : folders)
    std::fill_n(card.Image().begin() + std::ptrdiff_t(card.ClusterOffset(folder)), clusterBytes, 0);
  auto fx = test::EngineFixture::OfBytes(card.Image());
  const std::uint64_t bad = card.ClusterOffset(photos[3].first + 1) / 512 + 3; // big.jpg's second
  dynamic_cast<MemoryDevice &>(*fx.Drive).FailReads(bad, bad);
  ASSERT_EQ(fx.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  const auto rows = Rows(fx.State.Catalogue);
  for (std::size_t i = 0; i < photos.size(); ++i) {
    const auto row = rows.find("E:\\Found by content\\Photos\\" + ContentFileName(photos[i].first, "jpg"));
    if (i == 3)
      continue; // cut at its unreadable cluster, or joined over it
    ASSERT_NE(row, rows.end()) << i;
    EXPECT_EQ(row->second->Condition, FileCondition::Intact) << i;
    EXPECT_EQ(row->second->Size, photos[i].second.size()) << i;
  }
}

// An image cut short inside a deleted file: the file is listed as partly there.
TEST(ExfatDeepScan, AFileRunningPastTheEndOfACutImageIsPartlyThere) {
  TempDir dir;
  ExfatCard card(dir / "card.img", 8u << 20, 4096, "CUT");
  card.Put("a.bin", test::Pattern(3 * 4096, 1));
  card.Put("b.bin", test::Pattern(4096, 2));
  const std::uint32_t a = card.FirstCluster("a.bin");
  card.Delete("a.bin");
  card.Delete("b.bin");
  auto bytes = card.Image();
  bytes.resize(card.ClusterOffset(a + 2) + 512);
  for (const bool deep : {false, true}) {
    auto fx = test::EngineFixture::OfBytes(bytes);
    ASSERT_EQ(fx.Find("*.*", deep).Outcome, FindOutcome::Result::Found) << deep;
    const auto rows = Rows(fx.State.Catalogue);
    ASSERT_TRUE(rows.count("E:\\a.bin") && rows.count("E:\\b.bin")) << deep;
    EXPECT_EQ(rows.at("E:\\a.bin")->Condition, FileCondition::Partly) << deep;
    EXPECT_EQ(rows.at("E:\\b.bin")->Condition, FileCondition::Partly) << deep;
  }
}

} // namespace
} // namespace orvanta
