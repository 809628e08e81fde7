// Restore, Restore folder and Preview of the results window after a Find on
// a card made with mkfs.fat and mtools, the dialogs and the folder browser
// answered by stand-ins.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>

#include "gui/app/main_window.h"
#include "gui/results/results_window.h"
#include "gui_fixture.h"
#include "platform/posix/volume_location.h"
#include "scan/entry_decoding.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta::gui::test {
namespace {

using orvanta::test::FatImageFile;
using orvanta::test::PatternBytes;
using orvanta::test::ReadFileBytes;

struct StandInResultsDialogs final : ResultsDialogs {
  void Inform(const QString &text) override { Informed << text; }
  bool Ask(const QString &question) override {
    Asked << question;
    return true;
  }
  void ResultsHint() override { ++Hints; }
  QString SelectFolder(const QString &title, const QString &start) override {
    Titles << title;
    Starts << start;
    const auto answer = std::size_t(Titles.size() - 1);
    return answer < Folders.size() ? QString::fromStdString(Folders[answer].string()) : QString();
  }
  QStringList Informed, Asked, Titles, Starts;
  std::vector<std::filesystem::path> Folders; // one answer per browse
  int Hints = 0;
};

struct StandInMainDialogs final : MainWindowDialogs {
  void Inform(const QString &text) override { Informed << text; }
  bool Ask(const QString &) override { return false; }
  void DeepScanHint() override {}
  void ShowResults() override { OnResults(); }
  QStringList Informed;
  std::function<void()> OnResults;
};

QTreeWidgetItem *Child(QTreeWidgetItem *node, const QString &text) {
  for (int i = 0; i < node->childCount(); ++i)
    if (node->child(i)->text(0) == text)
      return node->child(i);
  return nullptr;
}

// The card: deleted photos in a camera folder, a deleted note in another
// folder and a deleted file in the root, all with long names.
class RestoreWindowTest : public ::testing::Test {
protected:
  RestoreWindowTest() : card_(dir_ / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024}) {
    card_.Mkdir("/DCIM/100MEDIA");
    card_.Mkdir("/Docs");
    std::uint32_t seed = 1;
    for (const char *path : {"/DCIM/100MEDIA/photo one.jpg", "/DCIM/100MEDIA/photo two.jpg",
                             "/DCIM/100MEDIA/photo three.jpg", "/Docs/shopping list.txt",
                             "/loose notes.bin"})
      files_[path] = PatternBytes(3000 + 5000 * seed, seed), card_.Put(path, files_[path]), ++seed;
    for (const auto &[path, bytes] : files_)
      card_.Delete(path);
  }

  // Waits for the window's job to end and its outcome to be shown.
  static void Finish(TForm1b &results, QSignalSpy &finished) {
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    finished.clear();
    EXPECT_FALSE(results.ResultsBusy());
  }

  // The Find of the main window, run directly on this thread.
  static void Find(GuiWorld &world) {
    world.Context().Drives().Refresh();
    OperationHost host;
    FindOptions options;
    options.Drive = "E:";
    options.MaxYearOffset = CurrentYearOffsetLimit();
    ASSERT_EQ(RunFind(world.Context().State(), host, options).Outcome, FindOutcome::Result::Found);
  }

  bool Same(const std::filesystem::path &restored, const std::string &original) {
    return ReadFileBytes(restored) == files_.at(original);
  }

  orvanta::test::TempDir dir_;
  FatImageFile card_;
  std::map<std::string, std::vector<std::uint8_t>> files_;
};

TEST_F(RestoreWindowTest, FindRestoreCheckedRowsRestoreFolderPreviewAndClose) {
  GuiWorld world({{'E', card_.Path(), {}}});
  TForm1a w(world.Context());
  StandInMainDialogs mainDialogs;
  w.SetDialogs(&mainDialogs);
  w.show();
  const auto dest = dir_ / "restored";
  std::filesystem::create_directories(dest);

  bool resultsRan = false;
  mainDialogs.OnResults = [&] {
    resultsRan = true;
    TForm1b results(world.Context(), &w);
    StandInResultsDialogs dialogs;
    dialogs.Folders = {dest};
    results.SetDialogs(&dialogs);
    results.Populate();
    results.show();
    QSignalSpy finished(&results, &TForm1b::OperationFinished);

    // Two rows of a folder: the restore runs on its worker with Stop shown.
    QTreeWidgetItem *root = results.DList()->topLevelItem(0);
    QTreeWidgetItem *media = Child(Child(root, "DCIM"), "100MEDIA");
    ASSERT_TRUE(media);
    results.DList()->setCurrentItem(media);
    QTreeWidget *list = results.FList();
    ASSERT_EQ(list->topLevelItemCount(), 3);
    list->topLevelItem(0)->setCheckState(0, Qt::Checked);
    list->topLevelItem(2)->setCheckState(0, Qt::Checked);
    results.Button2Click();
    EXPECT_TRUE(results.ResultsBusy());
    EXPECT_FALSE(results.DList()->isEnabled());
    EXPECT_EQ(results.findChild<QLabel *>("Button2Label")->text(), "Stop");
    results.Button3Click(); // no closing while it runs
    EXPECT_TRUE(results.isVisible());
    Finish(results, finished);
    EXPECT_EQ(dialogs.Informed, QStringList{"Files restored: 2"});
    EXPECT_EQ(dialogs.Hints, 1);
    EXPECT_EQ(dialogs.Starts, QStringList{DestinationStart()});
    EXPECT_TRUE(Same(dest / "photo one.jpg", "/DCIM/100MEDIA/photo one.jpg"));
    EXPECT_TRUE(Same(dest / "photo three.jpg", "/DCIM/100MEDIA/photo three.jpg"));
    EXPECT_FALSE(std::filesystem::exists(dest / "photo two.jpg"));
    EXPECT_EQ(world.Opener().Opened, std::vector<QUrl>{QUrl::fromLocalFile(QString::fromStdString(dest.string()))});
    EXPECT_TRUE(results.DList()->isEnabled());
    EXPECT_EQ(results.findChild<QLabel *>("Button2Label")->text(), "Restore");
    EXPECT_FALSE(results.findChild<QWidget *>("ProgressBarA")->isVisible());

    // Check off, then Check on, act on every row of the folder shown.
    results.findChild<QAction *>("UnCheckAllItem")->trigger();
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
    results.findChild<QAction *>("CheckAllItem")->trigger();
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(list->topLevelItem(i)->checkState(0), Qt::Checked);

    // The whole card from the root, into the folder chosen before.
    results.DList()->setCurrentItem(root);
    dialogs.Informed.clear();
    results.findChild<QAction *>("FolderItem")->trigger();
    Finish(results, finished);
    EXPECT_EQ(dialogs.Informed, QStringList{"Files restored: 5"});
    EXPECT_EQ(dialogs.Titles.size(), 1);
    for (const auto &[path, bytes] : files_)
      EXPECT_TRUE(Same(dest / path.substr(1), path)) << path;

    // Preview of the selected row: an extension the test world knows no
    // program for opens as text.
    ASSERT_EQ(list->topLevelItemCount(), 1);
    list->setCurrentItem(list->topLevelItem(0));
    results.Button1Click();
    Finish(results, finished);
    const auto copy = world.Context().Restore().PreviewFolder / "ae02xdc.bin";
    EXPECT_EQ(copy.parent_path().parent_path(), world.Context().Folders().TempFolder.parent_path());
    EXPECT_EQ(world.Opener().OpenedAsText, std::vector<QString>{QString::fromStdString(copy.string())});
    EXPECT_TRUE(Same(copy, "/loose notes.bin"));
    EXPECT_EQ(dialogs.Informed.size(), 1);
    // Once the desktop knows the type, the copy opens in its program.
    world.Opener().KnownTypes = {".bin"};
    results.Button1Click();
    Finish(results, finished);
    EXPECT_EQ(world.Opener().Opened.back(), QUrl::fromLocalFile(QString::fromStdString(copy.string())));
    EXPECT_EQ(world.Opener().OpenedAsText.size(), 1u);

    results.Button3Click();
    EXPECT_FALSE(results.isVisible());
  };

  QSignalSpy ended(&w, &TForm1a::FindFinished);
  w.Button1Click();
  ASSERT_TRUE(ended.wait(60000));
  EXPECT_TRUE(resultsRan);
  EXPECT_EQ(mainDialogs.Informed, QStringList{"Deleted files found: 5"});
  // Back in the main window, its drive list and summary are rebuilt.
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.DriveBox()->count(), 1);
  EXPECT_TRUE(w.InfoList()->toPlainText().endsWith("Select mode, mask and press \"Find\" button..."));
}

// A folder on the mounted card is refused and the browser asked again;
// nothing happens when the browser is cancelled. Stop is offered during a
// restore of checked rows only.
TEST_F(RestoreWindowTest, ADestinationOnTheCardIsRefusedAndOnlyARowRestoreStops) {
  const auto system = dir_ / "system";
  std::filesystem::create_directories(system / "proc/self");
  std::filesystem::create_directories(system / "sys/block/loop5/loop");
  std::filesystem::create_directories(dir_ / "card mount");
  std::ofstream(system / "proc/self/mountinfo")
      << "40 1 7:5 / " << (dir_ / "card\\040mount").string() << " rw - vfat /dev/loop5 rw\n";
  std::ofstream(system / "sys/block/loop5/loop/backing_file")
      << std::filesystem::canonical(card_.Path()).string() << '\n';
  struct StandInTables {
    explicit StandInTables(const std::filesystem::path &root) {
      UseKernelTables(KernelTables::Below(root));
    }
    ~StandInTables() { UseKernelTables({}); }
  } fakeTables(system);

  GuiWorld world({{'E', card_.Path(), {}}});
  Find(world);
  TForm1b results(world.Context(), nullptr);
  StandInResultsDialogs dialogs;
  results.SetDialogs(&dialogs);
  results.Populate();
  results.show();
  QSignalSpy finished(&results, &TForm1b::OperationFinished);

  results.Button2Click(); // cancelled: nothing at all
  EXPECT_EQ(dialogs.Titles, QStringList{"Please select folder to save restored files"});
  EXPECT_FALSE(results.ResultsBusy());
  EXPECT_EQ(results.FList()->topLevelItem(0)->checkState(0), Qt::Unchecked);

  dialogs.Titles.clear();
  dialogs.Folders = {dir_ / "card mount" / "DCIM", dir_ / "safe"};
  std::filesystem::create_directories(dir_ / "safe");
  results.Button2Click(); // nothing checked: the first row
  Finish(results, finished);
  EXPECT_EQ(dialogs.Titles.size(), 2);
  EXPECT_EQ(dialogs.Informed,
            QStringList({"The destination is on the drive being recovered: restoring there can "
                         "overwrite your files. Please choose a folder on another drive.",
                         "Files restored: 1"}));
  EXPECT_TRUE(Same(dir_ / "safe" / "loose notes.bin", "/loose notes.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "card mount" / "DCIM"));

  // The folder is not asked for again; what is there keeps its name, and
  // the restored file takes the next free one.
  std::filesystem::remove(dir_ / "safe" / "loose notes.bin");
  std::filesystem::create_directory(dir_ / "safe" / "loose notes.bin");
  results.Button2Click();
  Finish(results, finished);
  EXPECT_EQ(dialogs.Titles.size(), 2);
  EXPECT_EQ(dialogs.Informed.last(),
            "Files restored: 1\nFiles given a new name, as their name was taken: 1");
  EXPECT_TRUE(Same(dir_ / "safe" / "loose notes (1).bin", "/loose notes.bin"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "safe" / "loose notes.bin"));

  std::filesystem::remove_all(dir_ / "safe");
  std::filesystem::create_directory(dir_ / "safe");
  results.Button2Click();
  results.Button2Click(); // Stop, answered Yes before the worker's end is seen
  Finish(results, finished);
  EXPECT_EQ(dialogs.Asked, QStringList{"Cancel operation?"});
  // Stopped before the file, the window says so and leaves nothing; stopped
  // after it (the answer came as the last file was written), the file is
  // whole and counted; not stopped, the file is whole.
  const auto inSafe = orvanta::test::ListTree(dir_ / "safe");
  if (dialogs.Informed.last().contains("stopped")) {
    EXPECT_EQ(dialogs.Informed.last(), "Files restored: " + QString::number(inSafe.size()) +
                                           "\nThe restore was stopped.");
    EXPECT_LE(inSafe.size(), 1u);
  } else {
    EXPECT_EQ(dialogs.Informed.last(), "Files restored: 1");
    EXPECT_EQ(inSafe, std::vector<std::string>{"loose notes.bin"});
  }
  EXPECT_EQ(results.findChild<QLabel *>("Button2Label")->text(), "Restore");
  std::filesystem::remove_all(dir_ / "safe");
  std::filesystem::create_directory(dir_ / "safe");
  results.FolderItemClick();
  results.Button2Click();
  Finish(results, finished);
  EXPECT_EQ(dialogs.Asked.size(), 1);
  EXPECT_EQ(dialogs.Informed.last(), "Files restored: 5");
}

// Ticks are kept per found file while other folders are shown; the window
// counts them, and Restore writes the ticked files of every folder.
TEST_F(RestoreWindowTest, TicksSurviveSwitchingFoldersAndAreAllRestored) {
  GuiWorld world({{'E', card_.Path(), {}}});
  Find(world);
  TForm1b results(world.Context(), nullptr);
  StandInResultsDialogs dialogs;
  results.SetDialogs(&dialogs);
  results.Populate();
  results.show();
  QSignalSpy finished(&results, &TForm1b::OperationFinished);
  QTreeWidget *tree = results.DList();
  QTreeWidget *list = results.FList();
  QTreeWidgetItem *root = tree->topLevelItem(0);
  QTreeWidgetItem *media = Child(Child(root, "DCIM"), "100MEDIA");
  QTreeWidgetItem *docs = Child(root, "Docs");
  auto ticks = [&] {
    QStringList ticked;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->checkState(0) == Qt::Checked)
        ticked << list->topLevelItem(i)->text(0);
    return ticked;
  };
  EXPECT_EQ(results.TickedLabel()->text(), "Files ticked: 0");

  tree->setCurrentItem(media);
  list->topLevelItem(0)->setCheckState(0, Qt::Checked);
  list->topLevelItem(2)->setCheckState(0, Qt::Checked);
  tree->setCurrentItem(docs);
  EXPECT_TRUE(ticks().isEmpty());
  results.findChild<QAction *>("CheckAllItem")->trigger();
  EXPECT_EQ(results.TickedLabel()->text(), "Files ticked: 3");
  tree->setCurrentItem(root);
  tree->setCurrentItem(media);
  EXPECT_EQ(ticks(), QStringList({"photo one.jpg", "photo three.jpg"}));
  list->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(results.TickedLabel()->text(), "Files ticked: 2");

  // Restore from a folder with nothing ticked: the ticks of the others.
  const auto out = dir_ / "out";
  std::filesystem::create_directory(out);
  world.Context().Restore().DestFolder = out;
  tree->setCurrentItem(root);
  results.Button2Click();
  Finish(results, finished);
  EXPECT_EQ(dialogs.Informed, QStringList{"Files restored: 2"});
  EXPECT_EQ(orvanta::test::ListTree(out),
            std::vector<std::string>({"photo three.jpg", "shopping list.txt"}));
  EXPECT_TRUE(Same(out / "photo three.jpg", "/DCIM/100MEDIA/photo three.jpg"));
  EXPECT_TRUE(ticks().isEmpty());

  // A new Find's results start with nothing ticked.
  results.Populate();
  EXPECT_EQ(results.TickedLabel()->text(), "Files ticked: 0");
}

// A right click on a folder makes it the current folder, whichever was
// selected before, and "Restore folder" restores that one.
TEST_F(RestoreWindowTest, RestoreFolderTakesTheFolderRightClicked) {
  GuiWorld world({{'E', card_.Path(), {}}});
  Find(world);
  const struct {
    QStringList Selected, Clicked;
    std::vector<std::string> Restored;
  } cases[] = {
      {{"DCIM", "100MEDIA"}, {"Docs"}, {"Docs", "Docs/shopping list.txt"}},
      {{"Docs"}, {"DCIM"},
       {"DCIM", "DCIM/100MEDIA", "DCIM/100MEDIA/photo one.jpg", "DCIM/100MEDIA/photo three.jpg",
        "DCIM/100MEDIA/photo two.jpg"}},
  };
  for (const auto &c : cases) {
    TForm1b results(world.Context(), nullptr);
    StandInResultsDialogs dialogs;
    results.SetDialogs(&dialogs);
    results.Populate();
    results.show();
    QSignalSpy finished(&results, &TForm1b::OperationFinished);
    QTreeWidget *tree = results.DList();
    tree->expandAll();
    auto node = [&](const QStringList &path) {
      QTreeWidgetItem *item = tree->topLevelItem(0);
      for (const QString &name : path)
        item = item ? Child(item, name) : nullptr;
      return item;
    };
    tree->setCurrentItem(node(c.Selected));
    const auto out = dir_ / "out";
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    world.Context().Restore().DestFolder = out;

    // Through the window, as the system delivers it: the press brings the
    // context menu.
    const QPoint at = tree->visualItemRect(node(c.Clicked)).center();
    QTest::mouseClick(results.windowHandle(), Qt::RightButton, {}, tree->viewport()->mapTo(&results, at));
    EXPECT_EQ(tree->currentItem(), node(c.Clicked));
    ASSERT_TRUE(results.DListPopupMenu()->isVisible());
    results.findChild<QAction *>("FolderItem")->trigger();
    results.DListPopupMenu()->hide();
    Finish(results, finished);
    EXPECT_EQ(orvanta::test::ListTree(out), c.Restored);
  }
}

TEST(DesktopLauncher, KnowsFileTypesByTheirExtension) {
  const DesktopLauncher launcher;
  EXPECT_TRUE(launcher.KnowsFileType(".jpg"));
  EXPECT_TRUE(launcher.KnowsFileType(".JPG"));
  EXPECT_FALSE(launcher.KnowsFileType(".no-such-type"));
  EXPECT_FALSE(launcher.KnowsFileType("."));
}

} // namespace
} // namespace orvanta::gui::test
