#include <gtest/gtest.h>

#include <fstream>

#include "filled_card.h"
#include "support/cli.h"
#include "support/run.h"
#include "support/temp_dir.h"
#include "support/tsk.h"

namespace orvanta {
namespace {

// Debian's exFAT sample: a disk with an MBR, one exFAT partition at sector
// 2048, and 18 deleted files in four deleted folders.
TEST(ExfatSample, EveryDeletedFileComesBackAsTheSleuthKitReadsIt) {
  const std::filesystem::path packed = "/usr/share/forensics-samples/fs.exfat.xz";
  if (!std::filesystem::exists(packed))
    GTEST_SKIP() << "forensics-samples-exfat is not installed";
  test::TempDir dir;
  const auto disk = dir / "fs.exfat";
  test::RunOrFail({"sh", "-c", "xz -dc " + packed.string() + " > " + disk.string()});
  const auto partition = dir / "part.img";
  test::RunOrFail({"dd", "if=" + disk.string(), "of=" + partition.string(), "bs=512",
                   "skip=2048", "status=none"});

  for (const auto &image : {disk, partition}) {
    SCOPED_TRACE(image);
    const auto out = dir / ("out-" + image.filename().string());
    std::filesystem::create_directories(out);
    const auto r = test::RunCli({"restore", "--to", out.string(), image.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE((r.Out + r.Err).find("Files restored: 18"), std::string::npos) << r.Out << r.Err;
    std::size_t compared = 0;
    for (const auto &e : test::Fls(partition, true)) {
      if (e.Directory || e.Path.starts_with("$"))
        continue;
      SCOPED_TRACE(e.Path);
      EXPECT_EQ(test::ReadFile(out / e.Path), test::Icat(partition, e.Inode));
      ++compared;
    }
    EXPECT_EQ(compared, 18u);
  }
}

} // namespace
} // namespace orvanta
