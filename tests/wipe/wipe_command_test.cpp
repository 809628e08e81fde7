// orvanta-cli wipe, run as a program.
#include <gtest/gtest.h>

#include "support/cli.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::RunCli;
using test::TempDir;

struct SmallCard {
  TempDir Dir;
  test::FatImageFile Image{Dir / "card.img", {.FatBits = 16, .SizeKiB = 8 * 1024, .SectorsPerCluster = 1}};
  SmallCard() {
    Image.Put("/keep.txt", std::string(3000, 'k'));
    Image.Put("/gone.txt", std::string(3000, 'g'));
    Image.Delete("/gone.txt");
  }
  std::string Path() const { return Image.Path().string(); }
};

std::string LastLine(const std::string &out) {
  const auto end = out.find_last_not_of('\n');
  if (end == std::string::npos)
    return {};
  const auto start = out.rfind('\n', end);
  return out.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

TEST(WipeCli, QuickAndDeepWipesReportOnTheLastLine) {
  SmallCard card;
  auto r = RunCli({"wipe", "--yes", card.Path()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Files wiped: 1\n");
  EXPECT_NE(r.Err.find("\xD1\x85ONE.TXT"), std::string::npos); // the log
  r = RunCli({"wipe", "--deep", "--yes", "--drive", "f:", card.Path()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(LastLine(r.Out), "Free drive space wiped: 100%");
  EXPECT_EQ(card.Image.Get("/keep.txt"), std::vector<std::uint8_t>(3000, 'k'));
}

TEST(WipeCli, AsksOnTheTerminalWithoutYes) {
  SmallCard card;
  const auto before = card.Image.Bytes();
  for (const char *answer : {"n\n", "\n", "whatever\n", ""}) {
    const auto r = RunCli({"wipe", card.Path()}, answer);
    EXPECT_EQ(r.ExitCode, 1) << answer;
    EXPECT_NE(r.Err.find("Are you sure wipe deleted files?"), std::string::npos);
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_EQ(card.Image.Bytes(), before);
  const auto r = RunCli({"wipe", card.Path()}, "YES\n");
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Files wiped: 1\n");
  EXPECT_NE(card.Image.Bytes(), before);
}

TEST(WipeCli, RefusalsAndUsage) {
  TempDir dir;
  auto r = RunCli({"wipe", "--yes", (dir / "missing.img").string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Drive not found!\n");
  r = RunCli({"wipe", "--fast", "x.img"});
  EXPECT_EQ(r.ExitCode, 2);
  r = RunCli({"wipe", "--yes"});
  EXPECT_EQ(r.ExitCode, 2);
}

} // namespace
} // namespace orvanta
