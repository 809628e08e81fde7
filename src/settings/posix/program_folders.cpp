#include "settings/well_known_folders.h"

#include "settings/posix/xdg_dirs.h"

// The well-known folders of a Linux system: the executable through /proc,
// the profile and temporary folders from the environment.
namespace orvanta {
namespace {

namespace fs = std::filesystem;

std::string WithTrailingSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/')
    folder += '/';
  return folder;
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

} // namespace orvanta
