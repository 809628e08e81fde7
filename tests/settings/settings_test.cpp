#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "settings/language_file.h"
#include "settings/posix/ini_settings_store.h"
#include "settings/settings.h"
#include "text_files.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDefaults = "[Settings]\nLanguage=1\nHint1=1\nHint2=1\nPromo1=1\nPromo2=1\n";

// A user's settings folder in a fresh temporary folder.
struct TempStore {
  test::TempDir Dir;
  fs::path Folder = Dir / "config" / "orvanta";
  IniSettingsStore Store{Folder};

  std::string Text() const { return test::ReadText(Store.File()); }
  void SetText(const std::string &text) const { test::WriteText(Store.File(), text); }
};

TEST(Settings, FirstStartWritesEveryDefault) {
  TempStore t;
  const Settings settings = Settings::Load(t.Store);
  EXPECT_EQ(settings.Language(), 1u);
  EXPECT_TRUE(settings.Hint1() && settings.Hint2() && settings.Promo1() && settings.Promo2());
  EXPECT_EQ(t.Text(), kDefaults);
  EXPECT_EQ(fs::status(t.Folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(Settings, StoredValuesAreReadAndLeftAsTheyAre) {
  TempStore t;
  t.SetText("; mine\r\n[Other]\r\nLanguage=3\r\n[settings]\r\nlanguage = 7\r\nHint1=0\r\n"
            "Promo2=5\r\nHint2=no\r\n\r\n[Other2]\r\n");
  const Settings settings = Settings::Load(t.Store);
  EXPECT_EQ(settings.Language(), 7u);
  EXPECT_EQ(SelectLanguageFile(settings.Language()), "English.lng");
  EXPECT_FALSE(settings.Hint1());
  EXPECT_TRUE(settings.Hint2()); // not a number: the default, left as it is
  EXPECT_TRUE(settings.Promo2()); // any non-zero number is true
  EXPECT_EQ(t.Text(), "; mine\r\n[Other]\r\nLanguage=3\r\n[settings]\r\nlanguage = 7\r\nHint1=0\r\n"
                      "Promo2=5\r\nHint2=no\r\nPromo1=1\r\n\r\n[Other2]\r\n");
}

TEST(Settings, PeekReadsWithoutWritingAnything) {
  TempStore t;
  EXPECT_EQ(Settings::Peek(t.Store).Language(), 1u);
  EXPECT_FALSE(fs::exists(t.Dir / "config"));
  t.SetText("[Settings]\nLanguage=3\n");
  EXPECT_EQ(Settings::Peek(t.Store).Language(), 3u);
  EXPECT_EQ(t.Text(), "[Settings]\nLanguage=3\n");
}

TEST(Settings, ClearingAFlagTurnsItOffForLaterRuns) {
  TempStore t;
  Settings settings = Settings::Load(t.Store);
  settings.ClearFlag(t.Store, SettingsFlag::Hint2);
  EXPECT_FALSE(settings.Hint2());
  const Settings next = Settings::Load(t.Store);
  EXPECT_FALSE(next.Hint2());
  EXPECT_TRUE(next.Hint1());
  EXPECT_EQ(t.Text(), "[Settings]\nLanguage=1\nHint1=1\nHint2=0\nPromo1=1\nPromo2=1\n");
}

// user.reg as earlier versions wrote it, with what they could not read.
constexpr std::string_view kOldStore =
    "; Orvanta per-user settings. Written by the program; names are found in any letter case.\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers]\n"
    "\"Promo1\"=dword:00000000\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Brisbel\\Orvanta]\n"
    "\"Language\"=dword:00000002\r\n"
    "\"Hint1\"=dword:00000000\n"
    "\"language\"=dword:00000003\n"
    "\"Hint2\"=\"0\"\n"
    "\"Promo2\"=dword:xyz\n"
    "\"Pro\\\"mo2\"=dword:00000000\n"
    "@=dword:00000000\n";

TEST(Settings, TheOldStoreIsTakenOverOnce) {
  TempStore t;
  test::WriteText(t.Store.OldFile(), std::string(kOldStore));

  // Looking reads the old store and changes nothing.
  const Settings peeked = Settings::Peek(t.Store);
  EXPECT_EQ(peeked.Language(), 2u);
  EXPECT_FALSE(peeked.Hint1());
  EXPECT_TRUE(peeked.Hint2() && peeked.Promo1() && peeked.Promo2());
  EXPECT_FALSE(fs::exists(t.Store.File()));

  // The first run takes its numbers over and keeps the old file aside.
  const Settings loaded = Settings::Load(t.Store);
  EXPECT_EQ(loaded.Language(), 2u);
  EXPECT_FALSE(loaded.Hint1());
  EXPECT_EQ(t.Text(), "[Settings]\nLanguage=2\nHint1=0\nHint2=1\nPromo1=1\nPromo2=1\n");
  EXPECT_FALSE(fs::exists(t.Store.OldFile()));
  EXPECT_EQ(test::ReadText(t.Folder / "user.reg.old"), kOldStore);

  // An old store that turns up again is not read.
  test::WriteText(t.Store.OldFile(), "[HKEY_CURRENT_USER\\SOFTWARE\\Brisbel\\Orvanta]\n"
                                     "\"Language\"=dword:00000003\n");
  EXPECT_EQ(Settings::Load(t.Store).Language(), 2u);
}

TEST(IniSettingsStore, ReadsDecimalNumbersOnly) {
  const std::map<std::string, std::optional<StoredSetting>> cases = {
      {"Language=4294967295", StoredSetting{4294967295u}},
      {"Language = 07 ", StoredSetting{7}},
      {"Language=4294967296", StoredSetting{}},
      {"Language=-1", StoredSetting{}},
      {"Language=0x1", StoredSetting{}},
      {"Language=1 2", StoredSetting{}},
      {"Language=", StoredSetting{}},
      {"# Language=1", StoredSetting{9}},
      {"Languages=1", StoredSetting{9}},
  };
  for (const auto &[line, expected] : cases) {
    TempStore t;
    t.SetText("[Settings]\n" + line + "\nLanguage=9\n");
    EXPECT_EQ(t.Store.Read("LANGUAGE"), expected) << line;
  }
}

TEST(IniSettingsStore, AWriteChangesOnlyItsOwnLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "[Settings]\nHint1=0\n"},
      {"[Other]\nx=1", "[Other]\nx=1\n[Settings]\nHint1=0\n"},
      {"[Settings]\nLanguage=2", "[Settings]\nLanguage=2\nHint1=0\n"},
      {"[Settings]\nLanguage=2\n\n[Other]\n", "[Settings]\nLanguage=2\nHint1=0\n\n[Other]\n"},
      {"[settings]\r\nHINT1 = 1 \r\n[Other]\r\nHint1=5\r\n",
       "[settings]\r\nHINT1 = 0 \r\n[Other]\r\nHint1=5\r\n"},
      {"[Settings]\nHint1=\n", "[Settings]\nHint1=0\n"},
      {"; c\n[Settings]\n# Hint1=1\n", "; c\n[Settings]\n# Hint1=1\nHint1=0\n"},
      {"[Settings]\nHint1=0\n[Settings]\nHint1=1\n", "[Settings]\nHint1=0\n[Settings]\nHint1=1\n"},
  };
  for (const auto &[before, after] : cases) {
    TempStore t;
    t.SetText(before);
    EXPECT_TRUE(t.Store.Write("Hint1", 0)) << before;
    EXPECT_EQ(t.Text(), after) << before;
    EXPECT_EQ(t.Store.Read("hint1"), StoredSetting{0}) << before;
  }
}

TEST(IniSettingsStore, AStoreThatCannotBeWrittenHoldsTheDefaults) {
  TempStore t;
  test::WriteText(t.Dir / "file", "not a folder");
  IniSettingsStore blocked(t.Dir / "file" / "orvanta");
  EXPECT_FALSE(blocked.Write("Hint1", 0));
  EXPECT_TRUE(Settings::Load(blocked).Hint1());

  IniSettingsStore homeless{fs::path{}}; // no home folder known
  EXPECT_FALSE(homeless.Create());
  EXPECT_FALSE(homeless.Write("Hint1", 0));
  EXPECT_EQ(homeless.Read("Hint1"), std::nullopt);
  EXPECT_FALSE(fs::exists("settings.ini"));
}

TEST(IniSettingsStore, WritersAtTheSameTimeLoseNoValue) {
  TempStore t;
  auto writer = [&](char prefix) {
    IniSettingsStore own(t.Folder);
    for (std::uint32_t i = 0; i < 20; ++i)
      own.Write(std::string(1, prefix) + std::to_string(i), i);
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  for (char prefix : {'a', 'b'})
    for (std::uint32_t i = 0; i < 20; ++i)
      EXPECT_EQ(t.Store.Read(std::string(1, prefix) + std::to_string(i)), StoredSetting{i});
  std::vector<std::string> files;
  for (const auto &entry : fs::directory_iterator(t.Folder))
    files.push_back(entry.path().filename());
  EXPECT_EQ(files, std::vector<std::string>{"settings.ini"}); // no temporary file left
}

TEST(IniSettingsStore, LivesInTheConfigurationHome) {
  const auto folder = [](std::map<std::string, std::string> vars) {
    return IniSettingsStore::UserFolder([vars](const char *name) {
      const auto it = vars.find(name);
      return it == vars.end() ? std::string{} : it->second;
    });
  };
  EXPECT_EQ(folder({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}}), "/cfg/orvanta");
  EXPECT_EQ(folder({{"HOME", "/home/u"}}), "/home/u/.config/orvanta");
  EXPECT_EQ(folder({{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/home/u"}}), "/home/u/.config/orvanta");
}

} // namespace
} // namespace orvanta
