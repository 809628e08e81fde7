// One image file, two programs: a wipe holds the image alone, finds and
// restores share it, and whoever comes second while that is not allowed is
// refused at once, with the image untouched.
#include <gtest/gtest.h>

#include "support/cli.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "jobs/preview.h"
#include "jobs/restore_jobs.h"
#include "jobs/wipe_job.h"
#include "volume/device_session.h"
#include "volume/volume_checks.h"

namespace orvanta {
namespace {

constexpr const char *kInUse =
    "The drive is in use by another find, restore or wipe. Try again when it has finished.";

struct Case {
  const char *Name;
  bool HolderWipes; // else the holder reads
  std::vector<std::string> Command;
  bool Refused;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.Name; }

class SecondProgram : public ::testing::TestWithParam<Case> {};

TEST_P(SecondProgram, IsRefusedOnlyWhereOneOfThemWipes) {
  const Case &c = GetParam();
  test::TempDir dir;
  const auto image = dir / "card.img";
  {
    test::FatImageFile card(image, {.FatBits = 16, .SizeKiB = 8 * 1024, .SectorsPerCluster = 1});
    card.Put("/kept.txt", "kept");
    card.Put("/gone.txt", "gone");
    card.Delete("/gone.txt");
  }
  const auto before = test::ReadFileBytes(image);
  auto holder = test::EngineFixture::OfImage(image);
  WipeOptions options;
  std::optional<WipeCheck> wipe;
  std::optional<DeviceSession> read;
  if (c.HolderWipes) {
    wipe.emplace(CheckWipe(holder.State, options)); // held while it would ask its question
    ASSERT_TRUE(wipe->Passed()) << wipe->Refusal().Message;
  } else {
    read.emplace(holder.State.Vol, DeviceAccess::Read);
    ASSERT_EQ(OpenVolume(holder.State.Vol, "E:", true), VolumeCheck::Ok);
  }
  std::vector<std::string> words = c.Command;
  if (words[0] == "restore")
    words.insert(words.end(), {"--to", (dir / "out").string()});
  words.push_back(image.string());
  const auto r = test::RunCli(words);
  if (c.Refused) {
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_NE(r.Err.find(kInUse), std::string::npos) << r.Err;
  } else {
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err.find(kInUse), std::string::npos) << r.Err;
  }
  if (c.Refused || words[0] != "wipe") {
    EXPECT_EQ(test::ReadFileBytes(image), before);
  }

  // Once the holder lets go, the image is free to wipe.
  wipe.reset();
  read.reset();
  const auto after = test::RunCli({"wipe", "--yes", image.string()});
  EXPECT_EQ(after.ExitCode, 0) << after.Err;
}

INSTANTIATE_TEST_SUITE_P(
    Holders, SecondProgram,
    ::testing::Values(Case{"find_during_a_wipe", true, {"find"}, true},
                      Case{"info_during_a_wipe", true, {"info"}, true},
                      Case{"restore_during_a_wipe", true, {"restore"}, true},
                      Case{"wipe_during_a_wipe", true, {"wipe", "--yes"}, true},
                      Case{"wipe_during_a_find", false, {"wipe", "--yes", "--deep"}, true},
                      Case{"find_during_a_find", false, {"find"}, false},
                      Case{"info_during_a_find", false, {"info"}, false}),
    [](const auto &p) { return std::string(p.param.Name); });

// The window's restore and preview come after its own find: a wipe that
// began in between has the image, and they read nothing of it.
TEST(SecondProgram, ARestoreOrPreviewAfterItsFindIsRefusedWhileAWipeRuns) {
  test::TempDir dir;
  const auto image = dir / "card.img";
  {
    test::FatImageFile card(image, {.FatBits = 16, .SizeKiB = 8 * 1024, .SectorsPerCluster = 1});
    card.Put("/gone.txt", "gone");
    card.Delete("/gone.txt");
  }
  auto reader = test::EngineFixture::OfImage(image);
  ASSERT_EQ(reader.Find().Outcome, FindOutcome::Result::Found);
  auto wiper = test::EngineFixture::OfImage(image);
  const WipeCheck wipe = CheckWipe(wiper.State, {});
  ASSERT_TRUE(wipe.Passed());
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir / "out";
  std::filesystem::create_directory(restore.DestFolder);
  const auto outcome = RestoreFolder(reader.State, restore, reader.Host);
  EXPECT_EQ(outcome.Message, kInUse);
  EXPECT_EQ(outcome.Restored, 0);
  EXPECT_TRUE(std::filesystem::is_empty(restore.DestFolder));

  const auto temp = dir / "temp";
  std::filesystem::create_directory(temp);
  const auto name = reader.State.Catalogue.Folder("E:\\")->Files.front().Name;
  const auto preview = ExtractPreview(reader.State, restore, reader.Host, name, temp);
  EXPECT_EQ(preview.Outcome, PreviewOutcome::Result::Impossible);
  EXPECT_EQ(preview.Message, kInUse);
  EXPECT_TRUE(std::filesystem::is_empty(temp));
}

} // namespace
} // namespace orvanta
