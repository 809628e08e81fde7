#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "settings/posix/registry_hive.h"
#include "settings/registry.h"

namespace orvanta {

// HKEY_CURRENT_USER of one user, kept in the file "user.reg" in a folder of
// its own. Every call reads the file as it is now; reading never creates
// the folder or the file. Every change rewrites the whole file through a
// temporary file in the same folder that is flushed to disk and then renamed
// over the old one, so a crash leaves the old file or the new one, never a
// torn one. Two processes changing the store at once take turns through a
// lock on the folder, so neither loses the other's change.
class UserRegistryStore {
public:
  static constexpr std::string_view kFileName = "user.reg";

  explicit UserRegistryStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::filesystem::path &Folder() const { return folder_; }
  std::filesystem::path File() const { return folder_ / kFileName; }

  std::optional<RegValue> QueryValue(std::string_view keyPath, std::string_view name) const;
  bool KeyExists(std::string_view keyPath) const;
  bool CreateKey(std::string_view keyPath);
  bool SetValue(std::string_view keyPath, std::string_view name, const RegValue &value);

private:
  // The store's contents: empty when there is no file yet, nothing when the
  // file exists but cannot be read.
  std::optional<RegistryHive> Load() const;

  // Applies `change` under the lock and writes the result. `change` returns
  // false when the change cannot be made and reports through `changed`
  // whether there is anything to write.
  bool Change(const std::function<bool(RegistryHive &, bool &changed)> &change);

  std::filesystem::path folder_;
};

} // namespace orvanta
