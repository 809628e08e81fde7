#include "settings/posix/user_registry_store.h"

#include "platform/posix/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvanta {
namespace {

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
bool MakeFolder(const std::filesystem::path &folder) {
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec))
    return true;
  if (folder.has_parent_path())
    std::filesystem::create_directories(folder.parent_path(), ec);
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Writes `text` as the new content of `file`: a temporary file beside it,
// flushed, then renamed over it, then the folder flushed so the rename
// itself survives a crash.
bool ReplaceFile(int folderFd, const std::filesystem::path &file, std::string_view text) {
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

std::optional<RegistryHive> UserRegistryStore::Load() const {
  if (folder_.empty())
    return std::nullopt;
  const auto file = File();
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec)
      return RegistryHive{};
    return std::nullopt;
  }
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad())
    return std::nullopt;
  return RegistryHive::Parse(text);
}

std::optional<RegValue> UserRegistryStore::QueryValue(std::string_view keyPath,
                                                      std::string_view name) const {
  const auto hive = Load();
  if (!hive)
    return std::nullopt;
  if (const RegValue *value = hive->Find(keyPath, name))
    return *value;
  return std::nullopt;
}

bool UserRegistryStore::KeyExists(std::string_view keyPath) const {
  const auto hive = Load();
  return hive && hive->HasKey(keyPath);
}

bool UserRegistryStore::Change(const std::function<bool(RegistryHive &, bool &)> &change) {
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

  auto hive = Load(); // read under the lock, so no other writer's change is lost
  if (!hive)
    return false; // never overwrite a store that exists but cannot be read
  bool changed = false;
  if (!change(*hive, changed))
    return false;
  return !changed || ReplaceFile(folderFd.get(), File(), hive->Serialize());
}

bool UserRegistryStore::CreateKey(std::string_view keyPath) {
  if (!RegistryHive::SplitKeyPath(keyPath))
    return false;
  if (KeyExists(keyPath))
    return true;
  return Change([&](RegistryHive &hive, bool &changed) {
    changed = !hive.HasKey(keyPath);
    return hive.AddKey(keyPath);
  });
}

bool UserRegistryStore::SetValue(std::string_view keyPath, std::string_view name,
                                 const RegValue &value) {
  if (!RegistryHive::SplitKeyPath(keyPath))
    return false;
  return Change([&](RegistryHive &hive, bool &changed) {
    const RegValue *existing = hive.Find(keyPath, name);
    changed = !existing || !(*existing == value);
    return hive.Set(keyPath, name, value);
  });
}

} // namespace orvanta
