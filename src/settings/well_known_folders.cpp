#include "settings/well_known_folders.h"

#include "settings/ascii_case.h"
#include "settings/posix/xdg_dirs.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

std::string WithTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  return folder;
}

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

fs::path RunningExecutablePath() {
  std::error_code ec;
  auto path = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path{} : path;
}

WellKnownFolders InitFolders() { return InitFolders(RunningExecutablePath(), ProcessEnvironment()); }

WellKnownFolders InitFolders(const fs::path &executable, const EnvironmentLookup &env) {
  WellKnownFolders folders;
  folders.ProgramFolder = executable.parent_path();
  folders.WindowsFolder = "/";
  folders.ProgramFilesFolder = "/usr/";

  // The configuration home's parent, as the application-data folder's
  // parent is the profile: everything up to and including its last "/".
  auto configHome = XdgDirs::FromEnvironment(env).ConfigHome.string();
  while (configHome.size() > 1 && configHome.back() == '/')
    configHome.pop_back();
  const auto lastSeparator = configHome.find_last_of('/');
  folders.UserProfileFolder = WithTrailingSeparator(
      lastSeparator == std::string::npos ? std::string{} : configHome.substr(0, lastSeparator + 1));

  std::string temp;
  for (const char *name : {"TEMP", "TMP", "TMPDIR"})
    if (temp.empty())
      temp = ExpandFolderVariables(folders, env(name));
  folders.TempFolder = WithTrailingSeparator(temp.empty() ? "/tmp" : temp);
  folders.RuntimeFolder = env("XDG_RUNTIME_DIR");
  return folders;
}

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
