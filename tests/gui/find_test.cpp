// The Find command of the main window, run on its worker thread, with the
// dialogs answered by a stand-in.
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "gui/app/main_window.h"
#include "gui/results/results_window.h"
#include "gui_fixture.h"
#include "support/fat_image.h"
#include "support/catalogue_text.h"

namespace orvanta::gui::test {
namespace {

using orvanta::test::FatImageFile;

constexpr int kDeleted = 12;

struct StandInDialogs final : MainWindowDialogs {
  explicit StandInDialogs(TForm1a &window) : Window(window) {}
  void Inform(const QString &text) override { Informed << text; }
  bool Ask(const QString &question) override {
    Asked << question;
    return Answer ? Answer() : false;
  }
  void DeepScanHint() override {
    ++Hints;
    if (OnHint)
      OnHint();
  }
  void ShowResults() override {
    ++ResultsShown;
    MainHiddenMeanwhile = !Window.isVisible();
    CounterAtResults = Window.ResultLabel2()->text();
  }

  TForm1a &Window;
  QStringList Informed;
  QStringList Asked;
  int Hints = 0;
  int ResultsShown = 0;
  bool MainHiddenMeanwhile = false;
  QString CounterAtResults;
  std::function<bool()> Answer;
  std::function<void()> OnHint;
};

// A card with kDeleted deleted files in three folders, as drive E:.
class FindTest : public ::testing::Test {
protected:
  FindTest() : image_(dir_ / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024}) {
    for (const char *folder : {"/D0", "/D1", "/D2"})
      image_.Mkdir(folder);
    auto path = [](int i) { return "/D" + std::to_string(i % 3) + "/F" + std::to_string(i) + ".BIN"; };
    for (int i = 0; i < kDeleted; ++i)
      image_.Put(path(i), orvanta::test::PatternBytes(3000 + 1000 * std::size_t(i), std::uint32_t(i)));
    for (int i = 0; i < kDeleted; ++i)
      image_.Delete(path(i));
    image_.Put("/KEPT.TXT", "kept");
    std::ofstream(dir_ / "blank.img", std::ios::binary) << std::string(1 << 20, '\0');
  }
  std::vector<DriveEntry> Drives() { return {{'E', image_.Path(), {}}, {'H', dir_ / "blank.img", {}}}; }

  static void WaitForEnd(TForm1a &w, QSignalSpy &ended) {
    ASSERT_TRUE(ended.count() > 0 || ended.wait(60000));
    EXPECT_FALSE(w.OperationRunning());
  }

  orvanta::test::TempDir dir_;
  FatImageFile image_;
};

TEST_F(FindTest, AFindRunsOnTheWorkerAndReportsWhatItFound) {
  GuiWorld world(Drives());
  TForm1a w(world.Context());
  StandInDialogs dialogs(w);
  w.SetDialogs(&dialogs);
  w.show();
  QSignalSpy ended(&w, &TForm1a::FindFinished);

  // While the hint is open the window is prepared and still answers.
  QStringList whileRunning;
  bool controlsDisabled = false;
  dialogs.OnHint = [&] {
    whileRunning = w.InfoList()->toPlainText().split('\n');
    controlsDisabled = !w.DriveBox()->isEnabled();
    whileRunning << w.findChild<QLabel *>("Button1Label")->text();
  };
  w.Button1Click();
  EXPECT_TRUE(w.OperationRunning());
  WaitForEnd(w, ended);

  EXPECT_EQ(whileRunning, QStringList({"Find deleted files. Please wait...", "", "Stop"}));
  EXPECT_TRUE(controlsDisabled);
  EXPECT_EQ(dialogs.Hints, 1);
  EXPECT_EQ(dialogs.Informed, QStringList{"Deleted files found: 12"});
  EXPECT_EQ(dialogs.ResultsShown, 1);
  EXPECT_TRUE(dialogs.MainHiddenMeanwhile);
  EXPECT_EQ(dialogs.CounterAtResults, "12");
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.DriveBox()->isEnabled());
  EXPECT_EQ(w.findChild<QLabel *>("Button1Label")->text(), "Find");
  EXPECT_FALSE(w.findChild<QWidget *>("ProgressBarA")->isVisible());

  // The hint is shown before every Find; nothing is found under another mask.
  w.findChild<QLineEdit *>("MaskEdit")->setText("*.TXT");
  dialogs.Informed.clear();
  ended.clear();
  w.Button1Click();
  WaitForEnd(w, ended);
  EXPECT_EQ(dialogs.Hints, 2);
  EXPECT_EQ(dialogs.Informed, QStringList{"Deleted files not found!"});
  EXPECT_EQ(w.InfoList()->toPlainText(), "Deleted files not found!");
  EXPECT_EQ(dialogs.ResultsShown, 1);
}

// The deep scan finds what the quick scan finds, the root's files included.
TEST(DeepFind, FindsTheRootsDeletedFilesAsTheQuickScanDoes) {
  orvanta::test::TempDir dir;
  FatImageFile image(dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024});
  image.Mkdir("/DCIM");
  for (const char *file : {"/DCIM/Photo.jpg", "/Holiday video.mp4"}) {
    image.Put(file, orvanta::test::PatternBytes(5000, 1));
    image.Delete(file);
  }
  GuiWorld world({{'E', image.Path(), {}}});
  TForm1a w(world.Context());
  StandInDialogs dialogs(w);
  w.SetDialogs(&dialogs);
  w.show();
  QSignalSpy ended(&w, &TForm1a::FindFinished);
  w.Button1Click();
  ASSERT_TRUE(ended.wait(60000));
  w.CheckLabel2Click();
  w.Button1Click();
  ASSERT_TRUE(ended.count() > 1 || ended.wait(60000));
  EXPECT_EQ(dialogs.Informed, QStringList({"Deleted files found: 2", "Deleted files found: 2"}));
  EXPECT_TRUE(world.Context().State().Catalogue.File("E:\\", "Holiday video.mp4"));
}

// A larger FAT32 card whose folders lie megabytes apart: a Stop during the
// deep scan keeps what the blocks read so far held.
TEST(DeepFind, AStopConfirmedDuringADeepScanKeepsWhatWasFound) {
  orvanta::test::TempDir dir;
  FatImageFile image(dir / "big.img", {.FatBits = 32, .SizeKiB = 48 * 1024});
  const int folders = 4, files = 5;
  for (int f = 0; f < folders; ++f) {
    image.Mkdir("/D" + std::to_string(f));
    for (int i = 0; i < files; ++i)
      image.Put("/D" + std::to_string(f) + "/F" + std::to_string(i) + ".BIN", "deleted soon");
    image.Put("/FILL" + std::to_string(f) + ".BIN", orvanta::test::PatternBytes(8 << 20, std::uint32_t(f)));
  }
  for (int f = 0; f < folders; ++f)
    for (int i = 0; i < files; ++i)
      image.Delete("/D" + std::to_string(f) + "/F" + std::to_string(i) + ".BIN");

  GuiWorld world({{'E', image.Path(), {}}});
  HoldingWindow w(world.Context());
  StandInDialogs dialogs(w);
  dialogs.Answer = [&] {
    while (!w.Host->Question().Holding())
      std::this_thread::yield();
    return true;
  };
  w.SetDialogs(&dialogs);
  w.show();
  w.CheckLabel2Click();
  QSignalSpy ended(&w, &TForm1a::FindFinished);
  w.Button1Click();
  QTRY_VERIFY_WITH_TIMEOUT(w.Host && w.Host->Waiting, 60000);
  // While it runs the window may be minimised and brought back, not closed.
  w.TopButton2Click();
  EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
  EXPECT_FALSE(w.close());
  w.RestoreRequest();
  EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.OperationRunning());
  w.Button1Click();
  ASSERT_TRUE(ended.count() > 0 || ended.wait(60000));

  const auto found = world.Context().State().Catalogue.FileCount();
  EXPECT_GE(found, std::size_t(files));
  EXPECT_LT(found, std::size_t(folders * files));
  EXPECT_EQ(dialogs.Informed, QStringList{QStringLiteral("Deleted files found: %1").arg(found)});
  EXPECT_EQ(dialogs.ResultsShown, 1);
}

TEST_F(FindTest, ARefusedFindChangesNothing) {
  GuiWorld none;
  TForm1a empty(none.Context());
  StandInDialogs told(empty);
  empty.SetDialogs(&told);
  empty.show();
  QSignalSpy refused(&empty, &TForm1a::FindFinished);
  empty.Button1Click();
  EXPECT_EQ(told.Informed, QStringList{"Drive not found!"});
  EXPECT_EQ(refused.count(), 1);
  EXPECT_FALSE(empty.OperationRunning());

  GuiWorld world(Drives());
  TForm1a w(world.Context());
  StandInDialogs dialogs(w);
  w.SetDialogs(&dialogs);
  w.show();
  w.DriveBox()->setCurrentIndex(1);
  w.InfoList()->setPlainText("untouched");
  QSignalSpy ended(&w, &TForm1a::FindFinished);
  w.Button1Click();
  WaitForEnd(w, ended);
  EXPECT_EQ(dialogs.Informed, QStringList{"The software supports only FAT file system!"});
  EXPECT_EQ(w.InfoList()->toPlainText(), "untouched");
  EXPECT_EQ(dialogs.Hints, 0);
  EXPECT_TRUE(w.DriveBox()->isEnabled());
}

TEST_F(FindTest, TheResultsWindowListsTheSelectedFolderAndSortsByNumbers) {
  GuiWorld world(Drives());
  TForm1a w(world.Context());
  StandInDialogs dialogs(w);
  w.SetDialogs(&dialogs);
  w.show();
  QSignalSpy ended(&w, &TForm1a::FindFinished);
  w.Button1Click();
  WaitForEnd(w, ended);

  TForm1b results(world.Context(), nullptr);
  results.Populate();
  EXPECT_EQ(results.size(), QSize(800, 600));
  EXPECT_EQ(results.minimumSize(), QSize(614, 450));
  QTreeWidget *tree = results.DList();
  ASSERT_EQ(tree->topLevelItemCount(), 1);
  QTreeWidgetItem *root = tree->topLevelItem(0);
  EXPECT_EQ(root->text(0), "E:");
  EXPECT_TRUE(root->isExpanded());
  ASSERT_EQ(root->childCount(), 3);

  tree->setCurrentItem(root->child(0));
  EXPECT_EQ(results.CurrentSection(), "E:\\D0\\");
  QTreeWidget *list = results.FList();
  auto column = [&](int c) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      texts << list->topLevelItem(i)->text(c);
    return texts;
  };
  QStringList keys; // the first letter of a deleted name is the card's guess
  for (const auto &key : orvanta::test::Keys(world.Context().State().Catalogue, "E:\\D0\\"))
    keys << QString::fromStdString(key);
  EXPECT_EQ(column(0), keys);
  ASSERT_EQ(keys.size(), 4);
  EXPECT_TRUE(keys[3].endsWith("9.BIN"));
  EXPECT_EQ(column(1), QStringList({"2 Kb", "5 Kb", "8 Kb", "11 Kb"}));
  EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
  EXPECT_EQ(list->headerItem()->text(2), "Created");

  results.SortBy(1);
  EXPECT_EQ(column(1), QStringList({"2 Kb", "5 Kb", "8 Kb", "11 Kb"}));
  results.SortBy(1);
  EXPECT_EQ(column(1), QStringList({"11 Kb", "8 Kb", "5 Kb", "2 Kb"}));

  results.show();
  results.Button3Click();
  EXPECT_FALSE(results.isVisible());
  EXPECT_EQ(world.Context().State().Catalogue.FileCount(), 0u);
}

// The cards' deleted short names lost their first letter (F1.BIN shows as
// "х1.BIN"): the mask as a person types it finds them, and the list says why
// the name looks as it does.
TEST_F(FindTest, AMaskMatchesALostFirstLetterAndTheListExplainsIt) {
  GuiWorld world(Drives());
  TForm1a w(world.Context());
  StandInDialogs dialogs(w);
  w.SetDialogs(&dialogs);
  w.show();
  QSignalSpy ended(&w, &TForm1a::FindFinished);
  w.findChild<QLineEdit *>("MaskEdit")->setText("f1*.bin");
  w.Button1Click();
  WaitForEnd(w, ended);
  EXPECT_EQ(dialogs.Informed, QStringList{"Deleted files found: 3"}); // F1, F10, F11

  TForm1b results(world.Context(), nullptr);
  results.Populate();
  QTreeWidgetItem *root = results.DList()->topLevelItem(0);
  ASSERT_EQ(root->childCount(), 2);
  results.DList()->setCurrentItem(root->child(0));
  ASSERT_EQ(results.CurrentSection(), "E:\\D1\\");
  QTreeWidget *list = results.FList();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    EXPECT_EQ(list->topLevelItem(i)->toolTip(0),
              "First letter lost (shown as \"\xD1\x85\"): any character of a mask matches it");
}

TEST(ResultsWindow, FallbackIcons) {
  EXPECT_FALSE(FileIcon("NAME.").isNull());
  EXPECT_FALSE(FileIcon("A.Dir").isNull());
  EXPECT_FALSE(FileIcon("X.ZQ9").isNull());
}

// Sizes up to 4 GiB - 1 read in Gb; the size, date and condition columns
// sort by the values behind them, and the condition shows the language's
// name with a coloured dot (blank when the row records none).
TEST(ResultsWindow, ColumnsShowAndSortTheRowsValues) {
  GuiWorld world;
  EngineState &state = world.Context().State();
  state.Tree.AddTopLevel("E:");
  const FoundDateTime day{2019, 5, 7, 9, 5};
  state.Catalogue.Write("E:\\", {.Name = "a.mov", .Size = 4294967295u, .Written = day,
                                 .Condition = FileCondition::Overwritten, .Seconds = 2});
  state.Catalogue.Write("E:\\", {.Name = "b.mov", .Size = 2147483648u, .Written = {2020, 1, 1, 0, 0},
                                 .Condition = FileCondition::Intact});
  state.Catalogue.Write("E:\\", {.Name = "c.jpg", .Size = 3221225472u, .Written = {2019, 0, 0, 24, 60}});
  state.Catalogue.Write("E:\\", {.Name = "d.jpg", .Size = 999, .Written = day,
                                 .Condition = FileCondition::Partly, .Seconds = 0});
  TForm1b results(world.Context(), nullptr);
  results.Populate();
  QTreeWidget *list = results.FList();
  EXPECT_EQ(list->headerItem()->text(3), "Condition");
  auto column = [&](int c) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      texts << list->topLevelItem(i)->text(c);
    return texts;
  };
  EXPECT_EQ(column(1), QStringList({"3 Gb", "2 Gb", "3 Gb", "999 b"}));
  EXPECT_EQ(column(2), QStringList({"2019/05/07 09:05", "2020/01/01 00:00", "2019/00/00 24:60",
                                    "2019/05/07 09:05"}));
  EXPECT_EQ(column(3), QStringList({"Overwritten", "Intact", "", "Partly overwritten"}));
  EXPECT_FALSE(list->topLevelItem(0)->icon(3).isNull());
  EXPECT_TRUE(list->topLevelItem(2)->icon(3).isNull());
  list->setCurrentItem(list->topLevelItem(0));
  list->topLevelItem(0)->setCheckState(0, Qt::Checked);
  results.SortBy(1);
  EXPECT_EQ(column(0), QStringList({"d.jpg", "b.mov", "c.jpg", "a.mov"}));
  results.SortBy(2);
  EXPECT_EQ(column(0), QStringList({"c.jpg", "d.jpg", "a.mov", "b.mov"}));
  results.SortBy(3);
  EXPECT_EQ(column(0), QStringList({"c.jpg", "b.mov", "d.jpg", "a.mov"}));
  // The selection and the ticks go with their rows.
  EXPECT_EQ(list->currentItem()->text(0), "a.mov");
  EXPECT_EQ(list->topLevelItem(3)->checkState(0), Qt::Checked);
  list->topLevelItem(0)->setCheckState(0, Qt::Checked);
  results.SortBy(0);
  EXPECT_EQ(column(0), QStringList({"a.mov", "b.mov", "c.jpg", "d.jpg"}));
  EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Checked);
  EXPECT_EQ(results.TickedLabel()->text(), "Files ticked: 2");
}

} // namespace
} // namespace orvanta::gui::test
