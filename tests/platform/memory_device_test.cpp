#include <gtest/gtest.h>

#include "platform/memory_device.h"

namespace orvanta {
namespace {

TEST(MemoryDevice, RefusesPartialSectorsAndTransfersPastTheEnd) {
  MemoryDevice d(std::vector<std::uint8_t>(4096, 7), 512);
  std::vector<std::uint8_t> buf(512);
  EXPECT_TRUE(d.Read(0, buf));
  EXPECT_TRUE(d.Read(3584, buf));
  EXPECT_FALSE(d.Read(4096, buf));
  EXPECT_FALSE(d.Read(100, buf));
  std::vector<std::uint8_t> odd(300);
  EXPECT_FALSE(d.Read(0, odd));
  std::vector<std::uint8_t> two(1024);
  EXPECT_FALSE(d.Read(3584, two)); // half inside is refused whole
}

TEST(MemoryDevice, FaultRangesFailOnlyTheTransfersThatTouchThem) {
  MemoryDevice d(std::vector<std::uint8_t>(16 * 512), 512);
  d.FailReads(4, 5);
  d.FailWrites(10, 10);
  std::vector<std::uint8_t> buf(512 * 2);
  EXPECT_TRUE(d.Read(2 * 512, buf));  // sectors 2-3
  EXPECT_FALSE(d.Read(3 * 512, buf)); // 3-4
  EXPECT_FALSE(d.Read(5 * 512, buf)); // 5-6
  EXPECT_TRUE(d.Read(6 * 512, buf));
  EXPECT_TRUE(d.Write(8 * 512, buf));
  EXPECT_FALSE(d.Write(9 * 512, buf));
  EXPECT_TRUE(d.Read(10 * 512, buf)); // write faults do not touch reads
}

TEST(MemoryDevice, VanishesAfterTheGivenNumberOfTransfers) {
  MemoryDevice d(std::vector<std::uint8_t>(2048), 512);
  d.VanishAfter(2);
  std::vector<std::uint8_t> buf(512);
  EXPECT_TRUE(d.Read(0, buf));
  EXPECT_TRUE(d.Write(0, buf));
  EXPECT_FALSE(d.Read(0, buf));
  EXPECT_FALSE(d.SizeBytes().has_value());
  EXPECT_FALSE(d.RootReachable());
}

TEST(MemoryDevice, CountsTheOpensARealDeviceWouldSee) {
  MemoryDevice d(std::vector<std::uint8_t>(16 * 512), 512);
  d.FailReads(4, 4);
  std::vector<std::uint8_t> buf(512);
  EXPECT_TRUE(d.Read(0, buf));
  EXPECT_TRUE(d.SizeBytes().has_value());
  EXPECT_EQ(d.Opens(), 2u); // outside a session, once a call
  d.BeginSession(DeviceAccess::Read);
  EXPECT_TRUE(d.RootReachable());
  EXPECT_TRUE(d.Read(0, buf));
  EXPECT_FALSE(d.Read(100, buf)); // refused before any transfer: still open
  EXPECT_EQ(d.Opens(), 3u);
  EXPECT_FALSE(d.Read(4 * 512, buf)); // failed on the medium: closed
  EXPECT_TRUE(d.Read(0, buf));
  EXPECT_EQ(d.Opens(), 4u);
  d.VanishAfter(0);
  EXPECT_FALSE(d.Read(0, buf));
  EXPECT_FALSE(d.RootReachable()); // the open after the failure finds nothing
  d.EndSession();
}

} // namespace
} // namespace orvanta
