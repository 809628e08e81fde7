#include "settings/posix/default_application.h"

#include <fstream>
#include <optional>
#include <set>
#include <unistd.h>
#include <vector>

#include "settings/ascii_case.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(';', start), text.size());
    const auto item = Trim(text.substr(start, end - start));
    if (!item.empty())
      items.emplace_back(item);
    start = end + 1;
  }
  return items;
}

// Calls `entry(section, key, value)` for every entry of a desktop-style file.
template <typename F> void ForEachEntry(const fs::path &file, F entry) {
  std::ifstream in(file);
  std::string line, section;
  while (std::getline(in, line)) {
    const auto text = Trim(line);
    if (text.empty() || text.front() == '#')
      continue;
    if (text.front() == '[' && text.back() == ']') {
      section = std::string(text.substr(1, text.size() - 2));
      continue;
    }
    const std::size_t eq = text.find('=');
    if (eq != std::string_view::npos)
      entry(section, Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)));
  }
}

// The Exec line of an installed, not hidden desktop entry.
std::optional<std::string> DesktopExec(const XdgDirs &dirs, const std::string &desktopId) {
  if (desktopId.find('/') != std::string::npos || desktopId == "." || desktopId == "..")
    return std::nullopt;
  std::vector<std::string> relative{desktopId};
  if (const auto dash = desktopId.find('-'); dash != std::string::npos) {
    std::string nested = desktopId; // "kde-foo.desktop" may live in applications/kde/
    nested[dash] = '/';
    relative.push_back(nested);
  }
  for (const auto &dir : dirs.AllDataDirs())
    for (const auto &name : relative) {
      const fs::path file = dir / "applications" / name;
      std::error_code ec;
      if (!fs::is_regular_file(file, ec))
        continue;
      std::string exec;
      bool hidden = false;
      ForEachEntry(file, [&](const std::string &section, std::string_view key, std::string_view value) {
        if (section != "Desktop Entry")
          return;
        if (key == "Exec" && exec.empty())
          exec = value;
        if (key == "Hidden")
          hidden = value == "true";
      });
      // The first file found is the entry, even when it hides the others.
      if (hidden || exec.empty())
        return std::nullopt;
      return exec;
    }
  return std::nullopt;
}

std::vector<fs::path> MimeAppsLists(const XdgDirs &dirs) {
  std::vector<fs::path> folders = dirs.AllConfigDirs();
  for (const auto &dir : dirs.AllDataDirs())
    folders.push_back(dir / "applications");
  std::vector<fs::path> lists;
  for (const auto &folder : folders) {
    for (const auto &desktop : dirs.Desktops)
      lists.push_back(folder / (desktop + "-mimeapps.list"));
    lists.push_back(folder / "mimeapps.list");
  }
  return lists;
}

fs::path FindProgram(const std::string &program, std::string_view searchPath) {
  if (program.find('/') != std::string::npos)
    return program;
  std::size_t start = 0;
  while (start < searchPath.size()) {
    const std::size_t end = std::min(searchPath.find(':', start), searchPath.size());
    const std::string_view dir = searchPath.substr(start, end - start);
    start = end + 1;
    if (dir.empty() || dir.front() != '/')
      continue;
    const fs::path candidate = fs::path(dir) / program;
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return program;
}

// Splits an Exec value into its words: blanks separate them, double quotes
// group them, and inside quotes a backslash takes the next character as is.
std::vector<std::string> ExecWords(std::string_view exec) {
  // The general escapes of desktop files come first.
  std::string text;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] == '\\' && i + 1 < exec.size()) {
      const char next = exec[++i];
      switch (next) {
      case 's': text += ' '; break;
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      case 'r': text += '\r'; break;
      case '\\': text += '\\'; break;
      default: text += '\\'; text += next; break;
      }
    } else {
      text += exec[i];
    }
  }
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"')
        quoted = false;
      else if (c == '\\' && i + 1 < text.size())
        word += text[++i];
      else
        word += c;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (inWord)
        words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else if (c == '"') {
      quoted = inWord = true;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord)
    words.push_back(std::move(word));
  return words;
}

// A word with its field codes replaced; nothing when only a dropped field
// code was there.
std::optional<std::string> ExpandFieldCodes(const std::string &word) {
  std::string out;
  bool dropped = false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (word[i] != '%' || i + 1 >= word.size()) {
      out += word[i];
      continue;
    }
    const char code = word[++i];
    if (code == '%')
      out += '%';
    else if (code == 'f' || code == 'F' || code == 'u' || code == 'U')
      out += "%1";
    else
      dropped = true;
  }
  if (out.empty() && dropped)
    return std::nullopt;
  return out;
}

} // namespace

std::string ExecToCommandLine(std::string_view exec, std::string_view searchPath) {
  const auto words = ExecWords(exec);
  if (words.empty())
    return {};
  std::string command = "\"" + FindProgram(words.front(), searchPath).string() + "\"";
  for (std::size_t i = 1; i < words.size(); ++i) {
    const auto word = ExpandFieldCodes(words[i]);
    if (!word)
      continue;
    const bool quote = *word == "%1" || word->empty() ||
                       word->find_first_of(" \t") != std::string::npos;
    command += ' ';
    command += quote ? "\"" + *word + "\"" : *word;
  }
  return command;
}

std::string DefaultOpenCommand(const XdgDirs &dirs, std::string_view mimeType) {
  const auto lists = MimeAppsLists(dirs);
  const auto tryIds = [&](const std::vector<std::string> &ids,
                          const std::set<std::string> &removed) -> std::string {
    for (const auto &id : ids)
      if (!removed.contains(id))
        if (const auto exec = DesktopExec(dirs, id))
          return ExecToCommandLine(*exec, dirs.SearchPath);
    return {};
  };
  const auto idsFor = [&](const fs::path &file, std::string_view wantedSection) {
    std::vector<std::string> ids;
    ForEachEntry(file, [&](const std::string &section, std::string_view key, std::string_view value) {
      if (section == wantedSection && SameIgnoringCase(key, mimeType))
        for (auto &id : SplitList(value))
          ids.push_back(std::move(id));
    });
    return ids;
  };

  for (const auto &list : lists)
    if (auto command = tryIds(idsFor(list, "Default Applications"), {}); !command.empty())
      return command;

  std::set<std::string> removed;
  for (const auto &list : lists) {
    for (auto &id : idsFor(list, "Removed Associations"))
      removed.insert(std::move(id));
    if (auto command = tryIds(idsFor(list, "Added Associations"), removed); !command.empty())
      return command;
  }

  for (const auto &dir : dirs.AllDataDirs())
    if (auto command = tryIds(idsFor(dir / "applications" / "mimeinfo.cache", "MIME Cache"), removed);
        !command.empty())
      return command;
  return {};
}

} // namespace orvanta
