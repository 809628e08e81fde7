#pragma once

#include <string>

#include <windows.h>

#include "settings/settings_store.h"

namespace orvanta {

// The settings of one user in the registry: DWORD values of the key
// HKEY_CURRENT_USER\SOFTWARE\Brisbel\Orvanta. A value of another type is
// there, but holds no number. Every call opens the key and closes it again;
// reading never creates it.
class RegistrySettingsStore final : public SettingsStore {
public:
  static constexpr const wchar_t *kUserKey = L"SOFTWARE\\Brisbel\\Orvanta";

  // The key `keyPath` below `root`: the user's key, or elsewhere for tests.
  explicit RegistrySettingsStore(HKEY root = HKEY_CURRENT_USER, std::wstring keyPath = kUserKey)
      : root_(root), keyPath_(std::move(keyPath)) {}

  bool Create() override;
  std::optional<StoredSetting> Read(std::string_view name) const override;
  bool Write(std::string_view name, std::uint32_t number) override;

private:
  HKEY root_;
  std::wstring keyPath_;
};

} // namespace orvanta
