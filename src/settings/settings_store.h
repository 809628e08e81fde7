#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace orvanta {

// What a store holds under a setting's name: a number, or a value of some
// other kind that the program does not read.
struct StoredSetting {
  std::optional<std::uint32_t> Number;
  bool operator==(const StoredSetting &) const = default;
};

// Where the per-user settings are kept between runs: whole numbers by name,
// names found in any letter case. No call throws; a store that cannot be
// read holds nothing, and a write that cannot be done returns false.
class SettingsStore {
public:
  virtual ~SettingsStore() = default;

  // Makes the store ready to take values, creating it when it is missing.
  virtual bool Create() = 0;

  // The value stored under `name`; nothing when there is none. Never
  // creates anything.
  virtual std::optional<StoredSetting> Read(std::string_view name) const = 0;

  // Stores `number` under `name`, creating the store first when needed.
  virtual bool Write(std::string_view name, std::uint32_t number) = 0;
};

// The settings store of the user running this process.
std::unique_ptr<SettingsStore> OpenUserSettingsStore();

} // namespace orvanta
