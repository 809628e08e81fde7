#include "settings/posix/ini_settings_store.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "settings/ascii_case.h"
#include "settings/posix/xdg_dirs.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

// The key that user.reg kept the settings under.
constexpr std::string_view kOldSettingsKey = "HKEY_CURRENT_USER\\SOFTWARE\\Brisbel\\Orvanta";

struct FileText {
  bool Exists = false;
  bool Readable = true;
  std::string Text;
};

FileText ReadFileText(const fs::path &file) {
  FileText result;
  std::error_code ec;
  result.Exists = fs::exists(file, ec);
  if (ec)
    return {true, false, {}};
  if (!result.Exists)
    return result;
  std::ifstream in(file, std::ios::binary);
  result.Text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  result.Readable = in.is_open() && !in.bad();
  return result;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Calls `visit(line, offset)` for each line of `text` (without its "\n")
// until it returns false.
template <typename F> void ForEachLine(std::string_view text, F visit) {
  std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0; // a byte-order mark
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (!visit(text.substr(start, end - start), start))
      return;
    start = end + 1;
  }
}

// The name inside a "[name]" line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']')
    return std::nullopt;
  return Trim(line.substr(1, line.size() - 2));
}

std::optional<std::uint32_t> ParseNumber(std::string_view text, int base, std::size_t maxDigits) {
  std::uint32_t number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number, base);
  if (text.empty() || text.size() > maxDigits || ec != std::errc{} || end != text.data() + text.size())
    return std::nullopt;
  return number;
}

// Where the entry of `name` lies in the settings section: the offsets of
// its value (blanks around it excluded), or, when there is no entry, the
// offset a new entry goes to (with `Found` false).
struct EntryPlace {
  bool Found = false;
  bool HasSection = false;
  std::size_t Begin = 0, End = 0; // of the value; of a new entry: Begin == End
};

EntryPlace FindEntry(std::string_view text, std::string_view name) {
  EntryPlace place;
  bool inSection = false;
  ForEachLine(text, [&](std::string_view line, std::size_t offset) {
    if (const auto section = SectionName(line)) {
      if (inSection)
        return false; // only the first section of the name counts
      inSection = place.HasSection = SameIgnoringCase(*section, IniSettingsStore::kSection);
      if (inSection)
        place.Begin = place.End = std::min(offset + line.size() + 1, text.size());
      return true;
    }
    const std::string_view trimmed = Trim(line);
    if (!inSection || trimmed.empty())
      return true;
    place.Begin = place.End = std::min(offset + line.size() + 1, text.size());
    const std::size_t eq = line.find('=');
    if (trimmed.front() == ';' || trimmed.front() == '#' || eq == std::string_view::npos ||
        !SameIgnoringCase(Trim(line.substr(0, eq)), name))
      return true;
    const std::string_view value = Trim(line.substr(eq + 1));
    place.Found = true;
    place.Begin = value.empty() ? offset + eq + 1 : static_cast<std::size_t>(value.data() - text.data());
    place.End = place.Begin + value.size();
    return false;
  });
  return place;
}

StoredSetting ParseSetting(std::string_view value) { return {ParseNumber(value, 10, 10)}; }

// Sets the entry of `name` to `number`; false when it already holds it.
bool SetEntry(std::string &text, std::string_view name, std::uint32_t number) {
  const std::string digits = std::to_string(number);
  const EntryPlace place = FindEntry(text, name);
  if (place.Found) {
    if (std::string_view(text).substr(place.Begin, place.End - place.Begin) == digits)
      return false;
    text.replace(place.Begin, place.End - place.Begin, digits);
    return true;
  }
  // New lines end as the file's lines do.
  const std::string_view eol = text.find("\r\n") == std::string::npos ? "\n" : "\r\n";
  std::string entry = std::string(name) + "=" + digits + std::string(eol);
  if (!place.HasSection) {
    if (!text.empty() && text.back() != '\n')
      text += eol;
    text += "[" + std::string(IniSettingsStore::kSection) + "]" + std::string(eol) + entry;
    return true;
  }
  if (place.Begin == text.size() && !text.empty() && text.back() != '\n')
    entry.insert(0, eol);
  text.insert(place.Begin, entry);
  return true;
}

// The DWORD values of the settings key in an old store's text, in the
// order written, the first of a name counting ("Language"=dword:00000002).
// Values of other types and lines that do not parse are passed over.
std::vector<std::pair<std::string, std::uint32_t>> OldStoreNumbers(std::string_view text) {
  std::vector<std::pair<std::string, std::uint32_t>> numbers;
  bool inKey = false;
  ForEachLine(text, [&](std::string_view line, std::size_t) {
    line = Trim(line);
    if (const auto section = SectionName(line)) {
      inKey = SameIgnoringCase(*section, kOldSettingsKey);
      return true;
    }
    const std::size_t close = line.find('"', 1);
    if (!inKey || !line.starts_with('"') || close == std::string_view::npos)
      return true;
    const std::string_view name = line.substr(1, close - 1);
    std::string_view data = line.substr(close + 1);
    if (name.find('\\') != std::string_view::npos || !data.starts_with("=dword:"))
      return true; // an escaped name is none of the settings
    data.remove_prefix(7);
    const auto number = ParseNumber(data, 16, 8);
    bool seen = false;
    for (const auto &[known, value] : numbers)
      seen = seen || SameIgnoringCase(known, name);
    if (number && !seen)
      numbers.emplace_back(name, *number);
    return true;
  });
  return numbers;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Creates the store's folder, readable by its owner only, and its parents.
bool MakeFolder(const fs::path &folder) {
  std::error_code ec;
  if (fs::is_directory(folder, ec))
    return true;
  if (folder.has_parent_path())
    fs::create_directories(folder.parent_path(), ec);
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Writes `text` as the new content of `file`: a temporary file beside it,
// flushed, then renamed over it, then the folder flushed so the rename
// itself survives a crash.
bool ReplaceFile(int folderFd, const fs::path &file, std::string_view text) {
  std::string pattern = file.string() + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  UniqueFd temp(::mkostemp(name.data(), O_CLOEXEC));
  if (!temp)
    return false;
  const bool written = WriteAll(temp.get(), text) && ::fsync(temp.get()) == 0;
  if (!temp.Close() || !written || ::rename(name.data(), file.c_str()) != 0) {
    ::unlink(name.data());
    return false;
  }
  ::fsync(folderFd);
  return true;
}

} // namespace

fs::path IniSettingsStore::UserFolder(const EnvironmentLookup &env) {
  const fs::path configHome = XdgDirs::FromEnvironment(env).ConfigHome;
  return configHome.empty() ? fs::path{} : configHome / "orvanta";
}

std::optional<StoredSetting> IniSettingsStore::Read(std::string_view name) const {
  if (folder_.empty())
    return std::nullopt;
  const FileText current = ReadFileText(File());
  if (!current.Readable)
    return std::nullopt;
  if (current.Exists) {
    const EntryPlace place = FindEntry(current.Text, name);
    if (!place.Found)
      return std::nullopt;
    return ParseSetting(std::string_view(current.Text).substr(place.Begin, place.End - place.Begin));
  }
  for (const auto &[oldName, number] : OldStoreNumbers(ReadFileText(OldFile()).Text))
    if (SameIgnoringCase(oldName, name))
      return StoredSetting{number};
  return std::nullopt;
}

bool IniSettingsStore::Change(std::optional<std::pair<std::string_view, std::uint32_t>> value) {
  if (folder_.empty() || !MakeFolder(folder_))
    return false;
  UniqueFd folderFd(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folderFd)
    return false;
  int locked; // held until the folder's descriptor closes
  do {
    locked = ::flock(folderFd.get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0)
    return false;

  // Read under the lock, so that no other writer's change is lost.
  FileText current = ReadFileText(File());
  if (!current.Readable)
    return false;
  std::string text = std::move(current.Text);
  bool changed = !current.Exists;
  bool takeOver = false;
  if (!current.Exists) {
    const FileText old = ReadFileText(OldFile());
    takeOver = old.Exists && old.Readable;
    text = "[" + std::string(IniSettingsStore::kSection) + "]\n";
    for (const auto &[name, number] : OldStoreNumbers(old.Text))
      text += name + "=" + std::to_string(number) + "\n";
  }
  if (value && SetEntry(text, value->first, value->second))
    changed = true;
  if (changed && !ReplaceFile(folderFd.get(), File(), text))
    return false;
  if (takeOver) {
    std::error_code ec; // settings.ini now holds them; the old file stays for reference
    fs::rename(OldFile(), folder_ / (std::string(kOldFileName) + ".old"), ec);
  }
  return true;
}

bool IniSettingsStore::Create() { return Change(std::nullopt); }

bool IniSettingsStore::Write(std::string_view name, std::uint32_t number) {
  return Change(std::pair{name, number});
}

std::unique_ptr<SettingsStore> OpenUserSettingsStore() {
  return std::make_unique<IniSettingsStore>(IniSettingsStore::UserFolder(ProcessEnvironment()));
}

} // namespace orvanta
