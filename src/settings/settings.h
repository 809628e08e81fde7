#pragma once

#include <cstdint>
#include <string_view>

#include "settings/registry.h"

namespace orvanta {

// The program's settings key under HKEY_CURRENT_USER.
inline constexpr std::string_view kSettingsKey = "SOFTWARE\\Brisbel\\Orvanta";

// The on/off settings. Hint1 and Hint2 let the deep-scan and results-window
// hints show; Promo1 and Promo2 let the two cross-promotion windows show
// when the main window closes.
enum class SettingsFlag { Hint1, Hint2, Promo1, Promo2 };

// The registry value of a flag: "Hint1", "Hint2", "Promo1", "Promo2".
std::string_view SettingsValueName(SettingsFlag flag);

// The per-user settings as the program holds them for the whole run. The
// values are DWORDs: "Language" a number, the flags 1 or 0 (any non-zero
// value reads as true). A value of another type reads as its default and
// is left as it is.
class Settings {
public:
  // The defaults: language 1, every flag true.
  Settings() = default;

  // Start of the run: opens the settings key, creating it when missing,
  // reads "Language" and the flags in that order, and writes the default of
  // each value that is missing. When the key cannot be written the defaults
  // stay in memory and nothing is reported.
  static Settings Load(Registry &registry);

  // The same values without writing anything: missing values read as their
  // defaults and the key is not created (for tools that only look).
  static Settings Peek(Registry &registry);

  std::uint32_t Language() const { return language_; }
  bool Flag(SettingsFlag flag) const { return flags_[Index(flag)]; }
  bool Hint1() const { return Flag(SettingsFlag::Hint1); }
  bool Hint2() const { return Flag(SettingsFlag::Hint2); }
  bool Promo1() const { return Flag(SettingsFlag::Promo1); }
  bool Promo2() const { return Flag(SettingsFlag::Promo2); }

  // Turns a flag off in memory and in the settings key ("Do not show this
  // window again").
  void ClearFlag(Registry &registry, SettingsFlag flag);

private:
  static Settings Read(Registry &registry, bool writeDefaults);
  static constexpr std::size_t Index(SettingsFlag flag) { return static_cast<std::size_t>(flag); }

  std::uint32_t language_ = 1;
  bool flags_[4] = {true, true, true, true};
};

} // namespace orvanta
