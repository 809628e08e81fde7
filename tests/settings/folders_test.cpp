#include <gtest/gtest.h>

#include <map>

#include "settings/well_known_folders.h"
#include "text_files.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

EnvironmentLookup Env(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const char *name) {
    const auto it = vars.find(name);
    return it == vars.end() ? std::string{} : it->second;
  };
}

TEST(InitFolders, FindsEachFolderWithItsTrailingSeparator) {
  const auto folders = InitFolders("/opt/orvanta/bin/orvanta", Env({{"HOME", "/home/ann"}}));
  EXPECT_EQ(folders.ProgramFolder, "/opt/orvanta/bin");
  EXPECT_EQ(folders.WindowsFolder, "/");
  EXPECT_EQ(folders.ProgramFilesFolder, "/usr/");
  EXPECT_EQ(folders.UserProfileFolder, "/home/ann/");
  EXPECT_EQ(folders.TempFolder, "/tmp/");
  EXPECT_EQ(InitFolders("/x/y", Env({{"XDG_CONFIG_HOME", "/srv/cfg/ann/"}})).UserProfileFolder,
            "/srv/cfg/");
}

TEST(InitFolders, TakesTheFirstTemporaryFolderThatIsSet) {
  const auto temp = [](std::map<std::string, std::string> vars) {
    vars["HOME"] = "/home/ann";
    return InitFolders("/x/y", Env(vars)).TempFolder.string();
  };
  EXPECT_EQ(temp({{"TEMP", "/t1"}, {"TMP", "/t2"}, {"TMPDIR", "/t3"}}), "/t1/");
  EXPECT_EQ(temp({{"TEMP", ""}, {"TMP", "/t2/"}, {"TMPDIR", "/t3"}}), "/t2/");
  EXPECT_EQ(temp({{"TMPDIR", "/t3"}}), "/t3/");
  EXPECT_EQ(temp({{"TEMP", "%USERPROFILE%\\tmp"}}), "/home/ann/tmp/");
}

TEST(InitFolders, TheRunningProgramsFolderHoldsItsExecutable) {
  const fs::path exe = RunningExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_TRUE(fs::is_regular_file(exe));
  EXPECT_EQ(InitFolders().ProgramFolder, exe.parent_path());
}

TEST(ExpandFolderVariables, ReplacesOnlyVariablesWrittenInUpperCase) {
  WellKnownFolders folders;
  folders.WindowsFolder = "C:\\WINDOWS\\";
  folders.ProgramFilesFolder = "C:\\Program Files\\";
  folders.UserProfileFolder = "/home/ann/";
  EXPECT_EQ(ExpandFolderVariables(folders, "%windir%\\notepad.exe"), "%windir%\\notepad.exe");
  EXPECT_EQ(ExpandFolderVariables(folders, "%WINDIR%\\a %windir%\\b %WinDir%\\c"),
            "C:\\WINDOWS\\a C:\\WINDOWS\\b C:\\WINDOWS\\c");
  EXPECT_EQ(ExpandFolderVariables(folders, "%SYSTEMROOT%\\x %PROGRAMFILES(X86)%\\y %USERPROFILE%\\z"),
            "C:\\WINDOWS\\x C:\\Program Files\\y /home/ann/z");
  EXPECT_EQ(ExpandFolderVariables(folders, "%WINDIR% %TEMP%\\x %PROGRAMFILES%"),
            "%WINDIR% %TEMP%\\x %PROGRAMFILES%");
}

TEST(ForceFolder, CreatesEveryMissingParentAndFailsQuietly) {
  test::TempDir dir;
  ForceFolder(dir / "a" / "b" / "c");
  EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
  test::WriteText(dir / "file", "");
  ForceFolder(dir / "file" / "sub");
  EXPECT_FALSE(fs::exists(dir / "file" / "sub"));
}

} // namespace
} // namespace orvanta
