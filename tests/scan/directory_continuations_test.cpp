#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "scan/directory_continuations.h"
#include "scan/found_file_row.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::EngineFixture;

// One 32-byte slot: hex bytes in the order they lie on disk, "text" for
// its bytes, u"text" for its UTF-16LE code units.
std::vector<std::uint8_t> Slot(std::string_view dump) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < dump.size();) {
    if (dump[i] == ' ') {
      ++i;
    } else if (dump[i] == '"' || dump[i] == 'u') {
      const bool wide = dump[i] == 'u';
      for (i += wide ? 2 : 1; dump[i] != '"'; ++i) {
        out.push_back(static_cast<std::uint8_t>(dump[i]));
        if (wide)
          out.push_back(0);
      }
      ++i;
    } else {
      out.push_back(static_cast<std::uint8_t>(std::stoi(std::string(dump.substr(i, 2)), nullptr, 16)));
      i += 2;
    }
  }
  EXPECT_EQ(out.size(), 32u) << dump;
  return out;
}

// Clusters up to 4001 of 2 KiB.
const EntryLimits kLimits{16, 4001, 4000 * 2048};

// As mtools writes them: IMG_0001.JPG, 4 KiB at cluster 3, and the long
// name "Holiday photo.jpg" (checksum 0xAE) with its short entry.
constexpr const char *kPhoto = R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0300 00100000)";
constexpr const char *kPhoto2 = R"("IMG_0002JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0500 00100000)";
constexpr const char *kHolidayEnd = R"(42 u".jpg" 0000 0f 00 ae ffffffffffffffffffffffff 0000 ffffffff)";
constexpr const char *kHolidayStart = R"(01 u"Holid" 0f 00 ae u"ay pho" 0000 u"to")";
constexpr const char *kHoliday = R"("HOLIDA~1JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0700 00200000)";

struct Case {
  const char *Name;
  std::vector<const char *> Slots; // then zero slots up to four
  const char *Expected;            // short entries, checked names, flags; "-": not sound
};

TEST(ReadEntryRun, TellsDirectoryEntriesFromOtherBytes) {
  const Case cases[] = {
      {"two_photos_then_the_end_mark", {kPhoto, kPhoto2}, "2 0"},
      {"long_name_with_its_checksum", {kHolidayEnd, kHolidayStart, kHoliday}, "1 1"},
      {"full_of_entries", {kPhoto, kPhoto2, kPhoto, kPhoto2}, "4 0 full"},
      {"name_begun_in_the_cluster_before", {kHolidayStart, kHoliday}, "1 1 mid"},
      {"name_left_open_at_the_end", {kPhoto, kPhoto2, kPhoto, kHolidayEnd}, "3 0 full"},
      {"deleted_long_name_and_entry",
       {R"(e5 u".jpg" 0000 0f 00 ae ffffffffffffffffffffffff 0000 ffffffff)", R"(e5 u"Holid" 0f 00 ae u"ay pho" 0000 u"to")",
        R"(e5 "OLIDA~1JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0700 00200000)"},
       "1 0"},
      {"checksum_does_not_fit", {kHolidayEnd, kHolidayStart, kPhoto}, "-"},
      {"ordinals_skip_one", {R"(43 u".jpg" 0000 0f 00 ae ffffffffffffffffffffffff 0000 ffffffff)", kHolidayStart, kHoliday}, "-"},
      {"name_begun_mid_cluster", {kPhoto, kHolidayStart, kHoliday}, "-"},
      {"inner_piece_ends_the_name", {kHolidayEnd, R"(01 u"Holid" 0f 00 ae u"ay" 0000 ffffffffffff 0000 ffffffff)", kHoliday}, "-"},
      {"piece_with_a_cluster", {R"(41 u"Holid" 0f 00 ae u"ay pho" 0300 u"to")", kHoliday}, "-"},
      {"live_piece_before_deleted_entry",
       {kHolidayEnd, kHolidayStart, R"(e5 "OLIDA~1JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0700 00200000)"}, "-"},
      {"piece_before_the_end_mark", {kPhoto, kHolidayEnd}, "-"},
      {"lower_case_short_name", {R"("img_0001jpg" 20 00 00 4246 885d 885d 0000 4246 885d 0300 00100000)", kPhoto2}, "-"},
      {"blank_inside_short_name", {R"("IMG 0001JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0300 00100000)", kPhoto2}, "-"},
      {"volume_label", {R"("CARD       " 08 00 00 4246 885d 885d 0000 4246 885d 0000 00000000)", kPhoto2}, "-"},
      {"unknown_attribute_bit", {R"("IMG_0001JPG" 60 00 00 4246 885d 885d 0000 4246 885d 0300 00100000)", kPhoto2}, "-"},
      {"written_on_month_zero", {R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0000 4246 0058 0300 00100000)", kPhoto2}, "-"},
      {"written_at_minute_sixty", {R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0000 8047 885d 0300 00100000)", kPhoto2}, "-"},
      {"file_size_without_cluster", {R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0000 00100000)", kPhoto2}, "-"},
      {"file_larger_than_the_volume", {R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0300 00008000)", kPhoto2}, "-"},
      {"cluster_past_the_data_area", {R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0000 4246 885d a20f 00100000)", kPhoto2}, "-"},
      {"high_cluster_word_on_fat16", {R"("IMG_0001JPG" 20 00 00 4246 885d 885d 0100 4246 885d 0300 00100000)", kPhoto2}, "-"},
      {"folder_with_a_size", {R"("100CANON   " 10 00 00 4246 885d 885d 0000 4246 885d 0300 00100000)", kPhoto2}, "-"},
      {"bytes_after_the_end_mark", {kPhoto, R"(00 "MG_0002JPG" 20 00 00 4246 885d 885d 0000 4246 885d 0500 00100000)"}, "-"},
      {"jpeg_end_in_slack", {"a1b2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f60718293a4b5c6d7effd9"}, "-"},
      {"text_in_slack", {R"("The card was formatted on Monday")", R"("IMG_0001.JPG and IMG_0002.JPG   ")"}, "-"},
      {"nothing_used", {}, "-"},
  };
  for (const auto &c : cases) {
    std::vector<std::uint8_t> bytes;
    for (const auto *slot : c.Slots) {
      const auto b = Slot(slot);
      bytes.insert(bytes.end(), b.begin(), b.end());
    }
    bytes.resize(std::max<std::size_t>(bytes.size(), 4 * 32), 0);
    const EntryRun run = ReadEntryRun(bytes, kLimits);
    const std::string got = !run.Sound ? "-"
                                       : std::to_string(run.ShortEntries) + " " + std::to_string(run.CheckedNames) +
                                             (run.OpensMidName ? " mid" : "") + (run.LastSlotUsed ? " full" : "");
    EXPECT_EQ(got, c.Expected) << c.Name;
  }
}

// Clusters of photo and text data, cut off at every slot border with the
// rest zero as in the slack after a file's end, never read as entries.
TEST(ReadEntryRun, DataAndItsSlackAreNotEntries) {
  int sound = 0, tried = 0;
  for (std::uint32_t seed = 1; seed <= 600; ++seed) {
    auto random = test::PatternBytes(2048, seed);
    // JPEG-like: marker bytes and stuffed zeros among the entropy.
    auto jpeg = random;
    for (std::size_t i = 0; i + 1 < jpeg.size(); i += 7)
      jpeg[i] = (seed + i) % 3 ? 0xFF : 0x00;
    std::string text;
    while (text.size() < 2048)
      text += "IMG_" + std::to_string(seed * 31 + text.size()) + ".JPG 2026-12-08 08:50 4096 bytes, ";
    for (const auto *data : {&random, &jpeg}) {
      for (std::size_t used = 32; used <= 2048; used += 32) {
        std::vector<std::uint8_t> cluster(data->begin(), data->begin() + static_cast<std::ptrdiff_t>(used));
        cluster.resize(2048, 0);
        sound += ReadEntryRun(cluster, kLimits).Sound;
        ++tried;
      }
    }
    std::vector<std::uint8_t> cluster(text.begin(), text.begin() + 2048);
    sound += ReadEntryRun(cluster, kLimits).Sound;
    ++tried;
  }
  EXPECT_EQ(sound, 0) << "of " << tried;
}

// `count` files named prefix01.JPG, prefix02.JPG ...
std::vector<test::DirEntry> Files(const std::string &prefix, int count, bool deleted = false) {
  std::vector<test::DirEntry> out;
  for (int i = 1; i <= count; ++i) {
    auto e = test::ShortEntry(prefix + (i < 10 ? "0" : "") + std::to_string(i) + "     JPG", 0x20,
                              40 + std::uint32_t(i), 100);
    out.push_back(deleted ? test::Deleted(e) : e);
  }
  return out;
}

// A formatted FAT16 card of one-sector clusters (16 entries each) whose old
// directory clusters lie free among the clusters of a live folder.
TEST(DeepScan, LaterClustersGoOnFromTheLastFullFreeDirectoryClusterElseToALostFolder) {
  test::CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 64});
  v.PutEntries(v.RootOffset(), {test::ShortEntry("CARD       ", 0x08, 0, 0),
                                test::ShortEntry("LIVE       ", 0x10, 14, 0)});
  auto first = test::DotPair(5, 0);
  for (const auto &e : Files("A", 14))
    first.push_back(e);
  v.PutEntries(v.ClusterOffset(5), first);
  v.PutEntries(v.ClusterOffset(9), Files("B", 16));
  v.PutEntries(v.ClusterOffset(10), Files("C", 1)); // one entry goes on from a full cluster
  v.PutEntries(v.ClusterOffset(12), Files("D", 2)); // cluster 10 was not full
  v.PutEntries(v.ClusterOffset(13), Files("X", 1)); // too little on its own
  // The live folder: a full first cluster and a full second one, chained.
  auto live = test::DotPair(14, 0);
  for (const auto &e : Files("L", 14))
    live.push_back(e);
  v.PutEntries(v.ClusterOffset(14), live);
  auto second = Files("M", 1, /*deleted=*/true);
  for (const auto &e : Files("N", 15))
    second.push_back(e);
  v.PutEntries(v.ClusterOffset(15), second);
  v.Chain({14, 15});
  // Free: follows the live folder, but goes on from nothing free and full.
  v.PutEntries(v.ClusterOffset(17), Files("E", 2));
  // Held by a live file's chain: never read for entries.
  v.PutEntries(v.ClusterOffset(41), Files("F", 2));
  v.Chain({41});

  EngineFixture engine = EngineFixture::OfBytes(v.Bytes);
  ASSERT_EQ(engine.Find("*.*", true).Outcome, FindOutcome::Result::Found);
  std::map<std::string, std::vector<std::string>> found;
  for (const auto &e : test::Entries(engine.State.Catalogue)) {
    found[e.Section].push_back(e.Key.substr(0, e.Key.size() - 4) + "#" +
                                test::ParseRow(e.Value)->Mark);
  }
  std::vector<std::string> old;
  for (const char *prefix : {"A", "B", "C"})
    for (int i = 1; i <= (prefix[0] == 'A' ? 14 : prefix[0] == 'B' ? 16 : 1); ++i)
      old.push_back(prefix + std::string(i < 10 ? "0" : "") + std::to_string(i) + "#0");
  const std::map<std::string, std::vector<std::string>> expected = {
      {"E:\\Lost folder 5\\", old}, // nothing names the old folder
      {"E:\\LIVE\\", {"\xD1\x85" "01#1"}},
      {"E:\\Lost folder 12\\", {"D01#0", "D02#0"}},
      {"E:\\Lost folder 17\\", {"E01#0", "E02#0"}},
  };
  EXPECT_EQ(found, expected);
}

} // namespace
} // namespace orvanta
