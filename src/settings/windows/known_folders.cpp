#include "settings/well_known_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/windows/wide_text.h"

// The well-known folders of a Windows system: the executable's own path, the
// Windows folder, and the known folders of the shell.
namespace orvanta {
namespace {

namespace fs = std::filesystem;

std::wstring WithTrailingSeparator(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\')
    folder += L'\\';
  return folder;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) && path)
    folder = path;
  ::CoTaskMemFree(path);
  return folder;
}

} // namespace

fs::path RunningExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0)
      return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) // the longest path the system has
      return {};
    path.resize(path.size() * 2);
  }
}

WellKnownFolders InitFolders() { return InitFolders(RunningExecutablePath(), ProcessEnvironment()); }

WellKnownFolders InitFolders(const fs::path &executable, const EnvironmentLookup &env) {
  WellKnownFolders folders;
  folders.ProgramFolder = executable.parent_path();

  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
  folders.WindowsFolder = WithTrailingSeparator(length > 0 && length <= MAX_PATH ? windows : L"");
  folders.ProgramFilesFolder = WithTrailingSeparator(KnownFolder(FOLDERID_ProgramFiles));
  // The parent of the roaming application-data folder: up to and including
  // its last "\".
  std::wstring appData = KnownFolder(FOLDERID_RoamingAppData);
  const auto lastSeparator = appData.find_last_of(L'\\');
  folders.UserProfileFolder = WithTrailingSeparator(
      lastSeparator == std::wstring::npos ? std::wstring{} : appData.substr(0, lastSeparator + 1));

  std::string temp;
  for (const char *name : {"TEMP", "TMP"})
    if (temp.empty())
      temp = ExpandFolderVariables(folders, env(name));
  if (!temp.empty()) {
    folders.TempFolder = WithTrailingSeparator(Widen(temp));
  } else {
    // Without either variable the root of the current drive would be taken
    // for the temporary folder; the system's own choice is better.
    wchar_t system[MAX_PATH + 2] = {};
    const DWORD got = ::GetTempPathW(MAX_PATH + 2, system);
    folders.TempFolder = WithTrailingSeparator(got > 0 && got <= MAX_PATH + 1 ? system : L"");
  }
  return folders;
}

} // namespace orvanta
