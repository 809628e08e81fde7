#include "settings/posix/posix_registry.h"

namespace orvanta {

std::filesystem::path PosixRegistry::UserStoreFolder(const XdgDirs &dirs) {
  return dirs.ConfigHome.empty() ? std::filesystem::path{} : dirs.ConfigHome / "orvanta";
}

PosixRegistry PosixRegistry::ForCurrentUser(const EnvironmentLookup &env) {
  auto dirs = XdgDirs::FromEnvironment(env);
  auto folder = UserStoreFolder(dirs);
  return PosixRegistry(std::move(folder), std::move(dirs));
}

std::optional<RegValue> PosixRegistry::QueryValue(RegistryRoot root, std::string_view keyPath,
                                                  std::string_view name) {
  return root == RegistryRoot::CurrentUser ? user_.QueryValue(keyPath, name)
                                           : classes_.QueryValue(keyPath, name);
}

bool PosixRegistry::KeyExists(RegistryRoot root, std::string_view keyPath) {
  return root == RegistryRoot::CurrentUser ? user_.KeyExists(keyPath) : classes_.KeyExists(keyPath);
}

bool PosixRegistry::CreateKey(RegistryRoot root, std::string_view keyPath) {
  if (root == RegistryRoot::CurrentUser)
    return user_.CreateKey(keyPath);
  return classes_.KeyExists(keyPath); // opening an existing key is all that can be done
}

bool PosixRegistry::SetValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
                             const RegValue &value) {
  return root == RegistryRoot::CurrentUser && user_.SetValue(keyPath, name, value);
}

} // namespace orvanta
