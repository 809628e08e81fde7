#include <gtest/gtest.h>

#include "platform/posix/drive_table.h"

namespace orvanta {
namespace {

TEST(ParseDriveList, ReadsLettersPathsAndSectorSizes) {
  const auto drives = ParseDriveList("E=/p/card.img;f=/p/4k.img:4096");
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].Letter, 'E');
  EXPECT_EQ(drives[0].Path, "/p/card.img");
  EXPECT_FALSE(drives[0].SectorSize.has_value());
  EXPECT_EQ(drives[1].Letter, 'F');
  EXPECT_EQ(drives[1].Path, "/p/4k.img");
  EXPECT_EQ(drives[1].SectorSize, 4096u);
}

TEST(ParseDriveList, LeavesOutDriveAAndWhatDoesNotParse) {
  const auto drives = ParseDriveList("A=/x.img;;E;9=/y;G=;H=/a:b.img;J=/z.img:1000;K=/k.img");
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].Letter, 'H');
  EXPECT_EQ(drives[0].Path, "/a:b.img"); // a colon not followed by a size is part of the path
  EXPECT_EQ(drives[1].Letter, 'K');
}

TEST(ParseDriveList, ALaterEntryForTheSameLetterWins) {
  const auto drives = ParseDriveList("E=/one.img;E=/two.img");
  ASSERT_EQ(drives.size(), 1u);
  EXPECT_EQ(drives[0].Path, "/two.img");
}

TEST(PosixDriveTable, ListsItsDrivesInLetterOrderAndFindsThemInAnyCase) {
  PosixDriveTable table({{'G', "/g.img", std::nullopt}, {'E', "/e.img", 4096}});
  EXPECT_EQ(table.RemovableDrives(), (std::vector<std::string>{"E:", "G:"}));
  EXPECT_NE(table.DeviceFor("e:"), nullptr);
  EXPECT_EQ(table.DeviceFor("F:"), nullptr);
  EXPECT_EQ(table.DeviceFor("E"), nullptr);
}

TEST(FixedDrives, NeverListsDriveA) {
  FixedDrives drives;
  drives.Add("G:", nullptr);
  drives.Add("A:", nullptr);
  drives.Add("E:", nullptr);
  EXPECT_EQ(drives.RemovableDrives(), (std::vector<std::string>{"E:", "G:"}));
}

} // namespace
} // namespace orvanta

namespace orvanta {
namespace {

// Whatever this machine has plugged in: only block devices come back, and
// the environment's images take their letters.
TEST(PosixDriveTable, ListsRemovableDevicesAndTheEnvironmentsImages) {
  for (const auto &node : FindRemovableVolumes())
    EXPECT_TRUE(std::filesystem::is_block_file(node)) << node;
  ::setenv("ORVANTA_DRIVES", "F=/nowhere/card.img", 1);
  PosixDriveTable table;
  const auto drives = table.RemovableDrives(); // listed afresh, as on every show
  ::unsetenv("ORVANTA_DRIVES");
  EXPECT_NE(std::find(drives.begin(), drives.end(), "F:"), drives.end());
  EXPECT_EQ(std::count(drives.begin(), drives.end(), "A:"), 0);
}

} // namespace
} // namespace orvanta
