#pragma once

#include <filesystem>

#include "settings/environment.h"
#include "settings/posix/mime_classes_root.h"
#include "settings/posix/user_registry_store.h"
#include "settings/registry.h"

namespace orvanta {

// The registry of a Linux user: HKEY_CURRENT_USER in the per-user store,
// HKEY_CLASSES_ROOT read-only from the shared MIME database (writes there
// are skipped).
class PosixRegistry final : public Registry {
public:
  PosixRegistry(std::filesystem::path storeFolder, XdgDirs dirs)
      : user_(std::move(storeFolder)), classes_(std::move(dirs)) {}

  // The current user's: the store in $XDG_CONFIG_HOME/orvanta, else
  // ~/.config/orvanta.
  static PosixRegistry ForCurrentUser(const EnvironmentLookup &env = ProcessEnvironment());

  // The folder of the user's store: "orvanta" in the configuration home;
  // empty when no home folder is known (the store then holds nothing and
  // takes no writes).
  static std::filesystem::path UserStoreFolder(const XdgDirs &dirs);

  const UserRegistryStore &UserStore() const { return user_; }

  std::optional<RegValue> QueryValue(RegistryRoot root, std::string_view keyPath,
                                     std::string_view name) override;
  bool KeyExists(RegistryRoot root, std::string_view keyPath) override;
  bool CreateKey(RegistryRoot root, std::string_view keyPath) override;
  bool SetValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
                const RegValue &value) override;

private:
  UserRegistryStore user_;
  MimeClassesRoot classes_;
};

} // namespace orvanta
