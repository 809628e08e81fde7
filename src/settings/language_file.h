#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvanta {

// The open language file: every visible text is looked up by section and key
// at the moment of use, with the English default given by the caller. A
// missing file, section or key yields the default.
//
// The file is UTF-8 text: "[Section]" lines open sections, "Key=Value" lines
// are entries, other lines are ignored. Section and key names are found in
// any letter case; the first section of a name and, within it, the first
// entry of a key count. The value is the text after the first "=" without
// the blanks around it and without one pair of enclosing quotes (single or
// double), at most 2047 characters; a value that is present but empty is
// the empty text. Each lookup reads the file as it is at that moment.
class LanguageFile {
public:
  static constexpr std::size_t kMaxValueLength = 2047;

  // No file: every lookup gives its default.
  LanguageFile() = default;
  explicit LanguageFile(std::filesystem::path file) : file_(std::move(file)) {}

  std::string Text(std::string_view section, std::string_view key,
                   std::string_view defaultText) const;

  const std::filesystem::path &Path() const { return file_; }

private:
  std::filesystem::path file_;
};

// The language file's name for the "Language" setting: 1 "English.lng",
// 2 "German.lng", 3 "French.lng", any other "English.lng".
std::string_view SelectLanguageFile(std::uint32_t language);

// The language file the program uses: ProgramFolder/Languages/ and the file
// of the "Language" setting. Nothing is opened or checked here; a missing
// file only means that every lookup gives its default.
LanguageFile OpenLanguageFile(const std::filesystem::path &programFolder, std::uint32_t language);

} // namespace orvanta
