#include "settings/language_file.h"

namespace orvanta {

std::string LanguageFile::Text(std::string_view section, std::string_view key,
                               std::string_view defaultText) const {
  (void)section;
  (void)key;
  return std::string(defaultText);
}

} // namespace orvanta
