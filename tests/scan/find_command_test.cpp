#include <gtest/gtest.h>

#include "support/cli.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::LocalTime;
using test::RunCli;

struct Card {
  test::TempDir Dir;
  test::FatImageFile Image{Dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024}};
  Card() {
    Image.Mkdir("/DCIM");
    Image.Put("/DCIM/Holiday best.jpg", std::string(3000, 'x'), LocalTime(2019, 5, 7, 9, 5));
    Image.Put("/DCIM/note.txt", "note", LocalTime(2024, 2, 3, 4, 5));
    Image.Delete("/DCIM/Holiday best.jpg");
    Image.Delete("/DCIM/note.txt");
  }
};

TEST(FindCommand, PrintsTheCatalogueAsIniText) {
  Card card;
  const auto r = RunCli({"find", "--drive", "g:", card.Image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  // mtools writes a long name for the first; the second keeps its short name.
  EXPECT_TRUE(r.Out.starts_with("[G:\\DCIM\\]\nHoliday best.jpg=3000#2019/05/07 09:05#"))
      << r.Out;
  EXPECT_NE(r.Out.find("\n\xD1\x85OTE.TXT=4#2024/02/03 04:05#"), std::string::npos) << r.Out;
  EXPECT_NE(r.Err.find("G:\\DCIM\\Holiday best.jpg\n"), std::string::npos);
  EXPECT_NE(r.Err.find("Deleted files found: 2\n"), std::string::npos);
}

TEST(FindCommand, PrintsJsonWithEscapesAndNumbers) {
  Card card;
  const auto r = RunCli({"find", "--json", "--mask", "*.jpg", card.Image.Path().string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  const std::string start = "{\"drive\":\"E:\",\"mode\":\"quick\",\"found\":1,\"files\":[{\"folder\":"
                            "\"E:\\\\DCIM\\\\\",\"name\":\"Holiday best.jpg\",\"size\":3000,"
                            "\"date\":\"2019/05/07 09:05\",\"cluster\":";
  EXPECT_TRUE(r.Out.starts_with(start)) << r.Out;
  EXPECT_TRUE(r.Out.ends_with(",\"mark\":\"0\",\"condition\":\"intact\","
                              "\"written\":\"2019/05/07 09:05:00\"}]}\n"))
      << r.Out;
}

TEST(FindCommand, JsonEscapesWhatAVolumeCanHoldInAName) {
  test::CraftedVolume v({.FatBits = 16});
  auto entries = test::Deleted(test::LongEntries(u"say \"hi\"\x01\\.txt"));
  entries.push_back(test::Deleted(test::ShortEntry("SAYHI~1 TXT", 0x20, 5, 10, test::FatDate(2020, 1, 2))));
  v.PutEntries(v.RootOffset(), entries);
  test::TempDir dir;
  test::WriteFileBytes(dir / "crafted.img", v.Bytes);
  auto r = RunCli({"find", "--json", (dir / "crafted.img").string()});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_NE(r.Out.find("\"name\":\"say \\\"hi\\\"\\u0001\\\\.txt\",\"size\":10,"
                       "\"date\":\"2020/01/02 09:05\",\"cluster\":5,\"mark\":\"0\""),
            std::string::npos)
      << r.Out;
}

TEST(FindCommand, NothingFoundIsNotAFailure) {
  Card card;
  const auto r = RunCli({"find", "--json", "--mask", "*.none", card.Image.Path().string()});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "{\"drive\":\"E:\",\"mode\":\"quick\",\"found\":0,\"files\":[]}\n");
  EXPECT_NE(r.Err.find("Deleted files not found!"), std::string::npos);
}

TEST(FindCommand, RefusalsAndUsageErrors) {
  Card card;
  auto r = RunCli({"find", "--mask", "[abc", card.Image.Path().string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "'[abc' is an invalid mask at (5)\n");
  EXPECT_EQ(r.Out, "");
  const auto missing = (card.Dir / "missing.img").string();
  r = RunCli({"find", missing});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "orvanta-cli: " + missing + ": Drive not found! (No such file or directory)\n");
  EXPECT_EQ(RunCli({"find"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"find", "--mask"}).ExitCode, 2);
  EXPECT_EQ(RunCli({"find", "--what", card.Image.Path().string()}).ExitCode, 2);
}

// Ctrl+C during a long deep scan, or SIGTERM or SIGHUP (a kill, a closed
// terminal) alike: what was found is printed, stderr says the run was
// stopped and by what, and the exit code is 130.
TEST(FindCommand, CtrlCTermAndHupKeepWhatWasFoundAndExitWith130) {
  test::TempDir dir;
  // 4 GiB, sparse: the deep scan takes seconds; the folder lies in its first block.
  test::FatImageFile big(dir / "big.img", {.FatBits = 32, .SizeKiB = 4 * 1024 * 1024, .SectorsPerCluster = 8});
  big.Mkdir("/DCIM");
  big.Put("/DCIM/a.txt", "found");
  big.Delete("/DCIM/a.txt");
  const char *cli = std::getenv("ORVANTA_CLI");
  for (const auto &[signal, name] : {std::pair{"INT", "Ctrl+C"}, {"TERM", "SIGTERM"}, {"HUP", "SIGHUP"}}) {
    const auto r = test::Run({"timeout", "--preserve-status", "-s", signal, "1", cli ? cli : "orvanta-cli",
                              "find", "--deep", big.Path().string()});
    EXPECT_EQ(r.ExitCode, 130) << signal << r.Err;
    EXPECT_TRUE(r.Out.starts_with("[E:\\DCIM\\]\n")) << r.Out;
    EXPECT_TRUE(r.Err.ends_with(std::string("orvanta-cli: stopped by ") + name + "; the work is incomplete\n"))
        << r.Err;
  }
}

} // namespace
} // namespace orvanta
