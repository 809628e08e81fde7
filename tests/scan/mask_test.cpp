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

TEST(FileMask, AnUnclosedSetIsRefusedWithItsPosition) {
  std::string error;
  EXPECT_FALSE(FileMask::Compile("*.[jp", error));
  EXPECT_EQ(error, "'*.[jp' is an invalid mask at (6)");
  EXPECT_FALSE(FileMask::Compile("[!", error));
  EXPECT_EQ(error, "'[!' is an invalid mask at (3)");
}

} // namespace
} // namespace orvanta
