#include "presentation/messages.h"

#include "settings/language_file.h"

namespace orvanta {
namespace {

constexpr MessageSource kMessages[] = {
#define MESSAGE(id, section, key, english) {section, key, english},
#include "presentation/message_table.inc"
#undef MESSAGE
};

} // namespace

const MessageSource &SourceOf(MessageId id) { return kMessages[static_cast<int>(id)]; }

std::string Text(const LanguageFile &language, MessageId id) {
  const MessageSource &source = SourceOf(id);
  return language.Text(source.Section, source.Key, source.English);
}

} // namespace orvanta
