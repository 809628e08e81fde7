#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvanta {

// The open language file: every visible text is looked up by section and key
// at the moment of use, with the English default given by the caller. A
// missing file, section or key yields the default.
class LanguageFile {
public:
  // No file: every lookup gives its default.
  LanguageFile() = default;
  explicit LanguageFile(std::filesystem::path file) : file_(std::move(file)) {}

  std::string Text(std::string_view section, std::string_view key,
                   std::string_view defaultText) const;

  const std::filesystem::path &Path() const { return file_; }

private:
  std::filesystem::path file_;
};

} // namespace orvanta
