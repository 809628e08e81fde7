// The Wipe command of the main window, run on its worker thread, with the
// dialogs answered by a stand-in.
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>


#include "gui/app/main_window.h"
#include "gui_fixture.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/catalogue_text.h"

namespace orvanta::gui::test {
namespace {

using orvanta::test::FatImageFile;

constexpr int kDeleted = 12;
// The question names the drive (letter, volume label, size, image) and what
// the quick wipe overwrites.
const QString kQuestion = "Are you sure wipe deleted files?\nE: ORVANTA \u00B7 16 Mb \u00B7 card.img\n"
                          "Deleted entries will be overwritten.";

struct AnsweringDialogs final : MainWindowDialogs {
  void Inform(const QString &text) override { Informed << text; }
  bool Ask(const QString &question) override {
    Asked << question;
    return Yes;
  }
  void DeepScanHint() override {}
  void ShowResults() override {}
  QStringList Informed;
  QStringList Asked;
  bool Yes = true;
};

// A card with kDeleted deleted files in three folders.
class WipeTest : public ::testing::Test {
protected:
  WipeTest() : image_(dir_ / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024}) {
    for (const char *folder : {"/D0", "/D1", "/D2"})
      image_.Mkdir(folder);
    auto path = [](int i) { return "/D" + std::to_string(i % 3) + "/F" + std::to_string(i) + ".BIN"; };
    for (int i = 0; i < kDeleted; ++i)
      image_.Put(path(i), orvanta::test::PatternBytes(3000, std::uint32_t(i)));
    for (int i = 0; i < kDeleted; ++i) // deleted last: no slot is used twice
      image_.Delete(path(i));
    image_.Put("/KEPT.TXT", "kept");
  }

  static void Run(TForm1a &w, void (TForm1a::*click)(), void (TForm1a::*finished)()) {
    QSignalSpy ended(&w, finished);
    (w.*click)();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(60000));
    EXPECT_FALSE(w.OperationRunning());
  }

  orvanta::test::TempDir dir_;
  FatImageFile image_;
};

TEST_F(WipeTest, AQuickWipeReportsTheFilesWipedAndLeavesNoResults) {
  GuiWorld world({{'E', image_.Path(), {}}});
  TForm1a w(world.Context());
  AnsweringDialogs dialogs;
  w.SetDialogs(&dialogs);
  w.show();
  Run(w, &TForm1a::Button1Click, &TForm1a::FindFinished);
  ASSERT_EQ(world.Context().State().Catalogue.FileCount(), std::size_t(kDeleted));

  // No leaves the card, the log and the results as they were.
  const auto before = orvanta::test::ReadFileBytes(image_.Path());
  const QString log = w.InfoList()->toPlainText();
  dialogs.Informed.clear();
  dialogs.Yes = false;
  Run(w, &TForm1a::Button2Click, &TForm1a::WipeFinished);
  EXPECT_EQ(dialogs.Asked, QStringList{kQuestion});
  EXPECT_TRUE(dialogs.Informed.isEmpty());
  EXPECT_EQ(w.InfoList()->toPlainText(), log);
  EXPECT_EQ(world.Context().State().Catalogue.FileCount(), std::size_t(kDeleted));
  EXPECT_EQ(orvanta::test::ReadFileBytes(image_.Path()), before);

  dialogs.Yes = true;
  Run(w, &TForm1a::Button2Click, &TForm1a::WipeFinished);
  EXPECT_EQ(dialogs.Informed, QStringList{"Files wiped: 12"});
  EXPECT_EQ(w.InfoList()->toPlainText().split('\n').first(), "Wipe deleted files. Please wait...");
  EXPECT_EQ(w.ResultLabel2()->text(), "12");
  EXPECT_EQ(world.Context().State().Catalogue.FileCount(), 0u);
  EXPECT_EQ(w.findChild<QLabel *>("Button2Label")->text(), "Wipe");
  EXPECT_TRUE(w.findChild<QWidget *>("Button1")->isEnabled());
  EXPECT_EQ(orvanta::test::Run({"fsck.fat", "-n", image_.Path().string()}).ExitCode, 0);
  EXPECT_EQ(image_.Get("/KEPT.TXT"), std::vector<std::uint8_t>({'k', 'e', 'p', 't'}));
}

} // namespace
} // namespace orvanta::gui::test
