#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <thread>

#include "settings/registry_helpers.h"
#include "temp_registry.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using test::TempRegistry;
constexpr auto HKCU = RegistryRoot::CurrentUser;
constexpr std::string_view kKey = "SOFTWARE\\Brisbel\\Orvanta";

ino_t Inode(const fs::path &file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(UserRegistryStore, ReadingAMissingStoreFindsNothingAndCreatesNothing) {
  TempRegistry t;
  EXPECT_EQ(ReadRegString(t.Registry, HKCU, kKey, "Language"), "");
  EXPECT_FALSE(RegValueExists(t.Registry, HKCU, kKey, "Language"));
  EXPECT_FALSE(RegKeyExists(t.Registry, HKCU, "SOFTWARE"));
  EXPECT_TRUE(RegKeyExists(t.Registry, HKCU, "")); // the root itself
  EXPECT_FALSE(fs::exists(t.Dir / "config"));
}

TEST(UserRegistryStore, ValuesSurviveTheFileAndAreFoundInAnyLetterCase) {
  TempRegistry t;
  WriteRegString(t.Registry, HKCU, kKey, "Program", "Notepad.Exe");
  WriteRegString(t.Registry, HKCU, kKey, "Accents", "caf\xC3\xA9 \xC3\xBC-x");
  WriteRegBool(t.Registry, HKCU, kKey, "Flag", true);

  auto again = t.Reopened();
  EXPECT_EQ(ReadRegString(again, HKCU, "software\\brisbel\\ORVANTA", "PROGRAM"), "NOTEPAD.EXE");
  EXPECT_EQ(ReadRegString(again, HKCU, kKey, "accents"), "CAF\xC3\xA9 \xC3\xBC-X"); // a-z only
  EXPECT_EQ(ReadRegString(again, HKCU, kKey, "Flag"), ""); // a DWORD is no string
  EXPECT_EQ(again.QueryValue(HKCU, kKey, "flag"), RegValue::Dword(1));
  EXPECT_TRUE(RegKeyExists(again, HKCU, "Software"));
  EXPECT_TRUE(RegKeyExists(again, HKCU, "Software\\BRISBEL"));
  EXPECT_FALSE(RegKeyExists(again, HKCU, "Software\\Bris"));
  EXPECT_FALSE(RegValueExists(again, HKCU, "Software\\Brisbel", "Program"));
  EXPECT_EQ(fs::status(t.StoreFolder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(UserRegistryStore, NamesAndTextsOfAnyCharactersRoundTrip) {
  TempRegistry t;
  const std::string layers = "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
  const std::string odd = "/opt/My \"App\"/bin\\x=1;\n[HKEY_CURRENT_USER\\Evil]\t\x7F";
  WriteRegString(t.Registry, HKCU, layers, odd, odd);
  WriteRegString(t.Registry, HKCU, layers, "", "default");
  WriteRegString(t.Registry, HKCU, layers, "@", "named at");
  WriteRegString(t.Registry, HKCU, "Key ]with [brackets", "v", "x");

  auto again = t.Reopened();
  EXPECT_EQ(again.QueryValue(HKCU, layers, odd), RegValue::String(odd));
  EXPECT_EQ(again.QueryValue(HKCU, layers, ""), RegValue::String("default"));
  EXPECT_EQ(again.QueryValue(HKCU, layers, "@"), RegValue::String("named at"));
  EXPECT_EQ(again.QueryValue(HKCU, "key ]WITH [brackets", "V"), RegValue::String("x"));
  EXPECT_FALSE(RegKeyExists(again, HKCU, "Evil"));
}

TEST(UserRegistryStore, RewritesReplaceTheFileWholeAndLeaveNothingBehind) {
  TempRegistry t;
  WriteRegString(t.Registry, HKCU, kKey, "Name", "one");
  const ino_t before = Inode(t.StoreFile());
  WriteRegString(t.Registry, HKCU, kKey, "NAME", "two");
  EXPECT_NE(Inode(t.StoreFile()), before); // renamed over, not rewritten in place
  EXPECT_EQ(ReadRegString(t.Registry, HKCU, kKey, "name"), "TWO");

  std::vector<std::string> files;
  for (const auto &entry : fs::directory_iterator(t.StoreFolder))
    files.push_back(entry.path().filename());
  EXPECT_EQ(files, std::vector<std::string>{"user.reg"});
  const std::string text = test::ReadText(t.StoreFile());
  EXPECT_EQ(text.find("two"), text.rfind("two")); // one value, not two
  EXPECT_NE(text.find("\"Name\"=\"two\""), std::string::npos); // first spelling kept
}

TEST(UserRegistryStore, SkipsLinesItCannotReadAndKeepsTheRest) {
  TempRegistry t;
  test::WriteText(t.StoreFile(), "garbage\n"
                                 "\"Orphan\"=\"before any key\"\n"
                                 "[HKEY_CURRENT_USER\\SOFTWARE\\Brisbel\\Orvanta]\r\n"
                                 "\"Language\"=dword:00000002\r\n"
                                 "\"Language\"=dword:00000003\n"
                                 "\"Broken\"=dword:xyz\n"
                                 "\"Unclosed\"=\"text\n"
                                 "\"Path\"=expand:\"%windir%\\\\notepad.exe\"\n"
                                 "[HKEY_LOCAL_MACHINE\\Other]\n"
                                 "\"Elsewhere\"=\"x\"\n");
  EXPECT_EQ(t.Registry.QueryValue(HKCU, kKey, "Language"), RegValue::Dword(2)); // first counts
  EXPECT_FALSE(RegValueExists(t.Registry, HKCU, kKey, "Broken"));
  EXPECT_FALSE(RegValueExists(t.Registry, HKCU, kKey, "Unclosed"));
  EXPECT_EQ(ReadRegString(t.Registry, HKCU, kKey, "Path"), "%WINDIR%\\NOTEPAD.EXE");
  EXPECT_FALSE(RegKeyExists(t.Registry, HKCU, "Other"));

  WriteRegBool(t.Registry, HKCU, kKey, "Hint1", false);
  EXPECT_EQ(t.Registry.QueryValue(HKCU, kKey, "Language"), RegValue::Dword(2));
  EXPECT_EQ(t.Registry.QueryValue(HKCU, kKey, "Path")->Type, RegType::ExpandString);
}

TEST(UserRegistryStore, RefusesUnusableKeyPathsAndStoresItCannotCreate) {
  TempRegistry t;
  for (const char *path : {"a\\\\b", "\\a", "a\\", "a\nb"})
    EXPECT_FALSE(t.Registry.SetValue(HKCU, path, "v", RegValue::Dword(1))) << path;

  test::WriteText(t.Dir / "file", "not a folder");
  PosixRegistry blocked(t.Dir / "file" / "orvanta", XdgDirs{});
  WriteRegString(blocked, HKCU, kKey, "Name", "x");
  EXPECT_FALSE(RegValueExists(blocked, HKCU, kKey, "Name"));

  PosixRegistry homeless({}, XdgDirs{}); // no home folder known
  EXPECT_FALSE(homeless.SetValue(HKCU, kKey, "Name", RegValue::Dword(1)));
  EXPECT_FALSE(fs::exists("user.reg"));
}

TEST(UserRegistryStore, WritersAtTheSameTimeLoseNoValue) {
  TempRegistry t;
  auto writer = [&](char prefix) {
    PosixRegistry own(t.StoreFolder, XdgDirs{});
    for (int i = 0; i < 25; ++i)
      WriteRegBool(own, HKCU, kKey, std::string(1, prefix) + std::to_string(i), true);
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  for (char prefix : {'a', 'b'})
    for (int i = 0; i < 25; ++i)
      EXPECT_TRUE(RegValueExists(t.Registry, HKCU, kKey, std::string(1, prefix) + std::to_string(i)));
}

TEST(PosixRegistry, KeepsTheStoreInTheConfigurationHome) {
  const auto lookup = [](std::map<std::string, std::string> vars) -> EnvironmentLookup {
    return [vars](const char *name) {
      const auto it = vars.find(name);
      return it == vars.end() ? std::string{} : it->second;
    };
  };
  const auto folder = [&](std::map<std::string, std::string> vars) {
    return PosixRegistry::UserStoreFolder(XdgDirs::FromEnvironment(lookup(vars)));
  };
  EXPECT_EQ(folder({{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}}), "/cfg/orvanta");
  EXPECT_EQ(folder({{"HOME", "/home/u"}}), "/home/u/.config/orvanta");
  EXPECT_EQ(folder({{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/home/u"}}),
            "/home/u/.config/orvanta");
}

} // namespace
} // namespace orvanta
