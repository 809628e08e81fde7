// Restored files never go onto the volume they are recovered from: the
// kernel's tables are stand-ins written by the test.
#include <fstream>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include "platform/posix/posix_device.h"
#include "restore/destination_check.h"
#include "support/cli.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::TempDir;

void WriteText(const std::filesystem::path &path, const std::string &text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

// A system root whose mount table has `lines` (one mount each) and whose
// loop7 is backed by `image`.
std::filesystem::path FakeSystem(const TempDir &dir, const std::string &lines,
                                 const std::filesystem::path &image) {
  const auto root = dir / "system";
  WriteText(root / "proc/self/mountinfo",
            "22 1 0:21 / / rw - ext4 /dev/vda1 rw\n" + lines);
  WriteText(root / "sys/block/loop7/loop/backing_file", image.string() + "\n");
  return root;
}

KernelTables TablesAt(const std::filesystem::path &root) { return KernelTables::Below(root); }

TEST(DestinationCheck, AMountedImageRefusesItsMountPointsAndWhatLiesBelow) {
  TempDir dir;
  const auto image = dir / "card.img";
  WriteText(image, "not read");
  std::filesystem::create_directories(dir / "card mount" / "DCIM");
  std::filesystem::create_directories(dir / "card mount2");
  // The mount table escapes the blank; a partition of the loop device counts.
  const std::string mount = (dir / "card\\040mount").string();
  const auto root = FakeSystem(dir,
                               "40 22 7:113 / " + mount + " rw - vfat /dev/loop7p1 rw\n"
                               "41 22 7:114 / /elsewhere rw - vfat /dev/loop6 rw\n",
                               std::filesystem::canonical(image));
  const VolumeLocation volume = LocateVolume(image, TablesAt(root));
  ASSERT_EQ(volume.MountPoints, std::vector<std::filesystem::path>{dir / "card mount"});
  EXPECT_EQ(volume.Devices, std::vector<std::uint64_t>{makedev(7, 113)});

  EXPECT_TRUE(DestinationOnVolume(dir / "card mount", volume));
  EXPECT_TRUE(DestinationOnVolume(dir / "card mount/DCIM/", volume));
  EXPECT_TRUE(DestinationOnVolume(dir / "card mount/not yet/made", volume));
  EXPECT_TRUE(DestinationOnVolume(dir / "card mount2/../card mount/DCIM", volume));
  EXPECT_FALSE(DestinationOnVolume(dir / "card mount2", volume));
  EXPECT_FALSE(DestinationOnVolume(dir.Path(), volume));

  // An image that is not mounted has nowhere to refuse.
  const VolumeLocation unmounted = LocateVolume(dir / "other.img", TablesAt(root));
  EXPECT_TRUE(unmounted.MountPoints.empty());
  EXPECT_FALSE(DestinationOnVolume(dir / "card mount", unmounted));
}

TEST(DestinationCheck, AFolderOnTheVolumesDeviceIsRefusedWhateverItsPath) {
  TempDir dir;
  const auto here = FileSystemDeviceOf(dir.Path());
  ASSERT_TRUE(here);
  EXPECT_EQ(FileSystemDeviceOf(dir / "a/b/c"), here);
  EXPECT_TRUE(DestinationOnVolume(dir / "new folder", VolumeLocation{{*here}, {}}));
  EXPECT_FALSE(DestinationOnVolume(dir / "new folder", VolumeLocation{{*here + 1}, {}}));

}

TEST(DestinationCheck, TheCommandLineRefusesADestinationOnTheCardAndMakesNothing) {
  TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Put("/A.TXT", "gone");
  card.Delete("/A.TXT");
  std::filesystem::create_directories(dir / "mnt");
  const auto root = FakeSystem(dir, "40 22 7:112 / " + (dir / "mnt").string() +
                                        " rw - vfat /dev/loop7 rw\n",
                               std::filesystem::canonical(card.Path()));
  auto run = [&](const std::filesystem::path &to) {
    return test::Run({ORVANTA_CLI_ON_TABLES, root.string(), "restore", "--to", to.string(),
                      card.Path().string()});
  };
  const auto refused = run(dir / "mnt/restored");
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_EQ(refused.Out, "");
  EXPECT_EQ(refused.Err, "orvanta-cli: The destination is on the drive being recovered: restoring "
                         "there can overwrite your files. Please choose a folder on another drive.\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "mnt/restored"));

  const auto elsewhere = run(dir / "restored");
  EXPECT_EQ(elsewhere.ExitCode, 0) << elsewhere.Err;
  EXPECT_EQ(elsewhere.Out, "Files restored: 1\n");

  // The shipped program reads the system's own tables, whatever the
  // environment says.
  const char *cli = std::getenv("ORVANTA_CLI");
  const auto shipped = test::Run({"env", "ORVANTA_SYSTEM_ROOT=" + root.string(),
                                  cli ? cli : "orvanta-cli", "restore", "--to",
                                  (dir / "mnt/restored").string(), card.Path().string()});
  EXPECT_EQ(shipped.ExitCode, 0) << shipped.Err;
}

// Stand-ins for the sysfs folders of block devices: each made below
// sys/devices/virtual/block and reached by its number from sys/dev/block.
struct FakeBlock {
  std::filesystem::path Root;
  std::filesystem::path Folder(const std::string &path) const {
    return Root / "sys/devices/virtual/block" / path;
  }
  void Add(const std::string &path, const std::string &devno) const {
    std::filesystem::create_directories(Folder(path));
    WriteText(Folder(path) / "dev", devno + "\n");
    std::filesystem::create_directories(Root / "sys/dev/block");
    std::filesystem::create_symlink(Folder(path), Root / "sys/dev/block" / devno);
  }
  void Loop(const std::string &name, const std::string &devno, const std::filesystem::path &image) const {
    Add(name, devno);
    WriteText(Folder(name) / "loop/backing_file", image.string() + "\n");
  }
  void Partition(const std::string &disk, const std::string &name, const std::string &devno) const {
    Add(disk + "/" + name, devno);
    WriteText(Folder(disk + "/" + name) / "partition", "1\n");
  }
  void Mapper(const std::string &name, const std::string &devno, const std::string &slave) const {
    Add(name, devno);
    std::filesystem::create_directories(Folder(name) / "slaves");
    std::filesystem::create_symlink(Folder(slave), Folder(name) / "slaves" / slave);
  }
};

// An image is seen wherever the system mounts it: through a loop device
// named by its number only, a partition of one, a device-mapper partition
// that kpartx builds on one, or a FUSE file system reading the image
// itself. Mounts of other images are not its own.
TEST(DestinationCheck, AnImageIsSeenThroughLoopsPartitionsMappersAndFuse) {
  TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Put("/A.TXT", "gone");
  card.Delete("/A.TXT");
  const auto image = std::filesystem::canonical(card.Path());
  const auto other = dir / "other.img";
  WriteText(other, "another card");
  struct Case {
    const char *Name;
    std::string Mount; // devno, file-system type and source of the mount table's line
    bool Ours;
  };
  const std::vector<Case> cases = {
      {"loop_by_number", "7:0 / MNT rw - vfat /dev/disk/by-label/CARD", true},
      {"loop_partition", "259:0 / MNT rw - vfat /dev/disk/by-label/CARD", true},
      {"kpartx_mapper", "253:3 / MNT rw - vfat /dev/mapper/loop5p1", true},
      {"fuse_of_the_image", "0:55 / MNT rw - fuse.fusefat " + card.Path().string(), true},
      {"loop_of_another", "7:1 / MNT rw - vfat /dev/loop1", false},
      {"fuse_of_another", "0:56 / MNT rw - fuse.fusefat " + other.string(), false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    TempDir sys;
    const FakeBlock block{sys / "system"};
    block.Loop("loop0", "7:0", image);
    block.Loop("loop1", "7:1", other);
    block.Loop("loop5", "7:5", image);
    block.Loop("loop6", "7:6", image);
    block.Partition("loop6", "loop6p1", "259:0");
    block.Mapper("dm-3", "253:3", "loop5");
    const auto mnt = dir / "mnt";
    std::filesystem::create_directories(mnt);
    std::string line = "40 22 " + c.Mount + " rw\n";
    line.replace(line.find("MNT"), 3, mnt.string());
    WriteText(block.Root / "proc/self/mountinfo", "22 1 0:21 / / rw - ext4 /dev/vda1 rw\n" + line);

    const VolumeLocation location = LocateVolume(card.Path(), TablesAt(block.Root));
    EXPECT_EQ(location.MountPoints, c.Ours ? std::vector<std::filesystem::path>{mnt}
                                           : std::vector<std::filesystem::path>{});
    EXPECT_EQ(FindMountPoint(card.Path(), TablesAt(block.Root)).has_value(), c.Ours);
    if (!c.Ours)
      continue;
    // Restoring into the mount and wiping the image are refused; the image
    // is left as it was.
    const auto before = test::ReadFileBytes(card.Path());
    const auto restore = test::Run({ORVANTA_CLI_ON_TABLES, block.Root.string(), "restore", "--to",
                                    (mnt / "restored").string(), card.Path().string()});
    EXPECT_EQ(restore.ExitCode, 1) << restore.Err;
    EXPECT_NE(restore.Err.find("on the drive being recovered"), std::string::npos) << restore.Err;
    const auto wipe = test::Run({ORVANTA_CLI_ON_TABLES, block.Root.string(), "wipe", "--yes",
                                 card.Path().string()});
    EXPECT_NE(wipe.ExitCode, 0);
    EXPECT_NE(wipe.Err.find("cannot be opened for writing"), std::string::npos) << wipe.Err;
    EXPECT_TRUE(test::ReadFileBytes(card.Path()) == before);
  }
}

} // namespace
} // namespace orvanta
