#pragma once

#include <string>

namespace orvanta {

class LanguageFile;

// The texts the windows show, by name. Each is a section and key of the
// language file with its English default (message_table.inc).
enum class MessageId {
#define MESSAGE(id, section, key, english) id,
#include "presentation/message_table.inc"
#undef MESSAGE
};

// Where a text lives in the language file.
struct MessageSource {
  const char *Section;
  const char *Key;
  const char *English;
};
const MessageSource &SourceOf(MessageId id);

// The text in the language of `language`, or its English default.
std::string Text(const LanguageFile &language, MessageId id);

} // namespace orvanta
