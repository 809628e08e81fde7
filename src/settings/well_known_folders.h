#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "settings/environment.h"

namespace orvanta {

// The well-known folders, found once at start by InitFolders. All but
// ProgramFolder end in a separator, so that names can be appended to them
// as text (ExpandFolderVariables relies on it). On Linux:
struct WellKnownFolders {
  // The folder of the running executable (its Languages folder and find.ini
  // lie there), without a trailing separator.
  std::filesystem::path ProgramFolder;
  // The system's folder: "/", the root of the file system.
  std::filesystem::path WindowsFolder;
  // Where programs are installed: "/usr/".
  std::filesystem::path ProgramFilesFolder;
  // The parent of the per-user configuration folder ($XDG_CONFIG_HOME, else
  // ~/.config), which is normally the home folder; "/" when no home folder
  // is known.
  std::filesystem::path UserProfileFolder;
  // TEMP, else TMP, else TMPDIR, each after ExpandFolderVariables; else /tmp.
  std::filesystem::path TempFolder;
  // The user's own folder for files of the session ($XDG_RUNTIME_DIR), as
  // it is given, without a trailing separator; empty when there is none.
  std::filesystem::path RuntimeFolder;
};

// The full path of the running executable, as the system reports it; empty
// when the system does not say.
std::filesystem::path RunningExecutablePath();

// The folders of this process: its executable and its environment.
WellKnownFolders InitFolders();

// The folders for a given executable path and environment.
WellKnownFolders InitFolders(const std::filesystem::path &executable, const EnvironmentLookup &env);

// Replaces the folder variables "%WINDIR%\", "%SYSTEMROOT%\" (WindowsFolder),
// "%PROGRAMFILES%\", "%PROGRAMFILES(X86)%\" (ProgramFilesFolder) and
// "%USERPROFILE%\" (UserProfileFolder), in that order. A variable is only
// replaced when it occurs written in upper case; then every occurrence of
// it, in any letter case, is replaced. A variable without its "\" and any
// other variable stay as they are.
std::string ExpandFolderVariables(const WellKnownFolders &folders, std::string_view text);

// Creates the folder and every missing parent. The outcome is not reported:
// callers test whether the folder exists afterwards.
void ForceFolder(const std::filesystem::path &folder);

} // namespace orvanta
