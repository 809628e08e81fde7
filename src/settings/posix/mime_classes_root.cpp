#include "settings/posix/mime_classes_root.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <vector>

#include "settings/ascii_case.h"
#include "settings/posix/default_application.h"
#include "settings/posix/registry_hive.h"

namespace orvanta {
namespace {

struct Glob {
  int Weight = 0;
  std::string_view Type;
  std::string_view Extension; // the part after "*."
  bool CaseSensitive = false;
};

std::string ReadWhole(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Calls `visit` with each simple "*.ext" glob of a globs2 text
// ("weight:type:glob[:flags]"); other globs are passed over.
template <typename F> void ForEachGlob(std::string_view text, F visit) {
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line.front() == '#')
      continue;
    const auto first = line.find(':');
    const auto second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos)
      continue;
    const auto third = line.find(':', second + 1);
    Glob glob;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + first, glob.Weight);
    if (ec != std::errc{} || end != line.data() + first)
      continue;
    glob.Type = line.substr(first + 1, second - first - 1);
    const std::string_view pattern =
        line.substr(second + 1, third == std::string_view::npos ? third : third - second - 1);
    if (!pattern.starts_with("*.") || pattern.size() < 3 ||
        pattern.find_first_of("*?[", 2) != std::string_view::npos || glob.Type == "__NOGLOBS__")
      continue;
    glob.Extension = pattern.substr(2);
    if (third != std::string_view::npos) {
      const std::string flags = "," + std::string(line.substr(third + 1)) + ",";
      glob.CaseSensitive = flags.find(",cs,") != std::string::npos;
    }
    visit(glob);
  }
}

std::filesystem::path GlobsFile(const std::filesystem::path &dataDir) {
  return dataDir / "mime" / "globs2";
}

} // namespace

std::optional<std::string> MimeClassesRoot::TypeOfExtension(std::string_view extension) const {
  if (extension.empty())
    return std::nullopt;
  for (const auto &dir : dirs_.AllDataDirs()) {
    const std::string text = ReadWhole(GlobsFile(dir));
    // A case-sensitive glob counts when the case matches; failing any other
    // match it counts in any case, as names on the volume are upper-case
    // and the system compares extensions without regard to case.
    for (const bool strict : {true, false}) {
      std::optional<Glob> best;
      ForEachGlob(text, [&](const Glob &glob) {
        const bool match = glob.CaseSensitive && strict ? glob.Extension == extension
                                                        : SameIgnoringCase(glob.Extension, extension);
        if (match && (!best || glob.Weight > best->Weight))
          best = glob;
      });
      if (best)
        return std::string(best->Type);
    }
  }
  return std::nullopt;
}

bool MimeClassesRoot::IsKnownType(std::string_view mimeType) const {
  if (mimeType.find('/') == std::string_view::npos)
    return false;
  for (const auto &dir : dirs_.AllDataDirs()) {
    const std::string types = ReadWhole(dir / "mime" / "types"); // one type a line
    for (std::size_t start = 0; start < types.size();) {
      const std::size_t end = std::min(types.find('\n', start), types.size());
      if (SameIgnoringCase(std::string_view(types).substr(start, end - start), mimeType))
        return true;
      start = end + 1;
    }
    bool known = false;
    ForEachGlob(ReadWhole(GlobsFile(dir)),
                [&](const Glob &glob) { known = known || SameIgnoringCase(glob.Type, mimeType); });
    if (known)
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
