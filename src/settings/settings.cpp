#include "settings/settings.h"

namespace orvanta {
namespace {

constexpr std::string_view kLanguageValue = "Language";
constexpr SettingsFlag kFlagsInReadingOrder[] = {SettingsFlag::Hint1, SettingsFlag::Hint2,
                                                 SettingsFlag::Promo1, SettingsFlag::Promo2};

// Reads the setting into `inMemory`; a missing one gets the default in
// memory written, when there is somewhere to write it.
template <typename T, typename FromNumber>
void ReadSetting(const SettingsStore &store, SettingsStore *writeDefaultsTo, std::string_view name,
                 T &inMemory, FromNumber fromNumber) {
  if (const auto stored = store.Read(name)) {
    if (stored->Number)
      inMemory = fromNumber(*stored->Number);
  } else if (writeDefaultsTo) {
    writeDefaultsTo->Write(name, static_cast<std::uint32_t>(inMemory));
  }
}

} // namespace

std::string_view SettingsValueName(SettingsFlag flag) {
  switch (flag) {
  case SettingsFlag::Hint1: return "Hint1";
  case SettingsFlag::Hint2: return "Hint2";
  case SettingsFlag::Promo1: return "Promo1";
  case SettingsFlag::Promo2: return "Promo2";
  }
  return {};
}

Settings Settings::Read(const SettingsStore &store, SettingsStore *writeDefaultsTo) {
  Settings settings;
  if (writeDefaultsTo)
    writeDefaultsTo->Create();
  ReadSetting(store, writeDefaultsTo, kLanguageValue, settings.language_,
              [](std::uint32_t number) { return number; });
  for (const SettingsFlag flag : kFlagsInReadingOrder)
    ReadSetting(store, writeDefaultsTo, SettingsValueName(flag), settings.flags_[Index(flag)],
                [](std::uint32_t number) { return number != 0; });
  return settings;
}

Settings Settings::Load(SettingsStore &store) { return Read(store, &store); }

Settings Settings::Peek(const SettingsStore &store) { return Read(store, nullptr); }

void Settings::ClearFlag(SettingsStore &store, SettingsFlag flag) {
  flags_[Index(flag)] = false;
  store.Write(SettingsValueName(flag), 0);
}

} // namespace orvanta
