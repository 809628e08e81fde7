#include "settings/language_file.h"

#include <fstream>
#include <optional>

#include "settings/ascii_case.h"

namespace orvanta {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// The section name of a "[Name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
  if (line.empty() || line.front() != '[')
    return std::nullopt;
  const std::size_t close = line.find(']');
  if (close == std::string_view::npos)
    return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// At most `limit` characters of UTF-8 text, never cutting one in two.
std::string_view Truncated(std::string_view text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
    if (startsCharacter && ++characters > limit)
      return text.substr(0, i);
  }
  return text;
}

std::string ValueText(std::string_view raw) {
  std::string_view value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return std::string(Truncated(value, LanguageFile::kMaxValueLength));
}

} // namespace

std::string LanguageFile::Text(std::string_view section, std::string_view key,
                               std::string_view defaultText) const {
  if (file_.empty())
    return std::string(defaultText);
  std::ifstream in(file_, std::ios::binary);
  if (!in)
    return std::string(defaultText);

  enum class Place { Before, Inside, After } place = Place::Before;
  std::string line;
  bool firstLine = true;
  while (place != Place::After && std::getline(in, line)) {
    std::string_view text = line;
    if (firstLine && text.starts_with("\xEF\xBB\xBF"))
      text.remove_prefix(3); // a byte-order mark
    firstLine = false;
    text = Trim(text);

    if (const auto name = SectionName(text)) {
      if (place == Place::Inside)
        place = Place::After; // only the first section of the name counts
      else if (SameIgnoringCase(*name, section))
        place = Place::Inside;
      continue;
    }
    if (place != Place::Inside)
      continue;
    const std::size_t eq = text.find('=');
    if (eq != std::string_view::npos && SameIgnoringCase(Trim(text.substr(0, eq)), key))
      return ValueText(text.substr(eq + 1));
  }
  return std::string(defaultText);
}

std::string_view SelectLanguageFile(std::uint32_t language) {
  switch (language) {
  case 2: return "German.lng";
  case 3: return "French.lng";
  default: return "English.lng";
  }
}

LanguageFile OpenLanguageFile(const std::filesystem::path &programFolder, std::uint32_t language) {
  return LanguageFile(programFolder / "Languages" / SelectLanguageFile(language));
}

} // namespace orvanta
