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
};

constexpr Message kDialogMessages[] = {
    {"Errors", "Message1", ""},         {"Errors", "Message2", ""},
    {"Errors", "Message3", ""},         {"Errors", "Message5", " 4"},
    {"Errors", "Message6", ""},         {"Errors", "Message8", ""},
    {"Restore", "Message1", " 2147483647"}, {"Restore", "Message2", ""},
    {"Restore", "Message3", ""},        {"Restore", "Message4", " 2147483647"},
    {"Restore", "Message5", " 2147483647"}, {"Wipe", "Message1", ""},
    {"Wipe", "Message3", " 2147483647"}, {"Wipe", "Message4", " 100%"},
    {"Wipe", "Message5", " 2147483647"}, {"Drive", "Message4", ""},
    {"Drive", "Message5", ""},          {"Drive", "Hint1", ""},
    {"Drive", "Hint2", ""},
};

TEST(MessageFit, EveryDialogMessageOfEveryLanguageFitsTheLabel) {
  const QFontMetrics metrics(Arial(13, true));
  const QRect label(QPoint(0, 0), kInfoLabelSize);
  for (const char *file : {"English.lng", "German.lng", "French.lng"}) {
    const LanguageFile language(std::filesystem::path(ORVANTA_PROGRAM_FOLDER) / "Languages" / file);
    for (const Message &m : kDialogMessages) {
      const QString body = QString::fromStdString(language.Text(m.Section, m.Key, ""));
      EXPECT_FALSE(body.isEmpty()) << file << " lacks [" << m.Section << "] " << m.Key;
      const QString text = body + m.Appended;
      const QRect needed = metrics.boundingRect(label, Qt::AlignCenter | Qt::TextWordWrap, text);
      EXPECT_TRUE(label.contains(needed))
          << file << " [" << m.Section << "] " << m.Key << " needs " << needed.width() << " x "
          << needed.height() << ": " << text.toStdString();
    }
  }
}

} // namespace
} // namespace orvanta::gui::test
