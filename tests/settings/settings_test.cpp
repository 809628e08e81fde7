#include <gtest/gtest.h>

#include "settings/language_file.h"
#include "settings/registry_helpers.h"
#include "settings/settings.h"
#include "temp_registry.h"

namespace orvanta {
namespace {

constexpr auto HKCU = RegistryRoot::CurrentUser;

std::optional<RegValue> Stored(Registry &registry, std::string_view name) {
  return registry.QueryValue(HKCU, "SOFTWARE\\Brisbel\\Orvanta", name);
}

TEST(Settings, FirstStartCreatesTheKeyWithEveryDefault) {
  test::TempRegistry t;
  const Settings settings = Settings::Load(t.Registry);
  EXPECT_EQ(settings.Language(), 1u);
  EXPECT_TRUE(settings.Hint1() && settings.Hint2() && settings.Promo1() && settings.Promo2());
  for (const char *name : {"Language", "Hint1", "Hint2", "Promo1", "Promo2"})
    EXPECT_EQ(Stored(t.Registry, name), RegValue::Dword(1)) << name;
}

TEST(Settings, StoredValuesAreReadAndLeftAsTheyAre) {
  test::TempRegistry t;
  t.Registry.SetValue(HKCU, kSettingsKey, "language", RegValue::Dword(7));
  t.Registry.SetValue(HKCU, kSettingsKey, "Hint1", RegValue::Dword(0));
  t.Registry.SetValue(HKCU, kSettingsKey, "Promo2", RegValue::Dword(5)); // any non-zero is true
  t.Registry.SetValue(HKCU, kSettingsKey, "Hint2", RegValue::String("0")); // not a DWORD

  const Settings settings = Settings::Load(t.Registry);
  EXPECT_EQ(settings.Language(), 7u);
  EXPECT_EQ(SelectLanguageFile(settings.Language()), "English.lng");
  EXPECT_FALSE(settings.Hint1());
  EXPECT_TRUE(settings.Hint2()); // another type reads as the default ...
  EXPECT_TRUE(settings.Promo2());
  EXPECT_EQ(Stored(t.Registry, "Language"), RegValue::Dword(7));
  EXPECT_EQ(Stored(t.Registry, "Hint2"), RegValue::String("0")); // ... and is not replaced
  EXPECT_EQ(Stored(t.Registry, "Promo1"), RegValue::Dword(1));    // the missing one is written
}

TEST(Settings, PeekReadsWithoutWritingAnything) {
  test::TempRegistry t;
  EXPECT_EQ(Settings::Peek(t.Registry).Language(), 1u);
  EXPECT_FALSE(std::filesystem::exists(t.StoreFolder));

  t.Registry.SetValue(HKCU, kSettingsKey, "Language", RegValue::Dword(3));
  const auto before = test::ReadText(t.StoreFile());
  EXPECT_EQ(Settings::Peek(t.Registry).Language(), 3u);
  EXPECT_EQ(test::ReadText(t.StoreFile()), before);
}

TEST(Settings, ClearingAFlagTurnsItOffForLaterRuns) {
  test::TempRegistry t;
  Settings settings = Settings::Load(t.Registry);
  settings.ClearFlag(t.Registry, SettingsFlag::Hint2);
  EXPECT_FALSE(settings.Hint2());
  auto later = t.Reopened();
  const Settings next = Settings::Load(later);
  EXPECT_FALSE(next.Hint2());
  EXPECT_TRUE(next.Hint1());
}

} // namespace
} // namespace orvanta
