#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "exfat/entry_sets.h"

namespace orvanta::exfat {
namespace {

std::vector<std::uint8_t> Hex(std::string_view text) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
  return out;
}

struct SetCase {
  const char *Fault;
  const char *Bytes; // the set's entries as hex
  bool Parses;
  bool Deleted = false;
  const char *Name = "";
  bool NoFatChain = false;
  std::uint32_t FirstCluster = 0;
  std::uint64_t DataLength = 0;
  std::uint64_t ValidDataLength = 0;
};

// Sets as a card holds them: a file "a.txt" of 1000 bytes at cluster 5, in
// use and deleted; a deleted FAT-chained file with a valid length below its
// length; a deleted set whose third slot a later file took; a name with a
// surrogate pair; a name longer than its name entries.
const SetCase kSets[] = {
    {"live_file",
     "8502bc35200000000539a6580539a6580539a658969688888800000000000000"
     "c003000500000000e8030000000000000000000005000000e803000000000000"
     "c10061002e007400780074000000000000000000000000000000000000000000",
     true, false, "a.txt", true, 5, 1000, 1000},
    {"deleted_file_checksum_with_inuse_set_again",
     "0502bc35200000000539a6580539a6580539a658969688888800000000000000"
     "4003000500000000e8030000000000000000000005000000e803000000000000"
     "410061002e007400780074000000000000000000000000000000000000000000",
     true, true, "a.txt", true, 5, 1000, 1000},
    {"deleted_chained_file_valid_length_below_length",
     "0503539e200000000539a6580539a6580539a658969688888800000000000000"
     "4001001200000000001000000000000000000000090000007011010000000000"
     "410048006f006c0069006400610079002000700068006f0074006f002e006a00"
     "4100700065006700000000000000000000000000000000000000000000000000",
     true, true, "Holiday photo.jpeg", false, 9, 70000, 4096},
    {"deleted_set_with_a_slot_taken_by_a_later_file",
     "0502bc35200000000539a6580539a6580539a658969688888800000000000000"
     "4003000500000000e8030000000000000000000005000000e803000000000000"
     "c10061002e007400780074000000000000000000000000000000000000000000",
     false},
    {"surrogate_pair_name",
     "8502f8f4200000000539a6580539a6580539a658969688888800000000000000"
     "c003000600000000e8030000000000000000000005000000e803000000000000"
     "c1003dd800de2e006a0070006700000000000000000000000000000000000000",
     true, false, "\xF0\x9F\x98\x80.jpg", true, 5, 1000, 1000},
    {"name_longer_than_its_set",
     "85020d9c200000000539a6580539a6580539a658969688888800000000000000"
     "c003001400000000e8030000000000000000000005000000e803000000000000"
     "c1006100620063006400650066006700680069006a006b006c006d006e006f00",
     false},
    {"set_count_past_the_end",
     "8512bc35200000000539a6580539a6580539a658969688888800000000000000"
     "c003000500000000e8030000000000000000000005000000e803000000000000"
     "c10061002e007400780074000000000000000000000000000000000000000000",
     false},
};

TEST(EntrySets, ParsesSoundSetsAndRefusesBrokenOnes) {
  for (const auto &c : kSets) {
    SCOPED_TRACE(c.Fault);
    const auto bytes = Hex(c.Bytes);
    const auto set = ParseEntrySet(bytes, 0);
    ASSERT_EQ(set.has_value(), c.Parses);
    if (!set)
      continue;
    EXPECT_EQ(set->Deleted, c.Deleted);
    EXPECT_EQ(set->Name, c.Name);
    EXPECT_EQ(set->NoFatChain, c.NoFatChain);
    EXPECT_EQ(set->FirstCluster, c.FirstCluster);
    EXPECT_EQ(set->DataLength, c.DataLength);
    EXPECT_EQ(set->ValidDataLength, c.ValidDataLength);
    EXPECT_EQ(set->Entries * 32, bytes.size());
    EXPECT_FALSE(set->IsDirectory);
  }
}

TEST(EntrySets, WalkEndsAtTheEndOfDirectoryAndSkipsBrokenSets) {
  // A broken set, a sound one, the end entry, then a set past the end.
  auto dir = Hex(kSets[3].Bytes);
  const auto live = Hex(kSets[0].Bytes);
  dir.insert(dir.end(), live.begin(), live.end());
  dir.insert(dir.end(), 32, 0);
  dir.insert(dir.end(), live.begin(), live.end());
  std::vector<std::size_t> offsets;
  EXPECT_TRUE(ForEachEntrySet(dir, [&](const EntrySet &s) {
    offsets.push_back(s.Offset);
    return true;
  }));
  EXPECT_EQ(offsets, std::vector<std::size_t>{96});
  // A set cut short by the end of the bytes is not read past them.
  EXPECT_FALSE(ParseEntrySet(std::span(live).first(64), 0));
  EXPECT_FALSE(ParseEntrySet(live, 40));
}

TEST(EntrySets, TimestampsCarryTenMillisecondsAndTheZone) {
  struct Case {
    std::uint32_t Stamp;
    std::uint8_t TenMs, Offset;
    Timestamp Want;
  } cases[] = {
      // 2024-05-06 07:08:10 + 1.50 s, UTC+2.
      {(44u << 25) | (5u << 21) | (6u << 16) | (7u << 11) | (8u << 5) | 5, 150, 0x88,
       {2024, 5, 6, 7, 8, 11, 50, 120}},
      // 2025-12-31 23:59:58 + 1.99 s, UTC-5 (seven-bit two's complement).
      {(45u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29, 199, 0xEC,
       {2025, 12, 31, 23, 59, 59, 99, -300}},
      // No zone recorded; a 10 ms field past 199 is ignored.
      {0, 250, 0x08, {1980, 0, 0, 0, 0, 0, 0, std::nullopt}},
  };
  for (const auto &c : cases) {
    const Timestamp t = DecodeTimestamp(c.Stamp, c.TenMs, c.Offset);
    EXPECT_EQ(std::tuple(t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Centiseconds),
              std::tuple(c.Want.Year, c.Want.Month, c.Want.Day, c.Want.Hour, c.Want.Minute,
                         c.Want.Second, c.Want.Centiseconds));
    EXPECT_EQ(t.UtcOffsetMinutes, c.Want.UtcOffsetMinutes);
  }
}

} // namespace
} // namespace orvanta::exfat
