// A FAT32 volume whose root directory begins at a cluster other than 2, as
// the boot sector's root-cluster field allows: cluster 2 holds a live file
// whose bytes look like deleted directory entries.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/memory_device.h"
#include "support/crafted_volume.h"
#include "support/scan_fixture.h"
#include "jobs/wipe_job.h"

namespace orvanta {
namespace {

using test::Deleted;
using test::ShortEntry;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kRoot = 7;

test::CraftedVolume RootAtSeven() {
  test::CraftedVolume v({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 64});
  v.PutLe32(44, kRoot);
  v.Chain({kRoot});
  v.Chain({2}); // KEEP.BIN
  v.Chain({3}); // folder A
  v.Chain({4}); // A\LIVE.TXT
  v.PutEntries(v.ClusterOffset(kRoot),
               {ShortEntry("KEEP    BIN", 0x20, 2, 512), ShortEntry("A          ", 0x10, 3, 0),
                Deleted(ShortEntry("GONE    TXT", 0x20, 9, 10))});
  // The file's bytes: sixteen entries of deleted files.
  for (std::size_t i = 0; i < 16; ++i)
    v.PutEntries(v.ClusterOffset(2) + i * 32, {Deleted(ShortEntry("JUNK    BIN", 0x20, 20, 99))});
  // A's ".." names the root's own cluster, as some systems write it.
  auto a = test::DotPair(3, kRoot);
  a.push_back(Deleted(ShortEntry("INA     TXT", 0x20, 10, 10)));
  a.push_back(ShortEntry("LIVE    TXT", 0x20, 4, 10));
  v.PutEntries(v.ClusterOffset(3), a);
  v.PutBytes(v.ClusterOffset(9), Bytes(512, 'g'));
  v.PutBytes(v.ClusterOffset(10), Bytes(512, 'i'));
  return v;
}

// Each found file as its folder and first cluster, from the catalogue's text.
std::vector<std::string> FoundClusters(const std::string &ini) {
  std::vector<std::string> found;
  std::string section;
  std::istringstream in(ini);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("["))
      section = line;
    else if (const auto eq = line.find('='); eq != std::string::npos) {
      const auto a = line.find('#', eq), b = line.find('#', a + 1), c = line.find('#', b + 1);
      found.push_back(section + " " + line.substr(b + 1, c - b - 1));
    }
  }
  return found;
}

TEST(RootCluster, FindLooksInTheRootTheBootSectorNames) {
  const auto v = RootAtSeven();
  using Found = std::vector<std::string>;
  for (const bool deep : {false, true}) {
    auto engine = test::EngineFixture::OfBytes(v.Bytes);
    ASSERT_EQ(engine.Find("*.*", deep).Outcome, FindOutcome::Result::Found) << deep;
    const Found found = FoundClusters(engine.State.Catalogue.ToIniText());
    // The deep scan reaches A through its ".." link, the quick scan by its name.
    EXPECT_EQ(found, (Found{"[E:\\] 9", "[E:\\A\\] 10"}));
  }
}

TEST(RootCluster, BothWipesLeaveTheFileAtClusterTwoAlone) {
  const auto v = RootAtSeven();
  for (const bool freeSpace : {false, true}) {
    auto memory = std::make_shared<MemoryDevice>(v.Bytes);
    test::EngineFixture engine(memory);
    WipeOptions options;
    options.FreeSpace = freeSpace;
    options.Confirm = [](const std::string &) { return true; };
    const auto outcome = RunWipe(engine.State, engine.Host, options);
    ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done) << outcome.Message;
    EXPECT_EQ(outcome.Message, freeSpace ? "Free drive space wiped: 100%" : "Files wiped: 2");
    const Bytes &after = memory->Bytes();
    auto cluster = [&](const Bytes &b, std::uint32_t c) {
      return Bytes(b.begin() + std::ptrdiff_t(v.ClusterOffset(c)),
                   b.begin() + std::ptrdiff_t(v.ClusterOffset(c) + 512));
    };
    EXPECT_EQ(cluster(after, 2), cluster(v.Bytes, 2)) << freeSpace;
    EXPECT_EQ(cluster(after, 4), cluster(v.Bytes, 4)) << freeSpace;
    // No deleted entry is left in the root or in A.
    auto deletedEntries = [&](std::uint32_t c) {
      int n = 0;
      for (std::size_t at = v.ClusterOffset(c); at < v.ClusterOffset(c) + 512; at += 32)
        n += after[at] == 0xE5 && after[at + 1] != 0;
      return n;
    };
    EXPECT_EQ(deletedEntries(kRoot), 0) << freeSpace;
    EXPECT_EQ(deletedEntries(3), 0) << freeSpace;
    if (freeSpace) {
      EXPECT_EQ(cluster(after, 9), Bytes(512, 0));
    }
  }
}

} // namespace
} // namespace orvanta
