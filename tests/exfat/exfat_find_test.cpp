#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "jobs/restore_jobs.h"
#include "scan/live_view.h"
#include "filled_card.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ExfatCard;
using test::ExfatLayout;
using test::TempDir;
using test::Card;
using test::Fill;
using test::ReadFile;

TEST(ExfatFind, QuickScanListsAndRestoresEveryDeletedFileOfWriterCards) {
  for (const std::uint32_t cluster : {512u, 4096u, 32768u, 131072u}) {
    SCOPED_TRACE(cluster);
    TempDir dir;
    ExfatCard card(dir / "card.img", 48u << 20, cluster, cluster == 512 ? "" : "CARD");
    const Card expected = Fill(card);
    EXPECT_EQ(test::Run({"fsck.exfat", "-n", card.Path().string()}).ExitCode, 0);

    auto fx = test::EngineFixture::OfImage(card.Path());
    const auto found = fx.Find();
    ASSERT_EQ(found.Outcome, FindOutcome::Result::Found) << found.Message;
    std::map<std::string, const FoundFileRow *> rows;
    for (const auto &folder : fx.State.Catalogue.Folders())
      for (const auto &row : folder.Files)
        rows[folder.Section + row.Name] = &row;
    for (const auto &[key, want] : expected.Deleted) {
      SCOPED_TRACE(key);
      ASSERT_TRUE(rows.count(key));
      if (want.Restorable) {
        EXPECT_EQ(rows[key]->Size, want.Bytes.size());
        EXPECT_EQ(rows[key]->Condition, FileCondition::Intact);
      } else {
        EXPECT_EQ(rows[key]->Condition, FileCondition::Overwritten);
      }
    }
    EXPECT_EQ(rows.size(), expected.Deleted.size()); // no live file listed

    RestoreState restore;
    restore.DestFolder = dir / "out";
    std::filesystem::create_directories(restore.DestFolder);
    restore.CurrentSection = "E:\\";
    const auto restored = RestoreFolder(fx.State, restore, fx.Host);
    EXPECT_EQ(restored.Restored, std::int64_t(expected.Deleted.size()));
    for (const auto &[key, want] : expected.Deleted) {
      if (!want.Restorable)
        continue;
      SCOPED_TRACE(key);
      std::filesystem::path file = restore.DestFolder;
      for (const auto &part : PathComponents(want.Section))
        file /= part;
      EXPECT_EQ(ReadFile(file / want.Name), want.Bytes);
    }
  }
}

} // namespace
} // namespace orvanta
