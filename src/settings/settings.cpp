#include "settings/settings.h"

#include "settings/registry_helpers.h"

namespace orvanta {
namespace {

constexpr std::string_view kLanguageValue = "Language";
constexpr SettingsFlag kFlagsInReadingOrder[] = {SettingsFlag::Hint1, SettingsFlag::Hint2,
                                                 SettingsFlag::Promo1, SettingsFlag::Promo2};

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

Settings Settings::Read(Registry &registry, bool writeDefaults) {
  Settings settings;
  constexpr auto root = RegistryRoot::CurrentUser;
  if (writeDefaults)
    registry.CreateKey(root, kSettingsKey);

  // A value that exists is read, one of another type as its default; a
  // missing one gets the default written.
  if (const auto value = registry.QueryValue(root, kSettingsKey, kLanguageValue)) {
    if (value->Type == RegType::Dword)
      settings.language_ = value->Number;
  } else if (writeDefaults) {
    registry.SetValue(root, kSettingsKey, kLanguageValue, RegValue::Dword(settings.language_));
  }
  for (const SettingsFlag flag : kFlagsInReadingOrder) {
    bool &inMemory = settings.flags_[Index(flag)];
    if (const auto value = registry.QueryValue(root, kSettingsKey, SettingsValueName(flag))) {
      if (value->Type == RegType::Dword)
        inMemory = value->Number != 0;
    } else if (writeDefaults) {
      WriteRegBool(registry, root, kSettingsKey, SettingsValueName(flag), inMemory);
    }
  }
  return settings;
}

Settings Settings::Load(Registry &registry) { return Read(registry, true); }

Settings Settings::Peek(Registry &registry) { return Read(registry, false); }

void Settings::ClearFlag(Registry &registry, SettingsFlag flag) {
  flags_[Index(flag)] = false;
  WriteRegBool(registry, RegistryRoot::CurrentUser, kSettingsKey, SettingsValueName(flag), false);
}

} // namespace orvanta
