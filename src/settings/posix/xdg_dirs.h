#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "settings/environment.h"

namespace orvanta {

// The folders of the freedesktop.org base-directory rules, most important
// first, and what else the desktop lookups need from the environment.
struct XdgDirs {
  std::filesystem::path ConfigHome; // empty when no home folder is known
  std::vector<std::filesystem::path> ConfigDirs;
  std::filesystem::path DataHome; // empty when no home folder is known
  std::vector<std::filesystem::path> DataDirs;
  std::vector<std::string> Desktops; // XDG_CURRENT_DESKTOP, lower-case
  std::string SearchPath;            // PATH

  // XDG_CONFIG_HOME (else ~/.config), XDG_CONFIG_DIRS (else /etc/xdg),
  // XDG_DATA_HOME (else ~/.local/share), XDG_DATA_DIRS (else
  // /usr/local/share:/usr/share). Relative paths are ignored, as the rules
  // ask. The home folder is HOME, else the password database's entry.
  static XdgDirs FromEnvironment(const EnvironmentLookup &env);

  // Data folders in search order: DataHome, then DataDirs.
  std::vector<std::filesystem::path> AllDataDirs() const;
  // Configuration folders in search order: ConfigHome, then ConfigDirs.
  std::vector<std::filesystem::path> AllConfigDirs() const;
};

} // namespace orvanta
