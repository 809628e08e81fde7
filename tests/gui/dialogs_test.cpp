#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

#include "gui/app/main_window.h"
#include "gui/dialogs/about_window.h"
#include "gui/dialogs/message_dialogs.h"
#include "gui_fixture.h"

namespace orvanta::gui::test {
namespace {

void Click(QWidget *dialog, const char *name) {
  QTest::mouseClick(dialog->findChild<QWidget *>(QLatin1String(name)), Qt::LeftButton);
}

TEST(Dialogs, LayoutOfTheFourDialogs) {
  GuiWorld world;
  QWidget owner;
  TForm3a information(world.Context(), &owner);
  TForm3b confirmation(world.Context(), &owner);
  TForm3c deepScan(world.Context(), &owner);
  TForm3d results(world.Context(), &owner);
  for (QWidget *d : std::initializer_list<QWidget *>{&information, &confirmation, &deepScan, &results}) {
    EXPECT_EQ(d->size(), QSize(300, 220)) << d->objectName().toStdString();
    EXPECT_TRUE(d->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(ChildRect(d, "ActionLabel").topLeft(), QPoint(16, 5));
    EXPECT_EQ(ChildRect(d, "WndImage"), QRect(0, 0, 300, 220));
  }
  EXPECT_EQ(ChildRect(&information, "InfoLabel"), QRect(20, 64, 260, 64));
  EXPECT_EQ(ChildRect(&information, "Button1A"), QRect(94, 166, 111, 28));
  EXPECT_EQ(ChildRect(&information, "Button1B"), QRect(94, 166, 111, 28));
  EXPECT_EQ(ChildRect(&information, "Button1Label"), QRect(106, 172, 90, 16));
  EXPECT_EQ(ChildRect(&confirmation, "InfoLabel"), QRect(20, 56, 260, 64));
  EXPECT_EQ(ChildRect(&confirmation, "Button1A"), QRect(34, 166, 111, 28));
  EXPECT_EQ(ChildRect(&confirmation, "Button1Label"), QRect(46, 172, 90, 16));
  EXPECT_EQ(ChildRect(&confirmation, "Button2A"), QRect(158, 166, 111, 28));
  EXPECT_EQ(ChildRect(&confirmation, "Button2Label"), QRect(170, 172, 90, 16));
  for (QWidget *hint : std::initializer_list<QWidget *>{&deepScan, &results}) {
    EXPECT_EQ(ChildRect(hint, "InfoLabel"), QRect(20, 48, 260, 64));
    EXPECT_EQ(ChildRect(hint, "Button1A"), QRect(94, 158, 111, 28));
    EXPECT_EQ(ChildRect(hint, "Button1Label"), QRect(106, 164, 90, 16));
    EXPECT_EQ(ChildRect(hint, "Check1"), QRect(52, 125, 17, 17));
    EXPECT_EQ(ChildRect(hint, "CheckLabel").topLeft(), QPoint(52 + 17 + 8, 128));
  }

  const QFont message = information.InfoLabel()->font();
  EXPECT_EQ(message.family(), "Arial");
  EXPECT_EQ(message.pixelSize(), 13);
  EXPECT_TRUE(message.bold());
  EXPECT_EQ(information.InfoLabel()->palette().color(QPalette::WindowText), QColor(0xF8, 0xFC, 0xD7));
  EXPECT_TRUE(information.InfoLabel()->wordWrap());
  const QLabel *yes = confirmation.Button1()->Caption();
  EXPECT_EQ(yes->font().family(), "Verdana");
  EXPECT_EQ(yes->font().pixelSize(), 13);
  EXPECT_EQ(yes->palette().color(QPalette::WindowText), QColor(0x62, 0x81, 0xA2));

  EXPECT_EQ(information.ActionLabel()->text(), "Information");
  EXPECT_EQ(confirmation.Button2()->Caption()->text(), "No");
  EXPECT_EQ(deepScan.InfoLabel()->text(), "Use deep scan if you have formatted flash drive");
  EXPECT_EQ(results.CheckLabel()->text(), "Do not show this window again");
}

TEST(Dialogs, GermanTexts) {
  GuiWorld world({}, 2);
  TForm3b confirmation(world.Context(), nullptr);
  TForm3c deepScan(world.Context(), nullptr);
  EXPECT_EQ(confirmation.ActionLabel()->text(), "Bestätigung");
  EXPECT_EQ(confirmation.Button1()->Caption()->text(), "Ja");
  EXPECT_EQ(confirmation.Button2()->Caption()->text(), "Nein");
  EXPECT_EQ(deepScan.ActionLabel()->text(), "Hinweis");
  EXPECT_EQ(deepScan.CheckLabel()->text(), "Dieses Fenster nicht mehr anzeigen");
}

TEST(Dialogs, ConfirmationNeverCarriesAYesOverAndEscapeIsNo) {
  GuiWorld world;
  TForm3b confirmation(world.Context(), nullptr);
  WhenModal([](QWidget *d) { Click(d, "Button1Label"); });
  EXPECT_TRUE(confirmation.Ask("Cancel operation?"));
  EXPECT_EQ(confirmation.InfoLabel()->text(), "Cancel operation?");
  WhenModal([](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); });
  EXPECT_FALSE(confirmation.Ask("Again?"));
  WhenModal([](QWidget *d) { Click(d, "Button1A"); });
  EXPECT_TRUE(confirmation.Ask("Once more?"));
  WhenModal([](QWidget *d) { Click(d, "Button2A"); });
  EXPECT_FALSE(confirmation.Ask("And No?"));
}

// Enter is OK in the Information dialog and Yes in the Confirmation dialog,
// unless a button has the focus: then Enter or Space presses that one. The
// hints take only Escape.
TEST(Dialogs, EnterIsOkOrYesAndPressesTheFocusedButton) {
  GuiWorld world;
  TForm3a information(world.Context(), nullptr);
  WhenModal([](QWidget *d) { QTest::keyClick(d, Qt::Key_Return); });
  EXPECT_EQ(information.exec(), QDialog::Accepted);
  TForm3b confirmation(world.Context(), nullptr);
  const struct {
    const char *Focus; // null: the dialog itself
    Qt::Key Key;
    bool Yes;
  } cases[] = {{nullptr, Qt::Key_Return, true}, {nullptr, Qt::Key_Enter, true}, {"Button2AFocus", Qt::Key_Return, false},
               {"Button2AFocus", Qt::Key_Space, false}, {"Button1AFocus", Qt::Key_Space, true}};
  for (const auto &c : cases) {
    WhenModal([&c](QWidget *d) {
      QWidget *target = c.Focus ? d->findChild<QWidget *>(QLatin1String(c.Focus)) : d;
      QTest::keyClick(target, c.Key);
    });
    EXPECT_EQ(confirmation.Ask("Enter?"), c.Yes) << (c.Focus ? c.Focus : "dialog") << " " << c.Key;
  }
  TForm3c hint(world.Context(), nullptr);
  WhenModal([](QWidget *d) {
    QTest::keyClick(d, Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    QTest::keyClick(d, Qt::Key_Escape);
  });
  EXPECT_EQ(hint.exec(), QDialog::Rejected);
}

// Each dialog is placed by the program, centred on its owner and on the
// screen, before it shows: also the second time, after the owner moved.
TEST(Dialogs, OpenCentredOnTheirOwnerAndOnTheScreen) {
  GuiWorld world;
  QWidget owner;
  owner.setGeometry(300, 200, 700, 518);
  owner.show();
  TForm3a information(world.Context(), &owner);
  TForm3c hint(world.Context(), &owner);
  for (const QPoint ownerAt : {QPoint(300, 200), QPoint(420, 260), QPoint(-600, -400)}) {
    owner.move(ownerAt);
    for (QDialog *d : std::initializer_list<QDialog *>{&information, &hint}) {
      WhenModal([](QWidget *shown) { QTest::keyClick(shown, Qt::Key_Escape); });
      QPoint at;
      QObject::connect(d, &QDialog::finished, d, [&at, d] { at = d->pos(); }, Qt::SingleShotConnection);
      d->exec();
      const QRect screen = owner.screen()->availableGeometry();
      const QPoint centred = owner.frameGeometry().center() - QPoint(150, 110);
      EXPECT_EQ(at, QPoint(std::clamp(centred.x(), screen.left(), screen.right() + 1 - 300),
                           std::clamp(centred.y(), screen.top(), screen.bottom() + 1 - 220)))
          << d->objectName().toStdString() << " owner at " << ownerAt.x() << "," << ownerAt.y();
    }
  }
}

TEST(Dialogs, HintFlagIsStoredOnlyByOkWithTheBoxTickedAndSurvivesARestart) {
  GuiWorld world;
  {
    TForm3c hint(world.Context(), nullptr);
    WhenModal([](QWidget *d) {
      Click(d, "CheckLabel"); // the caption ticks the box
      EXPECT_TRUE(d->findChild<QCheckBox *>("Check1")->isChecked());
      QTest::keyClick(d->findChild<QWidget *>("Check1"), Qt::Key_Escape);
    });
    hint.exec();
    EXPECT_TRUE(world.Context().Prefs().Hint1());
    EXPECT_TRUE(world.ReadSettingsAgain().Hint1());
  }
  {
    TForm3c hint(world.Context(), nullptr);
    WhenModal([](QWidget *d) { Click(d, "Button1Label"); }); // OK, box not ticked
    hint.exec();
    EXPECT_TRUE(world.ReadSettingsAgain().Hint1());
  }
  {
    TForm3c hint(world.Context(), nullptr);
    WhenModal([](QWidget *d) {
      d->findChild<QCheckBox *>("Check1")->setChecked(true);
      Click(d, "Button1A");
    });
    hint.exec();
  }
  EXPECT_FALSE(world.Context().Prefs().Hint1());
  EXPECT_FALSE(world.ReadSettingsAgain().Hint1());
  EXPECT_TRUE(world.ReadSettingsAgain().Hint2());

  TForm3d hint2(world.Context(), nullptr);
  WhenModal([](QWidget *d) {
    d->findChild<QCheckBox *>("Check1")->setChecked(true);
    Click(d, "Button1Label");
  });
  hint2.exec();
  EXPECT_FALSE(world.ReadSettingsAgain().Hint2());
}

TEST(Dialogs, HoverShowsOneButtonsHoverImageUntilTheMouseIsOverTheBackground) {
  GuiWorld world;
  TForm3b d(world.Context(), nullptr);
  d.show();
  auto enter = [](QWidget *w) {
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), w->mapToGlobal(QPointF(1, 1)));
    QApplication::sendEvent(w, &e);
  };
  enter(d.Button1()->NormalImage());
  EXPECT_TRUE(d.Button1()->HoverImage()->isVisible());
  EXPECT_FALSE(d.Button1()->NormalImage()->isVisible());
  enter(d.Button2()->Caption());
  EXPECT_TRUE(d.Button2()->Hovered());
  EXPECT_FALSE(d.Button1()->Hovered());
  QTest::mouseMove(d.WndImage(), {150, 100});
  QMouseEvent move(QEvent::MouseMove, QPointF(150, 100), d.WndImage()->mapToGlobal(QPointF(150, 100)),
                   Qt::NoButton, Qt::NoButton, {});
  QApplication::sendEvent(d.WndImage(), &move);
  EXPECT_FALSE(d.Button2()->Hovered());
  EXPECT_TRUE(d.Button2()->NormalImage()->isVisible());
  enter(d.Button1()->Caption());
  QEvent leave(QEvent::Leave); // the mouse left the window
  QApplication::sendEvent(&d, &leave);
  EXPECT_FALSE(d.Button1()->Hovered());
}

TEST(Dialogs, DragByAnyPointOfTheTopBandIncludingTheTitle) {
  GuiWorld world;
  TForm3a d(world.Context(), nullptr);
  d.move(200, 200);
  d.show();
  const QPoint start = d.pos();
  QLabel *title = d.ActionLabel();
  QTest::mousePress(title, Qt::LeftButton, {}, {5, 5});
  QMouseEvent move(QEvent::MouseMove, QPointF(35, 25), title->mapToGlobal(QPointF(35, 25)), Qt::NoButton,
                   Qt::LeftButton, {});
  QApplication::sendEvent(title, &move);
  QTest::mouseRelease(title, Qt::LeftButton, {}, {35, 25});
  EXPECT_EQ(d.pos() - start, QPoint(30, 20));
}

TEST(About, ShowsTheVersionAndHandsTheLinksToTheDesktop) {
  GuiWorld world;
  TForm2a about(world.Context(), nullptr, {"https://orvanta.test/", "help@orvanta.test"});
  EXPECT_EQ(about.size(), QSize(577, 338));
  EXPECT_EQ(about.VersionLabel()->text(), "Version: 2.2");
  EXPECT_EQ(about.VersionLabel()->geometry(), QRect(328, 96, 105, 14));
  EXPECT_EQ(about.HomePageLabel1()->text(), "Homepage:");
  EXPECT_EQ(about.SupportLabel1()->text(), "Support:");
  EXPECT_EQ(about.HomePageLabel1()->geometry().left() + about.HomePageLabel1()->width(), 358);
  EXPECT_EQ(about.SupportLabel1()->geometry().left() + about.SupportLabel1()->width(), 357);
  EXPECT_EQ(about.HomePageLabel2()->pos(), QPoint(368, 216));
  EXPECT_EQ(about.SupportLabel2()->pos(), QPoint(368, 236));
  EXPECT_EQ(ChildRect(&about, "Button1A"), QRect(230, 280, 111, 28));
  EXPECT_EQ(ChildRect(&about, "Button1Label"), QRect(242, 286, 90, 16));
  EXPECT_EQ(about.HomePageLabel2()->toolTip(), "Visit to homepage");
  EXPECT_EQ(about.SupportLabel2()->toolTip(), "Send letter to support");
  EXPECT_TRUE(about.HomePageLabel2()->font().underline());

  about.show();
  QTest::mouseClick(about.HomePageLabel2(), Qt::LeftButton);
  QTest::mouseClick(about.SupportLabel2(), Qt::LeftButton);
  ASSERT_EQ(world.Opener().Opened.size(), 2u);
  EXPECT_EQ(world.Opener().Opened[0], QUrl(about.HomePageLabel2()->text()));
  EXPECT_EQ(world.Opener().Opened[1], QUrl("mailto:" + about.SupportLabel2()->text()));
  EXPECT_TRUE(about.isVisible()); // the window stays open
  QTest::keyClick(&about, Qt::Key_Escape);
  EXPECT_FALSE(about.isVisible());

  // Addresses the build does not set are not shown, nor any caption of them.
  TForm2a bare(world.Context(), nullptr, {});
  bare.show();
  for (QLabel *label : {bare.HomePageLabel1(), bare.HomePageLabel2(), bare.SupportLabel1(),
                        bare.SupportLabel2()})
    EXPECT_FALSE(label->isVisible()) << label->objectName().toStdString();
  EXPECT_TRUE(bare.VersionLabel()->isVisible());
}

TEST(About, GermanCaptionsNeverChangeTheAddresses) {
  GuiWorld english;
  GuiWorld german({}, 2);
  TForm2a e(english.Context(), nullptr);
  TForm2a g(german.Context(), nullptr);
  EXPECT_EQ(g.HomePageLabel1()->text(), "Webseite:");
  EXPECT_EQ(g.HomePageLabel1()->geometry().left() + g.HomePageLabel1()->width(), 358);
  EXPECT_EQ(g.HomePageLabel2()->toolTip(), "Webseite besuchen");
  EXPECT_EQ(g.HomePageLabel2()->text(), e.HomePageLabel2()->text());
  EXPECT_EQ(g.SupportLabel2()->text(), e.SupportLabel2()->text());
}

TEST(About, TheAboutButtonOpensItAndOkClosesIt) {
  GuiWorld world;
  TForm1a w(world.Context());
  w.show();
  QString shown;
  WhenModal([&](QWidget *d) {
    shown = d->objectName();
    Click(d, "Button1Label");
  });
  QTest::mouseClick(w.findChild<QWidget *>("TopButton1"), Qt::LeftButton);
  EXPECT_EQ(shown, "TForm2a");
}

} // namespace
} // namespace orvanta::gui::test

#include <QImage>

#include "gui/dialogs/svg_image.h"

namespace orvanta::gui::test {
namespace {

TEST(SvgImage, DrawsAtThePixelRatioAndCutsAnArtworkWiderThanTheControl) {
  QWidget window;
  window.resize(600, 20);
  SvgImage full(Artwork("progress_fill"), &window);
  full.setGeometry(0, 0, 557, 14);
  SvgImage part(Artwork("progress_fill"), &window);
  part.SetArtworkSize({557, 14});
  part.setGeometry(0, 0, 200, 14); // 200 of 557 pixels: the left part, not squeezed
  for (const qreal ratio : {1.0, 1.5, 2.0}) {
    auto draw = [ratio](QWidget &w) {
      QImage image((QSizeF(w.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
      image.setDevicePixelRatio(ratio);
      image.fill(Qt::transparent);
      w.render(&image);
      return image;
    };
    const QImage whole = draw(full);
    const QImage left = draw(part);
    EXPECT_EQ(left.size(), (QSizeF(200, 14) * ratio).toSize());
    EXPECT_EQ(left, whole.copy(QRect(QPoint(0, 0), left.size()))) << ratio;
    EXPECT_GT(qAlpha(left.pixel(left.width() / 2, left.height() / 2)), 0) << ratio;
  }
}

} // namespace
} // namespace orvanta::gui::test
