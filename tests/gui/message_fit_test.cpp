// Every message that the dialogs show, in every shipped language, fits the
// dialogs' message label: a clipped error would hide the error.
#include <QFontMetrics>
#include <gtest/gtest.h>

#include "gui/dialogs/fonts.h"
#include "gui/dialogs/message_dialogs.h"
#include "settings/language_file.h"

namespace orvanta::gui::test {
namespace {

struct Message {
  const char *Section;
  const char *Key;
  const char *Appended; // what the program puts after the text
  const char *NextLineKey = nullptr; // a second line from the same section
};

constexpr Message kDialogMessages[] = {
    {"Errors", "Message1", ""},         {"Errors", "Message2", ""},
    {"Errors", "Message3", ""},         {"Errors", "Message5", " 4"},
    {"Errors", "Message6", ""},         {"Errors", "Message7", ""},
    {"Errors", "Message8", ""},
    {"Restore", "Message1", " 2147483647"}, {"Restore", "Message2", ""},
    {"Restore", "Message3", ""},        {"Restore", "Message4", " 2147483647"},
    {"Restore", "Message5", " 2147483647"}, {"Wipe", "Message1", ""},
    {"Wipe", "Message3", " 2147483647"}, {"Wipe", "Message4", " 100%"},
    {"Wipe", "Message5", " 2147483647"}, {"Drive", "Message4", ""},
    {"Drive", "Message5", ""},          {"Drive", "Hint1", ""},
    {"Drive", "Hint2", ""},             {"Wipe", "Message1", "", "Message6"},
    {"Wipe", "Message3", " 2147483647", "Message7"},
    {"Wipe", "Check", "", "Check1"}, {"Wipe", "Check", "", "Check2"}, {"Wipe", "Check", "", "Check3"},
    {"Wipe", "Check", "", "Check4"}, {"Wipe", "Check", "", "Check5"}, {"Wipe", "Check", "", "Check6"},
    {"Wipe", "Check", "", "Check7"}, {"Wipe", "Check", "", "Check8"}, {"Wipe", "Check", "", "Check9"},
    {"Wipe", "Check", "", "Check10"}, {"Wipe", "Check", "", "Check11"},
};

TEST(MessageFit, EveryDialogMessageOfEveryLanguageFitsTheLabel) {
  const QFontMetrics metrics(Arial(13, true));
  const QRect label(QPoint(0, 0), kInfoLabelSize);
  for (const char *file : {"English.lng", "German.lng", "French.lng"}) {
    const LanguageFile language(std::filesystem::path(ORVANTA_PROGRAM_FOLDER) / "Languages" / file);
    for (const Message &m : kDialogMessages) {
      const QString body = QString::fromStdString(language.Text(m.Section, m.Key, ""));
      EXPECT_FALSE(body.isEmpty()) << file << " lacks [" << m.Section << "] " << m.Key;
      QString text = body + m.Appended;
      if (m.NextLineKey)
        text += "\n" + QString::fromStdString(language.Text(m.Section, m.NextLineKey, ""));
      const QRect needed = metrics.boundingRect(label, Qt::AlignCenter | Qt::TextWordWrap, text);
      EXPECT_TRUE(label.contains(needed))
          << file << " [" << m.Section << "] " << m.Key << " needs " << needed.width() << " x "
          << needed.height() << ": " << text.toStdString();
    }
  }
}

} // namespace
} // namespace orvanta::gui::test

// The captions of the windows, in every shipped language, fit their labels.
#include <QLabel>

#include "gui/app/main_window.h"
#include "gui/dialogs/about_window.h"
#include "gui/dialogs/promo_window.h"
#include "gui_fixture.h"

namespace orvanta::gui::test {
namespace {

void ExpectFits(const QLabel *label, std::uint32_t language) {
  const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
  QRect needed;
  if (label->textFormat() == Qt::RichText)
    needed = QRect(0, 0, label->width(), label->heightForWidth(label->width()));
  else
    needed = label->fontMetrics().boundingRect(QRect(QPoint(0, 0), label->size()), flags, label->text());
  // A one-line caption only needs the width: its label is as high as the
  // glyphs, a little less than the font's line spacing.
  const bool fits = needed.width() <= label->width() &&
                    (!label->wordWrap() && label->textFormat() != Qt::RichText
                         ? true
                         : needed.height() <= label->height());
  EXPECT_TRUE(fits)
      << "language " << language << ": " << label->objectName().toStdString() << " \""
      << label->text().toStdString() << "\" needs " << needed.width() << " x " << needed.height()
      << " of " << label->width() << " x " << label->height();
}

TEST(MessageFit, EveryCaptionOfEveryLanguageFitsItsLabel) {
  for (const std::uint32_t language : {1u, 2u, 3u}) {
    GuiWorld world({}, language);
    TForm1a main(world.Context());
    for (const char *name : {"DriveLabel", "MaskLabel", "ModeLabel", "CheckLabel1", "CheckLabel2",
                             "Button1Label", "Button2Label", "Button3Label"})
      ExpectFits(main.findChild<QLabel *>(QLatin1String(name)), language);
    TForm3b confirmation(world.Context(), &main);
    TForm3c hint(world.Context(), &main);
    TForm2a about(world.Context(), &main);
    PromoWindow tips1(world.Context(), &main, SettingsFlag::Promo1);
    PromoWindow tips2(world.Context(), &main, SettingsFlag::Promo2);
    for (QWidget *window : std::initializer_list<QWidget *>{&confirmation, &hint, &about, &tips1, &tips2})
      for (const QLabel *label : window->findChildren<QLabel *>())
        if (label->objectName().endsWith("Label"))
          ExpectFits(label, language);
    // The hint's box caption stays inside the dialog.
    EXPECT_LE(hint.CheckLabel()->geometry().right(), 300 - 8);
    EXPECT_LE(tips1.CheckLabel()->geometry().right(), 420 - 8);
  }
}

// The longest question, a free-space wipe of a card the desktop mounted,
// grows the Confirmation dialog's message label within the dark band below
// the title, and fits there; a short one keeps the 260 × 64 label.
TEST(MessageFit, TheWipeQuestionFitsTheConfirmationDialog) {
  for (const std::uint32_t language : {1u, 2u, 3u}) {
    GuiWorld world({}, language);
    TForm1a main(world.Context());
    TForm3b confirmation(world.Context(), &main);
    const auto text = [&](const char *key) { return world.Context().Text("Wipe", key, ""); };
    for (const char *mode : {"Message8", "Message9"}) {
      confirmation.SetMessage(text("Message1") + "\nE: SANDISK32GB \u00B7 30436 Mb \u00B7 mmcblk0p1\n" +
                              text(mode) + "\n" + text("Message6"));
      const QLabel *label = confirmation.InfoLabel();
      ExpectFits(label, language);
      EXPECT_GE(label->y(), 32);
      EXPECT_LE(label->y() + label->height(), 130);
    }
    confirmation.SetMessage(world.Context().Text("Drive", "Message4", ""));
    EXPECT_EQ(confirmation.InfoLabel()->geometry(), QRect(20, 56, 260, 64));
  }
}

} // namespace
} // namespace orvanta::gui::test
