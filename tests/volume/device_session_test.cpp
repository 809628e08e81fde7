// Every operation holds the drive open once for its whole length, whatever
// it reads and writes.
#include <functional>
#include <gtest/gtest.h>

#include "jobs/preview.h"
#include "jobs/restore_jobs.h"
#include "support/crafted_volume.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "volume/volume_checks.h"
#include "jobs/wipe_job.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using namespace test;

// A root folder A and a root file, each with deleted files, and free space.
std::vector<std::uint8_t> SmallCard() {
  CraftedVolume v({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 96});
  const auto d = FatDate(2024, 1, 1);
  v.PutEntries(v.RootOffset(), {ShortEntry("A          ", 0x10, 3, 0, d),
                                Deleted(ShortEntry("ROOT    TXT", 0x20, 9, 700, d))});
  v.Chain({3});
  auto a = DotPair(3, 0);
  a.push_back(Deleted(ShortEntry("INA     TXT", 0x20, 10, 1500, d)));
  v.PutEntries(v.ClusterOffset(3), a);
  return v.Bytes;
}

TEST(DeviceSession, EveryOperationOpensTheDriveOnce) {
  EngineFixture engine(std::make_shared<MemoryDevice>(SmallCard()));
  auto &device = static_cast<MemoryDevice &>(*engine.Drive);
  auto opens = [&](const std::function<void()> &operation) {
    const auto before = device.Opens();
    operation();
    EXPECT_FALSE(device.InSession());
    return device.Opens() - before;
  };
  EXPECT_EQ(opens([&] { EXPECT_EQ(OpenVolume(engine.State.Vol, "E:", false), VolumeCheck::Ok); }), 1u);
  EXPECT_EQ(opens([&] { engine.Find("*.*", /*deep=*/true); }), 1u);
  EXPECT_EQ(opens([&] { engine.Find(); }), 1u);
  ASSERT_EQ(engine.State.FoundCount, 2);

  TempDir dir;
  RestoreState restore{false, "E:\\", dir.Path()};
  EXPECT_EQ(opens([&] { EXPECT_EQ(RestoreFolder(engine.State, restore, engine.Host).Restored, 2); }), 1u);
  const std::vector<RestoreRow> rows{{test::Keys(engine.State.Catalogue, "E:\\").at(0), true}};
  EXPECT_EQ(opens([&] { EXPECT_EQ(RestoreCheckedRows(engine.State, restore, engine.Host, rows).Restored, 1); }), 1u);
  EXPECT_EQ(opens([&] {
              EXPECT_EQ(ExtractPreview(engine.State, restore, engine.Host, rows[0].Caption, dir.Path()).Outcome,
                        PreviewOutcome::Result::Ready);
            }),
            1u);

  for (const bool freeSpace : {false, true}) {
    WipeOptions options;
    options.FreeSpace = freeSpace;
    options.Confirm = [](const std::string &) { return true; };
    const auto before = device.Writes();
    EXPECT_EQ(opens([&] { RunWipe(engine.State, engine.Host, options); }), 1u) << freeSpace;
    EXPECT_GT(device.Writes(), before);
  }
}

} // namespace
} // namespace orvanta
