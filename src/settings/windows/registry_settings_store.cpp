#include "settings/windows/registry_settings_store.h"

#include "platform/windows/wide_text.h"

namespace orvanta {

bool RegistrySettingsStore::Create() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(root_, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

std::optional<StoredSetting> RegistrySettingsStore::Read(std::string_view name) const {
  // Value names are found in any letter case by the registry itself.
  const std::wstring value = Widen(name);
  DWORD type = REG_NONE;
  DWORD number = 0;
  DWORD size = sizeof number;
  const LSTATUS status = ::RegGetValueW(root_, keyPath_.c_str(), value.c_str(),
                                        RRF_RT_ANY | RRF_NOEXPAND, &type, &number, &size);
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    StoredSetting stored;
    if (status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof number)
      stored.Number = number;
    return stored;
  }
  return std::nullopt;
}

bool RegistrySettingsStore::Write(std::string_view name, std::uint32_t number) {
  const std::wstring value = Widen(name);
  const DWORD data = number;
  // Creates the key, and its missing parents, when needed.
  return ::RegSetKeyValueW(root_, keyPath_.c_str(), value.c_str(), REG_DWORD, &data,
                           sizeof data) == ERROR_SUCCESS;
}

std::unique_ptr<SettingsStore> OpenUserSettingsStore() {
  return std::make_unique<RegistrySettingsStore>();
}

} // namespace orvanta
