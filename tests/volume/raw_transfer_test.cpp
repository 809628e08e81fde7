#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/memory_device.h"
#include "platform/posix/posix_device.h"
#include "support/temp_dir.h"
#include "volume/volume.h"

namespace orvanta {
namespace {

TEST(ReadSectors, ZeroFillsTheBufferAndLeavesZerosOnFailure) {
  auto device = std::make_shared<MemoryDevice>(std::vector<std::uint8_t>(8 * 512, 0x5A));
  FixedDrives drives;
  drives.Add("E:", device);
  Volume v(drives);
  v.Geometry().DrivePath = "E:";
  v.Geometry().BytesPerSector = 512;
  std::vector<std::uint8_t> buf(1024, 0xFF);
  ASSERT_TRUE(v.ReadSectors(2, buf));
  EXPECT_EQ(buf[1023], 0x5A);
  std::fill(buf.begin(), buf.end(), std::uint8_t{0xFF});
  EXPECT_FALSE(v.ReadSectors(7, buf)); // runs past the end
  EXPECT_EQ(std::count(buf.begin(), buf.end(), 0), 1024);
  std::vector<std::uint8_t> odd(100, 0xFF);
  EXPECT_FALSE(v.ReadSectors(0, odd)); // not a whole sector
  EXPECT_EQ(std::count(odd.begin(), odd.end(), 0), 100);
}

TEST(ReadSectors, WithoutADriveOrASectorSizeNothingIsTransferred) {
  FixedDrives drives;
  Volume v(drives);
  v.Geometry().DrivePath = "E:";
  v.Geometry().BytesPerSector = 512;
  std::vector<std::uint8_t> buf(512, 1);
  EXPECT_FALSE(v.ReadSectors(0, buf));
  EXPECT_FALSE(v.WriteSectors(0, buf));
  auto device = std::make_shared<MemoryDevice>(std::vector<std::uint8_t>(512));
  drives.Add("F:", device);
  v.Geometry().DrivePath = "F:";
  v.Geometry().BytesPerSector = 0;
  EXPECT_FALSE(v.ReadSectors(0, buf));
}

// Sector numbers are unsigned 32-bit and offsets 64-bit: sectors at and
// above 2^31 land at sector * size, on a sparse image of 2 TiB.
TEST(ReadSectors, HighSectorsLandAtTheirByteOffset) {
  test::TempDir dir;
  const auto path = dir / "huge.img";
  constexpr std::uint64_t kSize = std::uint64_t{1} << 41; // 2 TiB, sparse
  {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kSize)), 0) << "needs a sparse 2 TiB file";
    for (const std::uint64_t sector : {0x80000000ull, 0xFFFFFFFFull}) {
      const std::uint8_t mark[4] = {0xDE, 0xAD, static_cast<std::uint8_t>(sector >> 24), 1};
      ASSERT_EQ(::pwrite(fd, mark, 4, static_cast<off_t>(sector * 512)), 4);
    }
    ::close(fd);
  }
  FixedDrives drives;
  drives.Add("E:", std::make_shared<PosixDevice>(path));
  Volume v(drives);
  v.Geometry().DrivePath = "E:";
  v.Geometry().BytesPerSector = 512;
  std::vector<std::uint8_t> buf(512);
  ASSERT_TRUE(v.ReadSectors(0x80000000u, buf));
  EXPECT_EQ(buf[0], 0xDE);
  EXPECT_EQ(buf[2], 0x80);
  ASSERT_TRUE(v.ReadSectors(0xFFFFFFFFu, buf));
  EXPECT_EQ(buf[2], 0xFF);
  buf[3] = 2;
  // Writes need a volume around them: the data area of one of 2^32 - 1 sectors.
  v.Geometry().RootStartSector = 100;
  v.Geometry().TotalSectors = 0xFFFFFFFF;
  EXPECT_FALSE(v.WriteSectors(99, buf));
  ASSERT_TRUE(v.WriteSectors(0x80000000u, buf));
  ASSERT_TRUE(v.ReadSectors(0x80000000u, buf));
  EXPECT_EQ(buf[3], 2);
  EXPECT_EQ(std::filesystem::file_size(path), kSize);
}

} // namespace
} // namespace orvanta
