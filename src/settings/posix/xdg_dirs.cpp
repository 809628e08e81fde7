#include "settings/posix/xdg_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include "settings/ascii_case.h"

namespace orvanta {
namespace {

std::filesystem::path HomeFolder(const EnvironmentLookup &env) {
  std::string home = env("HOME");
  if (!home.empty())
    return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
  passwd entry{};
  passwd *found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    return found->pw_dir;
  return {};
}

std::vector<std::string> Split(const std::string &text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    if (end > start)
      parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::filesystem::path HomeDir(const std::string &value, const std::filesystem::path &home,
                              const char *fallback) {
  if (!value.empty() && value.front() == '/')
    return value;
  return home.empty() ? std::filesystem::path{} : home / fallback;
}

std::vector<std::filesystem::path> DirList(const std::string &value, const char *fallback) {
  std::vector<std::filesystem::path> dirs;
  for (const auto &part : Split(value, ':'))
    if (part.front() == '/')
      dirs.emplace_back(part);
  if (dirs.empty())
    for (const auto &part : Split(fallback, ':'))
      dirs.emplace_back(part);
  return dirs;
}

} // namespace

XdgDirs XdgDirs::FromEnvironment(const EnvironmentLookup &env) {
  const auto home = HomeFolder(env);
  XdgDirs dirs;
  dirs.ConfigHome = HomeDir(env("XDG_CONFIG_HOME"), home, ".config");
  dirs.ConfigDirs = DirList(env("XDG_CONFIG_DIRS"), "/etc/xdg");
  dirs.DataHome = HomeDir(env("XDG_DATA_HOME"), home, ".local/share");
  dirs.DataDirs = DirList(env("XDG_DATA_DIRS"), "/usr/local/share:/usr/share");
  for (const auto &desktop : Split(env("XDG_CURRENT_DESKTOP"), ':'))
    dirs.Desktops.push_back(AsciiLower(desktop));
  dirs.SearchPath = env("PATH");
  return dirs;
}

std::vector<std::filesystem::path> XdgDirs::AllDataDirs() const {
  std::vector<std::filesystem::path> all;
  if (!DataHome.empty())
    all.push_back(DataHome);
  all.insert(all.end(), DataDirs.begin(), DataDirs.end());
  return all;
}

std::vector<std::filesystem::path> XdgDirs::AllConfigDirs() const {
  std::vector<std::filesystem::path> all;
  if (!ConfigHome.empty())
    all.push_back(ConfigHome);
  all.insert(all.end(), ConfigDirs.begin(), ConfigDirs.end());
  return all;
}

} // namespace orvanta
