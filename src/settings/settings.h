#pragma once

#include <cstdint>
#include <string_view>

#include "settings/settings_store.h"

namespace orvanta {

// The on/off settings. Hint1 and Hint2 let the deep-scan and results-window
// hints show; Promo1 and Promo2 let the two cross-promotion windows show
// when the main window closes.
enum class SettingsFlag { Hint1, Hint2, Promo1, Promo2 };

// The stored name of a flag: "Hint1", "Hint2", "Promo1", "Promo2".
std::string_view SettingsValueName(SettingsFlag flag);

// The per-user settings as the program holds them for the whole run:
// "Language" a number, the flags 1 or 0 (any non-zero value reads as
// true). A stored value that is not a number reads as its default and is
// left as it is.
class Settings {
public:
  // The defaults: language 1, every flag true.
  Settings() = default;

  // Start of the run: creates the store when missing, reads "Language" and
  // the flags in that order, and writes the default of each value that is
  // missing. When the store cannot be written the defaults stay in memory
  // and nothing is reported.
  static Settings Load(SettingsStore &store);

  // The same values without writing anything: missing values read as their
  // defaults and the store is not created (for tools that only look).
  static Settings Peek(const SettingsStore &store);

  std::uint32_t Language() const { return language_; }
  bool Flag(SettingsFlag flag) const { return flags_[Index(flag)]; }
  bool Hint1() const { return Flag(SettingsFlag::Hint1); }
  bool Hint2() const { return Flag(SettingsFlag::Hint2); }
  bool Promo1() const { return Flag(SettingsFlag::Promo1); }
  bool Promo2() const { return Flag(SettingsFlag::Promo2); }

  // Turns a flag off in memory and in the store ("Do not show this window
  // again").
  void ClearFlag(SettingsStore &store, SettingsFlag flag);

private:
  static Settings Read(const SettingsStore &store, SettingsStore *writeDefaultsTo);
  static constexpr std::size_t Index(SettingsFlag flag) { return static_cast<std::size_t>(flag); }

  std::uint32_t language_ = 1;
  bool flags_[4] = {true, true, true, true};
};

} // namespace orvanta
