#include <gtest/gtest.h>

#include "scan/mask.h"

namespace orvanta {
namespace {

bool Match(const std::string &mask, const std::string &name) {
  std::string error;
  const auto m = FileMask::Compile(mask, error);
  EXPECT_TRUE(m) << error;
  return m && m->Matches(name);
}

TEST(FileMask, StarsAndQuestionMarks) {
  EXPECT_TRUE(Match("*.jpg", "photo.JPG"));
  EXPECT_FALSE(Match("*.jpg", "photo.jpeg"));
  EXPECT_TRUE(Match("?.txt", "a.txt"));
  EXPECT_FALSE(Match("?.txt", "ab.txt"));
  EXPECT_TRUE(Match("*", ""));
  EXPECT_TRUE(Match("a*b*c", "aXXbYYbc"));
  EXPECT_FALSE(Match("a*b*c", "aXXbYYbcd"));
  EXPECT_TRUE(Match("IMG_????.*", "img_1003.jpg"));
  EXPECT_FALSE(Match("*.*", "README")); // matched as a mask, "*.*" needs a dot
  EXPECT_TRUE(AdmitsEverything("*.*"));
  EXPECT_FALSE(AdmitsEverything("*"));
}

TEST(FileMask, SetsRangesAndNegation) {
  EXPECT_TRUE(Match("[abc]*", "Beta"));
  EXPECT_FALSE(Match("[abc]*", "delta"));
  EXPECT_TRUE(Match("file[0-9].txt", "file7.txt"));
  EXPECT_FALSE(Match("file[0-9].txt", "filex.txt"));
  EXPECT_TRUE(Match("[!abc]*", "delta"));
  EXPECT_FALSE(Match("[!abc]*", "alpha"));
  EXPECT_TRUE(Match("[a-c][x-z]", "BY"));
}

TEST(FileMask, LetterCaseNeverCountsInAnyScript) {
  EXPECT_TRUE(Match("фото*.jpg", "ФОТО_1.JPG"));
  EXPECT_TRUE(Match("*é*", "CAFÉ"));
}

// A name whose first letter was lost shows "х" there; any mask character
// that matches one character matches it, and nothing else changes.
TEST(FileMask, ALostFirstLetterMatchesAnyOneCharacter) {
  struct Case {
    const char *Mask;
    const char *Name;
    bool Lost;
    bool Matches;
  } const cases[] = {
      {"IMG_*", "хMG_0001.JPG", true, true},
      {"xMG*", "хMG_0001.JPG", true, true},
      {"?MG_*", "хMG_0001.JPG", true, true},
      {"[a-c]MG_*", "хMG_0001.JPG", true, true},
      {"*.JPG", "хMG_0001.JPG", true, true},
      {"IMG_*", "хMG_0001.JPG", false, false}, // a real "х" is a letter of its own
      {"IMG_*", "хIMG_0001.JPG", true, false},  // it takes exactly one character
      {"IXG_*", "хMG_0001.JPG", true, false},   // only the first
      {"I", "х", true, true},
      {"", "х", true, false},
  };
  for (const auto &c : cases) {
    std::string error;
    const auto m = FileMask::Compile(c.Mask, error);
    ASSERT_TRUE(m) << error;
    EXPECT_EQ(m->Matches(c.Name, c.Lost), c.Matches) << c.Mask << " " << c.Name;
  }
}

TEST(FileMask, TypedNamesNameShownOnesLetterCaseAndALostLetterAside) {
  EXPECT_TRUE(NamesShownName("img_0001.jpg", "IMG_0001.JPG", false));
  EXPECT_TRUE(NamesShownName("IMG_0001.JPG", "хMG_0001.JPG", true));
  EXPECT_TRUE(NamesShownName("хmg_0001.jpg", "хMG_0001.JPG", true));
  EXPECT_FALSE(NamesShownName("IMG_0001.JPG", "хMG_0001.JPG", false));
  EXPECT_FALSE(NamesShownName("IMG_0002.JPG", "хMG_0001.JPG", true));
  EXPECT_FALSE(NamesShownName("MG_0001.JPG", "хMG_0001.JPG", true));
  EXPECT_FALSE(NamesShownName("", "х", true));
}

TEST(FileMask, AnUnclosedSetIsRefusedWithItsPosition) {
  std::string error;
  EXPECT_FALSE(FileMask::Compile("*.[jp", error));
  EXPECT_EQ(error, "'*.[jp' is an invalid mask at (6)");
  EXPECT_FALSE(FileMask::Compile("[!", error));
  EXPECT_EQ(error, "'[!' is an invalid mask at (3)");
}

} // namespace
} // namespace orvanta
