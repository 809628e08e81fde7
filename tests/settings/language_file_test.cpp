#include <gtest/gtest.h>

#include "settings/language_file.h"
#include "settings/well_known_folders.h"
#include "text_files.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

TEST(LanguageFile, FollowsThePrivateProfileReadingRules) {
  test::TempDir dir;
  test::WriteText(dir / "t.lng", "\xEF\xBB\xBF[Buttons]\r\n"
                                 "Close=Schlie\xC3\x9F" "en\r\n"
                                 "; a comment\n"
                                 "a line that is neither\n"
                                 "[drive]\n"
                                 "  select   =   Pick one   \n"
                                 "Mode1=\"  quoted  \"\n"
                                 "Mode2='single'\n"
                                 "Mode3=\"unbalanced'\n"
                                 "Mode4=\"\n"
                                 "Found= a = b \n"
                                 "Empty=\n"
                                 "Twice=first\n"
                                 "TWICE=second\n"
                                 "[Other]\n"
                                 "Key=x\n"
                                 "[DRIVE]\n"
                                 "Late=from the second section\n");
  const LanguageFile file(dir / "t.lng");
  EXPECT_EQ(file.Text("Buttons", "Close", "Close"), "Schlie\xC3\x9F" "en");
  EXPECT_EQ(file.Text("Drive", "SELECT", "d"), "Pick one");
  EXPECT_EQ(file.Text("Drive", "Mode1", "d"), "  quoted  ");
  EXPECT_EQ(file.Text("Drive", "Mode2", "d"), "single");
  EXPECT_EQ(file.Text("Drive", "Mode3", "d"), "\"unbalanced'");
  EXPECT_EQ(file.Text("Drive", "Mode4", "d"), "\"");
  EXPECT_EQ(file.Text("Drive", "Found", "d"), "a = b");
  EXPECT_EQ(file.Text("Drive", "Empty", "d"), "");
  EXPECT_EQ(file.Text("Drive", "twice", "d"), "first");
  EXPECT_EQ(file.Text("Drive", "Key", "d"), "d");
  EXPECT_EQ(file.Text("Drive", "Late", "d"), "d");
  EXPECT_EQ(file.Text("Drive", "Missing", "default"), "default");
  EXPECT_EQ(file.Text("Nowhere", "Close", "default"), "default");
}

TEST(LanguageFile, ReturnsAtMost2047CharactersAndNeverHalfOfOne) {
  test::TempDir dir;
  std::string accents;
  for (int i = 0; i < 3000; ++i)
    accents += "\xC3\xA9";
  test::WriteText(dir / "t.lng", "[S]\nAscii=" + std::string(3000, 'x') + "\nAccents=" + accents + "\n");
  const LanguageFile file(dir / "t.lng");
  EXPECT_EQ(file.Text("S", "Ascii", ""), std::string(2047, 'x'));
  EXPECT_EQ(file.Text("S", "Accents", ""), accents.substr(0, 2 * 2047));
}

TEST(LanguageFile, EachLookupSeesTheFileAsItIsNow) {
  test::TempDir dir;
  const LanguageFile file(dir / "t.lng");
  EXPECT_EQ(file.Text("S", "K", "default"), "default");
  test::WriteText(dir / "t.lng", "[S]\nK=one\n");
  EXPECT_EQ(file.Text("S", "K", "default"), "one");
  test::WriteText(dir / "t.lng", "[S]\nK=two\n");
  EXPECT_EQ(file.Text("S", "K", "default"), "two");
  fs::remove(dir / "t.lng");
  EXPECT_EQ(file.Text("S", "K", "default"), "default");
  EXPECT_EQ(LanguageFile().Text("S", "K", "default"), "default");
}

TEST(SelectLanguageFile, MapsTheLanguageSettingToAFile) {
  EXPECT_EQ(SelectLanguageFile(1), "English.lng");
  EXPECT_EQ(SelectLanguageFile(2), "German.lng");
  EXPECT_EQ(SelectLanguageFile(3), "French.lng");
  for (std::uint32_t other : {0u, 4u, 7u, 0xFFFFFFFFu})
    EXPECT_EQ(SelectLanguageFile(other), "English.lng") << other;
}

TEST(OpenLanguageFile, WithoutTheLanguagesFolderEveryTextIsTheDefault) {
  test::TempDir programFolder;
  const LanguageFile file = OpenLanguageFile(programFolder.Path(), 2);
  EXPECT_EQ(file.Path(), programFolder / "Languages" / "German.lng");
  EXPECT_EQ(file.Text("Errors", "Message1", "Drive not found!"), "Drive not found!");
}

TEST(OpenLanguageFile, AKeyMissingFromTheChosenFileShowsItsEnglishDefault) {
  // German.lng as shipped, less its [Buttons] Find line.
  const fs::path shipped = InitFolders().ProgramFolder / "Languages" / "German.lng";
  std::string text = test::ReadText(shipped);
  const auto find = text.find("\nFind=");
  ASSERT_NE(find, std::string::npos);
  text.erase(find, text.find('\n', find + 1) - find);

  test::TempDir programFolder;
  test::WriteText(programFolder / "Languages" / "German.lng", text);
  const LanguageFile file = OpenLanguageFile(programFolder.Path(), 2);
  EXPECT_EQ(file.Text("Buttons", "Find", "Find"), "Find");
  EXPECT_EQ(file.Text("buttons", "wipe", "Wipe"), "Bereinigen");
}

} // namespace
} // namespace orvanta
