#include <gtest/gtest.h>
#include <sys/mount.h>

#include "scan/live_view.h"
#include "platform/posix/posix_device.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "volume/volume_checks.h"

namespace orvanta {
namespace {

std::vector<std::string> Names(const std::optional<std::vector<LiveEntry>> &entries) {
  std::vector<std::string> out;
  for (const auto &e : entries.value_or(std::vector<LiveEntry>{}))
    out.push_back(e.Name + (e.IsDirectory ? "\\" : ""));
  std::sort(out.begin(), out.end());
  return out;
}

void Fill(test::FatImageFile &card) {
  card.Mkdir("/docs");
  card.Mkdir("/Camera Roll/2024");
  card.Mkdir("/MY.DIR");
  card.Put("/docs/Letter.TXT", "x");
  card.Put("/docs/readme.txt", "y");
  card.Put("/docs/gone.txt", "z");
  card.Delete("/docs/gone.txt");
  card.Put("/Camera Roll/2024/IMG_0001.JPG", "p");
}

TEST(BuiltInView, ShowsExistingEntriesNamedAsWindowsShowsThem) {
  test::TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  Fill(card);
  auto engine = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(OpenVolume(engine.State.Vol, "E:", true), VolumeCheck::Ok);
  BuiltInView view(engine.State.Vol);
  // The volume label is not listed; short names follow their lower-case flags.
  EXPECT_EQ(Names(view.List("E:\\")),
            (std::vector<std::string>{"Camera Roll\\", "MY.DIR\\", "docs\\"}));
  EXPECT_EQ(Names(view.List("E:\\DOCS\\")), (std::vector<std::string>{"Letter.TXT", "readme.txt"}));
  EXPECT_TRUE(view.FolderExists("E:\\camera roll\\2024"));
  EXPECT_TRUE(view.FolderExists("E:\\"));
  EXPECT_FALSE(view.FolderExists("E:\\docs\\readme.txt"));
  EXPECT_TRUE(view.FileExists("E:\\docs\\README.TXT"));
  EXPECT_FALSE(view.FileExists("E:\\docs\\gone.txt"));
  EXPECT_FALSE(view.FileExists("E:\\docs"));
  EXPECT_FALSE(view.List("E:\\nothing\\").has_value());
}

// The same questions through the kernel's mount give the same answers.
TEST(MountedView, AgreesWithTheBuiltInView) {
  test::TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024});
  Fill(card);
  const auto mount = dir / "mnt";
  std::filesystem::create_directory(mount);
  const auto r = test::Run({"mount", "-o", "loop,ro", card.Path().string(), mount.string()});
  if (r.ExitCode != 0)
    GTEST_SKIP() << "cannot loop-mount here: " << r.Err;
  struct Unmount {
    std::filesystem::path Path;
    ~Unmount() { test::Run({"umount", Path.string()}); }
  } unmount{mount};

  EXPECT_EQ(FindMountPoint(card.Path()), mount);
  auto engine = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(OpenVolume(engine.State.Vol, "E:", true), VolumeCheck::Ok);
  const auto view = MakeLiveView(engine.State.Vol);
  ASSERT_NE(dynamic_cast<MountedView *>(view.get()), nullptr);
  BuiltInView builtIn(engine.State.Vol);
  for (const char *folder : {"E:\\", "E:\\docs\\", "E:\\Camera Roll\\2024\\"})
    EXPECT_EQ(Names(view->List(folder)), Names(builtIn.List(folder))) << folder;
  EXPECT_TRUE(view->FolderExists("E:\\CAMERA ROLL\\2024\\"));
  EXPECT_TRUE(view->FileExists("E:\\docs\\letter.txt"));
  EXPECT_FALSE(view->FileExists("E:\\docs\\gone.txt"));
  // Names from the volume never reach outside the mount.
  EXPECT_FALSE(view->FolderExists("E:\\..\\"));
  EXPECT_FALSE(view->FileExists("E:\\docs/../../card.img"));
}

// A mount is a folder of the host: the view maps volume paths into it and
// keeps names from the volume from leading anywhere else.
TEST(MountedView, MapsVolumePathsIntoTheMountOnly) {
  test::TempDir dir;
  const auto mount = dir / "mnt";
  std::filesystem::create_directories(mount / "DCIM" / "100MEDIA");
  test::WriteFileBytes(mount / "DCIM" / "a.jpg", {1});
  test::WriteFileBytes(dir / "outside.txt", {1});
  MountedView view(mount);
  EXPECT_EQ(Names(view.List("E:\\DCIM\\")), (std::vector<std::string>{"100MEDIA\\", "a.jpg"}));
  EXPECT_TRUE(view.FolderExists("E:\\DCIM\\100MEDIA"));
  EXPECT_TRUE(view.FileExists("E:\\DCIM\\a.jpg"));
  EXPECT_FALSE(view.FileExists("E:\\DCIM"));
  EXPECT_FALSE(view.FileExists("E:\\..\\outside.txt"));
  EXPECT_FALSE(view.FileExists("E:\\DCIM/../../outside.txt"));
  EXPECT_FALSE(view.List("E:\\..\\").has_value());
}

TEST(BuiltInView, ADirectoryThatListsItselfEndsTheFolderListing) {
  test::CraftedVolume v({.FatBits = 32, .Clusters = 70000});
  v.PutEntries(v.RootOffset(), {test::ShortEntry("A          ", 0x10, 3, 0)});
  v.SetFat(3, 0x0FFFFFFF);
  auto inside = test::DotPair(3, 0);
  inside.push_back(test::ShortEntry("AGAIN      ", 0x10, 3, 0));
  inside.push_back(test::ShortEntry("ROOT       ", 0x10, 2, 0));
  v.PutEntries(v.ClusterOffset(3), inside);
  auto engine = test::EngineFixture::OfBytes(v.Bytes);
  EXPECT_EQ(engine.Find().Outcome, FindOutcome::Result::NothingFound);
}

} // namespace
} // namespace orvanta
