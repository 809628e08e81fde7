// Every command of the windows is reached and pressed from the keyboard.
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "gui/app/main_window.h"
#include "gui/dialogs/message_dialogs.h"
#include "gui/results/results_window.h"
#include "gui_fixture.h"
#include "jobs/find_job.h"
#include "support/fat_image.h"

namespace orvanta::gui::test {
namespace {

struct CountingDialogs final : MainWindowDialogs {
  void Inform(const QString &text) override { Informed << text; }
  bool Ask(const QString &question) override {
    Asked << question;
    return false;
  }
  void DeepScanHint() override {}
  void ShowResults() override {}
  QStringList Informed, Asked;
};

// The names of the controls that Tab visits, from the one with the focus
// until it comes back to it.
QStringList TabChain(QWidget &window) {
  QStringList names;
  QWidget *start = window.focusWidget();
  for (int i = 0; i < 40; ++i) {
    QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
    names << window.focusWidget()->objectName();
    if (window.focusWidget() == start)
      break;
  }
  return names;
}

void Activate(QWidget &window) {
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

class KeyboardTest : public ::testing::Test {
protected:
  KeyboardTest() : card_(dir_ / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024}) {
    card_.Mkdir("/DOCS");
    card_.Put("/DOCS/A.TXT", "deleted");
    card_.Delete("/DOCS/A.TXT");
  }
  orvanta::test::TempDir dir_;
  orvanta::test::FatImageFile card_;
};

TEST_F(KeyboardTest, TabVisitsTheMainWindowInVisualOrderAndMarksTheFocusedButton) {
  GuiWorld world({{'E', card_.Path(), {}}});
  TForm1a w(world.Context());
  Activate(w);
  ASSERT_EQ(w.focusWidget(), w.DriveBox());
  // The mode is one stop, the checked one (the arrows choose within it).
  EXPECT_EQ(TabChain(w), QStringList({"MaskEdit", "Check1", "InfoList", "Button1Focus", "Button2Focus",
                                      "Button3Focus", "TopButton1Focus", "TopButton2Focus", "TopButton3Focus",
                                      "DriveBox"}));

  // The focused button carries a mark that the others do not.
  auto *find = w.findChild<QWidget *>("Button1Focus");
  const QRect button = find->geometry();
  const QImage before = w.grab(button).toImage();
  find->setFocus(Qt::TabFocusReason);
  EXPECT_NE(w.grab(button).toImage(), before);
}

TEST_F(KeyboardTest, EnterInTheMaskBoxFindsAndSpaceOrEnterPressTheFocusedButton) {
  GuiWorld world({{'E', card_.Path(), {}}});
  TForm1a w(world.Context());
  CountingDialogs dialogs;
  w.SetDialogs(&dialogs);
  Activate(w);

  QSignalSpy found(&w, &TForm1a::FindFinished);
  auto *mask = w.findChild<QLineEdit *>("MaskEdit");
  mask->setFocus();
  QTest::keyClick(mask, Qt::Key_Return);
  ASSERT_TRUE(found.count() > 0 || found.wait(30000));
  EXPECT_EQ(dialogs.Informed, QStringList{"Deleted files found: 1"});

  // Wipe (answered No) by Space and by Enter; a disabled button is skipped.
  QSignalSpy wiped(&w, &TForm1a::WipeFinished);
  auto *wipe = w.findChild<QWidget *>("Button2Focus");
  for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
    wipe->setFocus(Qt::TabFocusReason);
    QTest::keyClick(wipe, key);
    ASSERT_TRUE(wiped.wait(30000));
  }
  EXPECT_EQ(dialogs.Asked.size(), 3);
}

TEST_F(KeyboardTest, TheResultsWindowTabsFromTheFoldersToTheFilesToItsCommands) {
  GuiWorld world({{'E', card_.Path(), {}}});
  world.Context().Drives().Refresh();
  OperationHost host;
  FindOptions options;
  options.Drive = "E:";
  ASSERT_EQ(RunFind(world.Context().State(), host, options).Outcome, FindOutcome::Result::Found);
  TForm1b results(world.Context(), nullptr);
  results.Populate();
  Activate(results);
  results.DList()->setFocus();
  EXPECT_EQ(TabChain(results), QStringList({"FList", "Button1Focus", "Button2Focus", "Button3Focus", "DList"}));

  // Enter on Close closes the window.
  auto *close = results.findChild<QWidget *>("Button3Focus");
  close->setFocus(Qt::TabFocusReason);
  QTest::keyClick(close, Qt::Key_Return);
  EXPECT_FALSE(results.isVisible());
}

} // namespace
} // namespace orvanta::gui::test
