#include <gtest/gtest.h>

#include <map>

#include "filled_card.h"
#include "jobs/restore_jobs.h"
#include "scan/live_view.h"
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

} // namespace
} // namespace orvanta
