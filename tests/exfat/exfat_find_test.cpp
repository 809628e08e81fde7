#include <gtest/gtest.h>

#include <map>

#include "filled_card.h"
#include "support/run.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ExfatCard;
using test::TempDir;
using test::Card;
using test::Fill;

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

    test::ExpectRestored(fx, expected, dir / "out");
  }
}

} // namespace
} // namespace orvanta
