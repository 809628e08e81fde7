#include "settings/well_known_folders.h"

#include "settings/ascii_case.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

// Every occurrence of `token` in `text`, compared without regard to case,
// replaced by `replacement`; replaced text is not searched again.
std::string ReplaceIgnoringCase(std::string_view text, std::string_view token,
                                std::string_view replacement) {
  const std::string upper = AsciiUpper(text);
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = upper.find(token); at != std::string::npos; at = upper.find(token, from)) {
    out.append(text.substr(from, at - from));
    out.append(replacement);
    from = at + token.size();
  }
  out.append(text.substr(from));
  return out;
}

} // namespace

std::string ExpandFolderVariables(const WellKnownFolders &folders, std::string_view text) {
  const std::pair<std::string_view, const fs::path *> variables[] = {
      {"%WINDIR%\\", &folders.WindowsFolder},
      {"%SYSTEMROOT%\\", &folders.WindowsFolder},
      {"%PROGRAMFILES%\\", &folders.ProgramFilesFolder},
      {"%PROGRAMFILES(X86)%\\", &folders.ProgramFilesFolder},
      {"%USERPROFILE%\\", &folders.UserProfileFolder},
  };
  std::string result(text);
  for (const auto &[token, folder] : variables)
    if (result.find(token) != std::string::npos) // only a token written in upper case counts
      result = ReplaceIgnoringCase(result, token, folder->string());
  return result;
}

void ForceFolder(const fs::path &folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
}

} // namespace orvanta
