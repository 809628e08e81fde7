#include <gtest/gtest.h>

#include "scan/entry_decoding.h"
#include "support/crafted_volume.h"

namespace orvanta {
namespace {

using test::DirEntry;

std::optional<ShortEntry> Decode(const std::vector<DirEntry> &entries, int fatType = 16) {
  EntryWalker walker(fatType);
  std::optional<ShortEntry> last;
  for (const auto &e : entries)
    if (auto decoded = walker.Examine(e))
      last = decoded;
  return last;
}

TEST(ShortNameCharTable, MapsDosCyrillicToWindowsCyrillic) {
  EXPECT_EQ(ShortNameChar(0x80), 0xC0);
  EXPECT_EQ(ShortNameChar(0x8F), 0xCF);
  EXPECT_EQ(ShortNameChar(0xAF), 0xEF);
  EXPECT_EQ(ShortNameChar(0xB0), 0xB0);
  EXPECT_EQ(ShortNameChar(0xC4), 0x97);
  EXPECT_EQ(ShortNameChar(0xDF), 0xDF);
  EXPECT_EQ(ShortNameChar(0xE0), 0xF0);
  EXPECT_EQ(ShortNameChar(0xE5), 0xF5);
  EXPECT_EQ(ShortNameChar(0xEF), 0xFF);
  EXPECT_EQ(ShortNameChar(0xF0), 0xA8);
  EXPECT_EQ(ShortNameChar(0xF1), 0xB8);
  EXPECT_EQ(ShortNameChar(0xF2), 0xF2);
  EXPECT_EQ(ShortNameChar(0xFE), 0xFE);
  EXPECT_EQ(ShortNameChar(0xFF), 0xA9);
  EXPECT_EQ(ShortNameChar(0x41), 0x41);
}

TEST(ShortNames, ADeletedShortNameStartsWithTheTableCharacterForE5) {
  const auto e = Decode({test::Deleted(test::ShortEntry("PHOTO   JPG", 0x20, 5, 10))});
  ASSERT_TRUE(e);
  // 0xE5 becomes 0xF5 through the table: Cyrillic small letter ha, U+0445.
  EXPECT_EQ(e->Name, "\xD1\x85HOTO.JPG");
  EXPECT_TRUE(e->IsDeleted());
}

TEST(ShortNames, PaddingIsTrimmedAndAnEmptyExtensionAddsNoDot) {
  EXPECT_EQ(Decode({test::ShortEntry("README     ", 0x20, 5, 10)})->Name, "README");
  EXPECT_EQ(Decode({test::ShortEntry("A       B  ", 0x20, 5, 10)})->Name, "A.B");
  // A name byte from 0x80 goes through the table; an extension byte is
  // Windows-1251 as it is.
  EXPECT_EQ(Decode({test::ShortEntry("\x8F       \xC0  ", 0x20, 5, 10)})->Name,
            "\xD0\x9F.\xD0\x90"); // 0x8F -> 0xCF: U+041F . U+0410
}

TEST(ShortNames, DotEntriesAndEmptyNamesAreNotNames) {
  EXPECT_FALSE(Decode({test::ShortEntry(".", 0x10, 5, 0)})->Named());
  EXPECT_FALSE(Decode({test::ShortEntry("..", 0x10, 0, 0)})->Named());
  EXPECT_FALSE(Decode({test::ShortEntry("", 0x20, 0, 0)})->Named());
  EXPECT_TRUE(Decode({test::ShortEntry("X", 0x20, 0, 0)})->Named());
}

TEST(LongNames, PiecesAssembleInFrontOfTheShortEntryEvenWhenDeleted) {
  auto pieces = test::LongEntries(u"A long file name.jpeg");
  ASSERT_EQ(pieces.size(), 2u);
  auto entries = test::Deleted(pieces);
  entries.push_back(test::Deleted(test::ShortEntry("ALONGF~1JPE", 0x20, 9, 100)));
  const auto e = Decode(entries);
  EXPECT_EQ(e->Name, "A long file name.jpeg");
  EXPECT_TRUE(e->HasLongName);
}

TEST(LongNames, PaddingAndTheTerminatorAreDropped) {
  DirEntry piece{};
  piece[0] = 0x41;
  piece[11] = 0x0F;
  const std::uint8_t chars[] = {0x41, 0x00, 0x62, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  std::copy(std::begin(chars), std::end(chars), piece.begin() + 1);
  for (std::size_t i : {14, 16, 18, 20, 22, 24, 28, 30}) {
    piece[i] = 0xFF;
    piece[i + 1] = 0xFF;
  }
  EXPECT_EQ(Decode({piece, test::ShortEntry("AB         ", 0x20, 3, 1)})->Name, "Ab");
}

// Pieces that hold only padding, terminators or blanks name nothing: the
// entry keeps its short name rather than being passed over as unnamed.
TEST(LongNames, APieceOfOnlyPaddingLeavesTheShortName) {
  struct Case {
    const char *Why;
    std::uint16_t Fill;     // every character slot
    std::uint16_t First;    // the first slot
  } const cases[] = {
      {"all_padding", 0xFFFF, 0xFFFF},
      {"terminator_then_padding", 0xFFFF, 0x0000},
      {"blanks", 0x0020, 0x0020},
  };
  for (const auto &c : cases) {
    DirEntry piece{};
    piece[0] = 0x41;
    piece[11] = 0x0F;
    bool first = true;
    for (std::size_t i : {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30}) {
      const std::uint16_t v = first ? c.First : c.Fill;
      piece[i] = std::uint8_t(v & 0xFF);
      piece[i + 1] = std::uint8_t(v >> 8);
      first = false;
    }
    const auto e = Decode({test::Deleted(piece), test::Deleted(test::ShortEntry("PHOTO   JPG", 0x20, 5, 10))});
    ASSERT_TRUE(e) << c.Why;
    EXPECT_EQ(e->Name, "\xD1\x85HOTO.JPG") << c.Why;
    EXPECT_FALSE(e->HasLongName) << c.Why;
    EXPECT_TRUE(e->FirstLetterLost()) << c.Why;
  }
}

TEST(LongNames, NonLatinScriptsAndSurrogatePairsBecomeUtf8) {
  auto entries = test::LongEntries(u"Привет \U0001F600.doc");
  entries.push_back(test::ShortEntry("1F600~1 DOC", 0x20, 3, 1));
  EXPECT_EQ(Decode(entries)->Name, "Привет 😀.doc");
}

TEST(LongNames, APendingNameIsEmptiedByEveryShortEntry) {
  auto entries = test::LongEntries(u"first.txt");
  entries.push_back(test::ShortEntry("FIRST   TXT", 0x20, 3, 1));
  entries.push_back(test::ShortEntry("SECOND  TXT", 0x20, 4, 1));
  EXPECT_EQ(Decode(entries)->Name, "SECOND.TXT");
}

TEST(Attributes, DirectoryBitAndLongNamePieces) {
  EXPECT_TRUE(Decode({test::ShortEntry("D", 0x10, 3, 0)})->IsDirectory);
  EXPECT_TRUE(Decode({test::ShortEntry("D", 0x30, 3, 0)})->IsDirectory);
  EXPECT_FALSE(Decode({test::ShortEntry("F", 0x20, 3, 0)})->IsDirectory);
  // 0x0F is a long-name piece though its low bits are those of a label.
  EXPECT_FALSE(Decode({test::ShortEntry("F", 0x0F, 3, 0)}).has_value());
  EXPECT_TRUE(Decode({test::ShortEntry("F", 0x1F, 3, 0)})->IsDirectory);
}

TEST(FirstCluster, Fat32AddsTheHighWord) {
  const auto entry = test::ShortEntry("F", 0x20, 0x00030002, 0);
  EXPECT_EQ(Decode({entry}, 16)->FirstCluster, 2u);
  EXPECT_EQ(Decode({entry}, 32)->FirstCluster, 0x00030002u);
}

TEST(Size, IsSigned) {
  EXPECT_EQ(Decode({test::ShortEntry("F", 0x20, 3, 0x80000000u)})->Size, INT32_MIN);
}

TEST(TextHelpers, PadBitsAndPowers) {
  EXPECT_EQ(ZeroPad(7, 2), "07");
  EXPECT_EQ(ZeroPad(123, 2), "123");
  EXPECT_EQ(ZeroPad(0, 3), "000");
  EXPECT_EQ(ByteToBits(5), "00000101");
  EXPECT_EQ(ByteToBits(0x10), "00010000");
  EXPECT_EQ(BitsToInt("0000011111100001"), 2017);
  EXPECT_EQ(BitsToInt(""), 0);
  EXPECT_EQ(BitsToInt("1x1"), 5);
  EXPECT_EQ(PowerOfTwo(0), 1);
  EXPECT_EQ(PowerOfTwo(-3), 1);
  EXPECT_EQ(PowerOfTwo(10), 1024);
}

// The date and time fields decode as the bit texts say, for every word.
TEST(LastWriteDecoding, AgreesWithTheBitTextsForEveryWord) {
  for (std::uint32_t word = 0; word <= 0xFFFF; ++word) {
    DirEntry e{};
    e[22] = e[24] = static_cast<std::uint8_t>(word);
    e[23] = e[25] = static_cast<std::uint8_t>(word >> 8);
    const std::string bits = ByteToBits(e[25]) + ByteToBits(e[24]);
    const LastWrite w = DecodeLastWrite(e);
    ASSERT_EQ(w.YearOffset, BitsToInt(bits.substr(0, 7))) << word;
    ASSERT_EQ(w.Month, BitsToInt(bits.substr(7, 4))) << word;
    ASSERT_EQ(w.Day, BitsToInt(bits.substr(11, 5))) << word;
    ASSERT_EQ(w.Hours, BitsToInt(bits.substr(0, 5))) << word;
    ASSERT_EQ(w.Minutes, BitsToInt(bits.substr(5, 6))) << word;
  }
}

TEST(LastWriteDecoding, LimitsAndTexts) {
  DirEntry e = test::ShortEntry("F", 0x20, 3, 1, 0x5087, test::FatTime(24, 0));
  LastWrite w = DecodeLastWrite(e);
  EXPECT_TRUE(IsPlausible(w, 40));
  EXPECT_EQ(FoundDateTimeOf(w).Text(), "2020/04/07 24:00");
  // Year offset 41 (2021): past a limit of 40, inside the current one.
  w = DecodeLastWrite(test::ShortEntry("F", 0x20, 3, 1, test::FatDate(2021, 1, 1)));
  EXPECT_FALSE(IsPlausible(w, 40));
  EXPECT_TRUE(IsPlausible(w, 46));
  EXPECT_TRUE(IsPlausible(DecodeLastWrite(test::ShortEntry("F", 0x20, 3, 1, 0, 0)), 46));
  w = DecodeLastWrite(test::ShortEntry("F", 0x20, 3, 1, test::FatDate(2019, 5, 7),
                                       static_cast<std::uint16_t>(9 << 11 | 61 << 5)));
  EXPECT_FALSE(IsPlausible(w, 46)); // minutes 61
  w = DecodeLastWrite(test::ShortEntry("F", 0x20, 3, 1, test::FatDate(2019, 13, 7)));
  EXPECT_FALSE(IsPlausible(w, 46)); // month 13
  w = DecodeLastWrite(test::ShortEntry("F", 0x20, 3, 1, test::FatDate(2019, 5, 7),
                                       test::FatTime(9, 5)));
  EXPECT_EQ(FoundDateTimeOf(w).Text(), "2019/05/07 09:05");
}

TEST(DisplayNames, LowerCaseFlagsApplyToNameAndExtension) {
  auto e = test::ShortEntry("DOCS       ", 0x10, 3, 0);
  e[12] = 0x08;
  EXPECT_EQ(ShortEntryDisplayName(e), "docs");
  e = test::ShortEntry("README  TXT", 0x20, 3, 0);
  e[12] = 0x10;
  EXPECT_EQ(ShortEntryDisplayName(e), "README.txt");
  e[12] = 0x18;
  EXPECT_EQ(ShortEntryDisplayName(e), "readme.txt");
  EXPECT_EQ(ShortEntryName(e), "README.TXT");
}

} // namespace
} // namespace orvanta
