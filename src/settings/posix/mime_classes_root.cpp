#include "settings/posix/mime_classes_root.h"

#include <charconv>
#include <fstream>
#include <vector>

#include "settings/ascii_case.h"
#include "settings/posix/default_application.h"
#include "settings/posix/registry_hive.h"

namespace orvanta {
namespace {

struct Glob {
  int Weight = 0;
  std::string Type;
  std::string Extension;  // the part after "*."
  bool CaseSensitive = false;
};

// The simple "*.ext" globs of one globs2 file ("weight:type:glob[:flags]").
std::vector<Glob> ReadGlobs(const std::filesystem::path &file) {
  std::vector<Glob> globs;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line.front() == '#')
      continue;
    const auto first = line.find(':');
    const auto second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos)
      continue;
    const auto third = line.find(':', second + 1);
    Glob glob;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + first, glob.Weight);
    if (ec != std::errc{} || end != line.data() + first)
      continue;
    glob.Type = line.substr(first + 1, second - first - 1);
    const std::string pattern =
        line.substr(second + 1, third == std::string::npos ? third : third - second - 1);
    if (third != std::string::npos) {
      const std::string flags = "," + line.substr(third + 1) + ",";
      glob.CaseSensitive = flags.find(",cs,") != std::string::npos;
    }
    if (!pattern.starts_with("*.") || pattern.size() < 3 ||
        pattern.find_first_of("*?[", 2) != std::string::npos || glob.Type == "__NOGLOBS__")
      continue;
    glob.Extension = pattern.substr(2);
    globs.push_back(std::move(glob));
  }
  return globs;
}

std::filesystem::path GlobsFile(const std::filesystem::path &dataDir) {
  return dataDir / "mime" / "globs2";
}

} // namespace

std::optional<std::string> MimeClassesRoot::TypeOfExtension(std::string_view extension) const {
  if (extension.empty())
    return std::nullopt;
  for (const auto &dir : dirs_.AllDataDirs()) {
    const auto globs = ReadGlobs(GlobsFile(dir));
    const Glob *best = nullptr;
    // A glob that is case-sensitive counts when the case matches; failing
    // any other match, it counts in any case, as the volume's names are
    // upper-case and the system compares extensions without regard to case.
    for (int pass = 0; pass < 2 && !best; ++pass)
      for (const auto &glob : globs) {
        const bool match = glob.CaseSensitive && pass == 0 ? glob.Extension == extension
                                                           : SameIgnoringCase(glob.Extension, extension);
        if (match && (!best || glob.Weight > best->Weight))
          best = &glob;
      }
    if (best)
      return best->Type;
  }
  return std::nullopt;
}

bool MimeClassesRoot::IsKnownType(std::string_view mimeType) const {
  if (mimeType.find('/') == std::string_view::npos)
    return false;
  for (const auto &dir : dirs_.AllDataDirs()) {
    std::ifstream in(dir / "mime" / "types");
    std::string line;
    while (std::getline(in, line))
      if (SameIgnoringCase(line, mimeType))
        return true;
    for (const auto &glob : ReadGlobs(GlobsFile(dir)))
      if (SameIgnoringCase(glob.Type, mimeType))
        return true;
  }
  return false;
}

MimeClassesRoot::ResolvedKey MimeClassesRoot::Resolve(std::string_view keyPath) const {
  const auto names = RegistryHive::SplitKeyPath(keyPath);
  if (!names)
    return {};
  if (names->empty())
    return {KeyKind::Root, {}};
  const std::string &first = names->front();
  if (first.front() == '.') {
    if (names->size() != 1)
      return {};
    if (auto type = TypeOfExtension(std::string_view(first).substr(1)))
      return {KeyKind::Extension, std::move(*type)};
    return {};
  }
  if (!IsKnownType(first))
    return {};
  if (names->size() == 1)
    return {KeyKind::Type, {}};
  static constexpr std::string_view kShellPath[] = {"shell", "open", "command"};
  if (names->size() > 4)
    return {};
  for (std::size_t i = 1; i < names->size(); ++i)
    if (!SameIgnoringCase((*names)[i], kShellPath[i - 1]))
      return {};
  auto command = DefaultOpenCommand(dirs_, AsciiLower(first));
  if (command.empty())
    return {};
  if (names->size() == 4)
    return {KeyKind::Command, std::move(command)};
  return {KeyKind::Shell, {}};
}

bool MimeClassesRoot::KeyExists(std::string_view keyPath) const {
  return Resolve(keyPath).Kind != KeyKind::None;
}

std::optional<RegValue> MimeClassesRoot::QueryValue(std::string_view keyPath,
                                                    std::string_view name) const {
  if (!name.empty())
    return std::nullopt;
  auto key = Resolve(keyPath);
  if (key.Kind == KeyKind::Extension || key.Kind == KeyKind::Command)
    return RegValue::String(std::move(key.Text));
  return std::nullopt;
}

} // namespace orvanta
