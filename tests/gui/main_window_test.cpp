#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

#include "gui/app/main_window.h"
#include "gui/dialogs/promo_window.h"
#include "gui_fixture.h"
#include "support/fat_image.h"
#include "jobs/volume_texts.h"

namespace orvanta::gui::test {
namespace {

using orvanta::test::FatImageFile;
using orvanta::test::MkfsOptions;

QStringList LogLines(TForm1a &w) { return w.InfoList()->toPlainText().split('\n'); }

QString Caption(QWidget &w, const char *name) {
  auto *label = w.findChild<QLabel *>(QLatin1String(name));
  return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

TEST(MainWindow, ControlsSitWhereTheLayoutPutsThemWithTheirFonts) {
  GuiWorld world;
  TForm1a w(world.Context());
  EXPECT_EQ(w.size(), QSize(700, 518));
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(w.windowTitle(), "Orvanta");
  const std::pair<const char *, QRect> layout[] = {
      {"WndImage", {0, 0, 700, 518}},     {"TopButton1", {565, 11, 36, 27}},
      {"TopButton2", {603, 11, 41, 27}},  {"TopButton3", {646, 12, 41, 27}},
      {"DriveLabel", {32, 139, 80, 30}},  {"MaskLabel", {208, 139, 80, 30}},
      {"MaskEdit", {294, 144, 80, 22}},   {"ModeLabel", {382, 139, 80, 30}},
      {"Check1", {472, 147, 16, 16}},     {"CheckLabel1", {492, 139, 72, 30}},
      {"Check2", {572, 147, 16, 16}},     {"CheckLabel2", {593, 139, 72, 30}},
      {"InfoList", {28, 184, 640, 200}},  {"ProgressBarA", {80, 432, 557, 14}},
      {"ProgressBarB", {80, 432, 557, 14}}, {"Button1", {50, 458, 170, 38}},
      {"Button1Label", {60, 468, 150, 18}}, {"Button2", {266, 458, 170, 38}},
      {"Button2Label", {276, 468, 150, 18}}, {"Button3", {482, 458, 170, 38}},
      {"Button3Label", {492, 468, 150, 18}},
  };
  for (const auto &[name, rect] : layout)
    EXPECT_EQ(ChildRect(&w, name), rect) << name;
  EXPECT_EQ(ChildRect(&w, "DriveBox").topLeft(), QPoint(118, 144));
  EXPECT_EQ(ChildRect(&w, "DriveBox").width(), 80);

  auto font = [&](const char *name) { return w.findChild<QWidget *>(QLatin1String(name))->font(); };
  EXPECT_EQ(font("DriveLabel").family(), "Arial");
  EXPECT_EQ(font("DriveLabel").pixelSize(), 11);
  EXPECT_TRUE(font("DriveLabel").bold());
  EXPECT_EQ(font("Button1Label").family(), "Verdana");
  EXPECT_EQ(font("Button1Label").pixelSize(), 16);
  EXPECT_EQ(font("InfoList").pixelSize(), 13);
  EXPECT_TRUE(font("ResultLabel1").bold());
  EXPECT_TRUE(w.findChild<QRadioButton *>("Check1")->isChecked());
  EXPECT_FALSE(w.findChild<QWidget *>("ProgressBarA")->isVisibleTo(&w));

  // Keyboard order: drive, mask, the two modes, the log.
  QStringList order;
  QWidget *f = w.findChild<QWidget *>("DriveBox");
  for (int i = 0; i < 5; ++i, f = f->nextInFocusChain()) {
    while (f->focusPolicy() == Qt::NoFocus)
      f = f->nextInFocusChain();
    order << f->objectName();
  }
  EXPECT_EQ(order, QStringList({"DriveBox", "MaskEdit", "Check1", "Check2", "InfoList"}));
}

TEST(MainWindow, TextsComeFromTheLanguageFile) {
  GuiWorld english;
  TForm1a e(english.Context());
  EXPECT_EQ(Caption(e, "DriveLabel"), "Select a drive");
  EXPECT_EQ(Caption(e, "CheckLabel2"), "Deep scan");
  EXPECT_EQ(Caption(e, "ResultLabel1"), "Found:");
  EXPECT_EQ(Caption(e, "Button3Label"), "Close");
  EXPECT_EQ(e.findChild<QWidget *>("TopButton1")->toolTip(), "About");
  EXPECT_EQ(e.findChild<QLineEdit *>("MaskEdit")->text(), "*.*");

  GuiWorld german({}, 2);
  TForm1a g(german.Context());
  EXPECT_EQ(Caption(g, "DriveLabel"), "Laufwerk wählen");
  EXPECT_EQ(Caption(g, "MaskLabel"), "Datei oder Maske");
  EXPECT_EQ(Caption(g, "CheckLabel1"), "Schnellsuche");
  EXPECT_EQ(Caption(g, "ResultLabel1"), "Gefunden:");
  EXPECT_EQ(Caption(g, "Button1Label"), "Suchen");
  EXPECT_EQ(Caption(g, "Button2Label"), "Bereinigen");
  EXPECT_EQ(g.findChild<QWidget *>("TopButton2")->toolTip(), "Minimieren");
  EXPECT_EQ(g.findChild<QWidget *>("TopButton3")->toolTip(), "Schließen");
}

// Two FAT cards on E: and G:, a drive that is no FAT volume on H: and one
// whose image has gone on K:.
class DriveListTest : public ::testing::Test {
protected:
  DriveListTest()
      : dir_(), fat32_(dir_ / "card32.img", MkfsOptions{32, 64 * 1024}),
        fat16_(dir_ / "card16.img", MkfsOptions{16, 16 * 1024}) {
    std::ofstream(dir_ / "blank.img", std::ios::binary) << std::string(1 << 20, '\0');
  }
  std::vector<DriveEntry> Drives() {
    return {{'G', fat16_.Path(), {}}, {'E', fat32_.Path(), {}}, {'H', dir_ / "blank.img", {}},
            {'K', dir_ / "gone.img", {}}};
  }
  orvanta::test::TempDir dir_;
  FatImageFile fat32_;
  FatImageFile fat16_;
};

TEST_F(DriveListTest, ListsDrivesInLetterOrderAndSummarisesTheFirstAtOnce) {
  GuiWorld world(Drives());
  TForm1a w(world.Context());
  w.show();
  QComboBox *box = w.DriveBox();
  ASSERT_EQ(box->count(), 4);
  EXPECT_EQ(box->itemText(0), "E:  card32.img \u00B7 67.1 MB");
  EXPECT_EQ(box->itemText(1), "G:  card16.img \u00B7 16.8 MB");
  EXPECT_EQ(box->itemText(2).left(2), "H:");
  EXPECT_EQ(box->itemText(3), "K:  gone.img");
  EXPECT_EQ(box->currentIndex(), 0);

  Volume probe(world.Context().Drives());
  ASSERT_EQ(OpenVolume(probe, "E:", false), VolumeCheck::Ok);
  QStringList expected;
  for (const auto &line : DriveSummaryLines(probe.Geometry()))
    expected << QString::fromStdString(line);
  expected << "" << "Select mode, mask and press \"Find\" button...";
  EXPECT_EQ(LogLines(w), expected);
  EXPECT_TRUE(expected.front().startsWith("FAT32, "));

  box->setCurrentIndex(1);
  EXPECT_TRUE(LogLines(w).front().startsWith("FAT16, "));
  EXPECT_EQ(world.Context().State().Vol.Geometry().DrivePath, "G:");

  box->setCurrentIndex(2); // not a FAT volume: said at once, not only after Find
  EXPECT_EQ(LogLines(w), QStringList{"The software supports only FAT file system!"});
  box->setCurrentIndex(3);
  EXPECT_EQ(LogLines(w), QStringList{"Drive not found!"});
}

TEST_F(DriveListTest, EveryDriveChangeResetsTheCounterAndANewShowSelectsTheFirstDrive) {
  GuiWorld world(Drives());
  TForm1a w(world.Context());
  w.show();
  w.SetCounter(4711);
  w.DriveBox()->setCurrentIndex(1);
  EXPECT_EQ(w.ResultLabel2()->text(), "0");
  w.hide();
  w.show();
  EXPECT_EQ(w.DriveBox()->currentIndex(), 0);
}

TEST(MainWindow, WithoutDrivesTheLogAsksForOne) {
  GuiWorld german({}, 2);
  TForm1a w(german.Context());
  w.show();
  EXPECT_EQ(w.DriveBox()->count(), 0);
  EXPECT_EQ(LogLines(w), QStringList{"Bitte schließen Sie ein externes Flash-Laufwerk an."});
}

TEST(MainWindow, TheCaptionEndsTenPixelsLeftOfTheNumberWhoseRightEdgeStays) {
  for (const std::uint32_t language : {1u, 2u}) {
    GuiWorld world({}, language);
    TForm1a w(world.Context());
    for (const std::int64_t count : std::initializer_list<std::int64_t>{0, 7, 12345, 9876543210}) {
      w.SetCounter(count);
      const QRect number = w.ResultLabel2()->geometry();
      const QRect caption = w.ResultLabel1()->geometry();
      EXPECT_EQ(number.x() + number.width(), TForm1a::kCounterRight);
      EXPECT_EQ(caption.x(), number.x() - caption.width() - 10);
      EXPECT_GE(caption.width(), w.ResultLabel1()->fontMetrics().horizontalAdvance(w.ResultLabel1()->text()));
      EXPECT_EQ(number.y(), 396);
    }
  }
}

TEST(MainWindow, TheRestoreRequestBringsTheMinimisedWindowBack) {
  GuiWorld world;
  TForm1a w(world.Context());
  w.show();
  w.TopButton2Click();
  ASSERT_TRUE(w.windowState() & Qt::WindowMinimized);
  w.RestoreRequest();
  EXPECT_FALSE(w.windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(w.isVisible());
}

// The preview copies and their private folder go; names in the shared
// temporary folder are not the program's.
TEST(MainWindow, ClosingRemovesPreviewCopiesOnly) {
  GuiWorld world;
  world.Context().ClearFlag(SettingsFlag::Promo1);
  world.Context().ClearFlag(SettingsFlag::Promo2);
  const auto temp = world.Context().Folders().TempFolder;
  const auto previews = temp / "orvanta-preview";
  std::filesystem::create_directories(previews);
  world.Context().Restore().PreviewFolder = previews;
  for (const char *name : {"ae02xdc.jpg", "AE02XDC.TXT", "ae02xdc"})
    std::ofstream(previews / name) << "x";
  for (const char *name : {"ae02xdc.jpg", "keep.jpg"})
    std::ofstream(temp / name) << "x";
  TForm1a w(world.Context());
  w.show();
  w.Button3Click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(std::filesystem::exists(previews));
  EXPECT_TRUE(std::filesystem::exists(temp / "ae02xdc.jpg"));
  EXPECT_TRUE(std::filesystem::exists(temp / "keep.jpg"));
}

TEST(MainWindow, CloseShowsTheFirstTipsWindowWhoseFlagIsSetAndTheTickedBoxStopsIt) {
  GuiWorld world;
  TForm1a w(world.Context());
  w.show();
  QString shown;
  WhenModal([&](QWidget *modal) {
    shown = modal->objectName();
    EXPECT_FALSE(w.isVisible()); // the main window is hidden meanwhile
    modal->findChild<QCheckBox *>("Check1")->setChecked(true);
    QTest::mouseClick(modal->findChild<QLabel *>("Button1Label"), Qt::LeftButton);
  });
  w.Button3Click();
  EXPECT_EQ(shown, "PromoWindow1");
  EXPECT_FALSE(world.ReadSettingsAgain().Promo1());
  EXPECT_TRUE(world.ReadSettingsAgain().Promo2());

  w.show();
  WhenModal([&](QWidget *modal) {
    shown = modal->objectName();
    QTest::keyClick(modal, Qt::Key_Escape); // box not ticked: shown again next time
  });
  w.Button3Click();
  EXPECT_EQ(shown, "PromoWindow2");
  EXPECT_TRUE(world.ReadSettingsAgain().Promo2());
}

TEST(MainWindow, DragsByTheTopBandLeftOfTheTitleButtons) {
  GuiWorld world;
  TForm1a w(world.Context());
  w.move(100, 100);
  w.show();
  QWidget *background = w.findChild<QWidget *>("WndImage");
  auto drag = [&](QPoint from, QPoint by) {
    const QPoint start = w.pos();
    QTest::mousePress(background, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(from + by), background->mapToGlobal(QPointF(from + by)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(background, &move);
    QTest::mouseRelease(background, Qt::LeftButton, {}, from + by);
    return w.pos() - start;
  };
  EXPECT_EQ(drag({300, 30}, {40, 25}), QPoint(40, 25));
  EXPECT_EQ(drag({300, 70}, {40, 25}), QPoint(0, 0));  // below the band
  EXPECT_EQ(drag({570 - 5, 5}, {10, 10}), QPoint(0, 0)); // over the title buttons
}

} // namespace
} // namespace orvanta::gui::test

#include <QImage>

#include "gui/app/screenshots.h"

namespace orvanta::gui::test {
namespace {

TEST_F(DriveListTest, ScreenshotsDrawEveryWindowAtPixelRatiosOneAndTwo) {
  GuiWorld world({{'E', fat32_.Path(), {}}});
  const QString folder = QString::fromStdString((world.Dir() / "pictures").string());
  const QStringList files = WriteScreenshots(world.Context(), folder);
  const std::pair<const char *, QSize> windows[] = {
      {"main_window", {700, 518}}, {"main_window_find", {700, 518}}, {"main_window_wipe", {700, 518}},
      {"information", {300, 220}}, {"confirmation", {300, 220}}, {"confirmation_wipe", {300, 220}},
      {"hint_deep_scan", {300, 220}}, {"hint_results", {300, 220}}, {"about", {577, 338}},
      {"tips_cli", {420, 300}},    {"tips_card", {420, 300}},
  };
  EXPECT_EQ(files.size(), 2 * int(std::size(windows)));
  for (const auto &[name, size] : windows) {
    EXPECT_EQ(QImage(folder + "/" + name + ".png").size(), size) << name;
    EXPECT_EQ(QImage(folder + "/" + name + "@2x.png").size(), size * 2) << name;
  }
  // Drawing changed no setting.
  EXPECT_TRUE(world.ReadSettingsAgain().Hint1());
  EXPECT_TRUE(world.ReadSettingsAgain().Promo1());
}

} // namespace
} // namespace orvanta::gui::test
