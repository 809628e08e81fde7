// The directory purge on crafted volumes, byte by byte.
#include <gtest/gtest.h>

#include "wipe_test_support.h"

namespace orvanta {
namespace {

using test::Block;
using test::CraftedVolume;
using test::CraftedWipe;
using test::Deleted;
using test::DotPair;
using test::Join;
using test::LongEntries;
using test::LongNamed;
using test::ShortEntry;

constexpr std::size_t kCluster = 512;

CraftedVolume Fat16() { return CraftedVolume({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 128}); }
CraftedVolume Fat32() {
  return CraftedVolume({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 128, .ReservedSectors = 32});
}

TEST(DirectoryPurge, PacksSurvivorsWithTheirOwnLongNamesAndZeroesTheRest) {
  auto v = Fat16();
  v.SetFat(5, 0xFFFF);
  const auto gone = ShortEntry("ADELET~1TXT", 0x20, 9, 100);
  const auto kept = ShortEntry("KEPTFI~1TXT", 0x20, 10, 50);
  const auto dir = Join({DotPair(5, 0), Deleted(LongNamed(u"a deleted long name.txt", gone)),
                         LongNamed(u"Kept file.txt", kept)});
  ASSERT_EQ(dir.size(), 2u + 3u + 2u); // two deleted pieces, one live piece
  v.PutEntries(v.ClusterOffset(5), dir);
  // Behind the end marker: an old deleted entry.
  v.PutEntries(v.ClusterOffset(5) + 10 * 32, {Deleted(ShortEntry("BEHIND  TXT", 0x20, 11, 1))});

  CraftedWipe w(v);
  ASSERT_TRUE(w.Loaded);
  auto engine = w.Engine();
  engine.WipeFATCluster(5);
  EXPECT_EQ(w.Slice(v.ClusterOffset(5), kCluster),
            Block(Join({DotPair(5, 0), LongNamed(u"Kept file.txt", kept)}), kCluster));
  EXPECT_EQ(w.Fixture.Host.LogLines, (std::vector<std::string>{"a deleted long name.txt"}));
  EXPECT_EQ(w.Fixture.State.FoundCount, 1);
  EXPECT_EQ(w.Fixture.Host.Counter, 1);
}

// Long-name pieces that belong to no surviving entry are not handed to the
// next survivor: a deleted file whose pieces were left unmarked, pieces of
// an old name in front of a short entry that took the deleted one's slot,
// and pieces cut off from their entry by a deleted one.
TEST(DirectoryPurge, OrphanedPiecesDoNotAttachToASurvivor) {
  auto v = Fat16();
  v.SetFat(5, 0xFFFF);
  const auto x = ShortEntry("ORPHAN~1TXT", 0x20, 9, 10);
  const auto plain = ShortEntry("PLAIN   TXT", 0x20, 12, 10);
  const auto old = ShortEntry("OLDNAM~1TXT", 0x20, 0, 0);
  const auto reused = ShortEntry("NEW     TXT", 0x20, 13, 10);
  const auto real = ShortEntry("REALLO~1TXT", 0x20, 14, 10);
  auto realPieces = LongNamed(u"A real long name.txt", real); // two pieces and the entry
  ASSERT_EQ(realPieces.size(), 3u);
  const auto dir = Join({DotPair(5, 0),
                         LongEntries(u"orphan name one.txt", ShortNameChecksum(x)),
                         {Deleted(x), plain},
                         LongEntries(u"old name.txt", ShortNameChecksum(old)),
                         {reused},
                         {realPieces[0], Deleted(ShortEntry("ZAP     TXT", 0x20, 15, 1)),
                          realPieces[1], realPieces[2]},
                         LongNamed(u"A real long name.txt", real)});
  v.PutEntries(v.ClusterOffset(5), dir);

  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(5);
  EXPECT_EQ(w.Slice(v.ClusterOffset(5), kCluster),
            Block(Join({DotPair(5, 0), {plain, reused, real}, LongNamed(u"A real long name.txt", real)}),
                  kCluster));
  // The scan names each deleted file by whatever pieces lie before it: ZAP
  // by the stray last piece of the real name.
  EXPECT_EQ(w.Fixture.Host.LogLines, (std::vector<std::string>{"orphan name one.txt", "ame.txt"}));
}

TEST(DirectoryPurge, AnEmptyRootIsWrittenBackEmpty) {
  auto v = Fat16();
  // First byte 0 ends the root at once; what lies behind it goes.
  v.PutEntries(v.RootOffset() + 64, {Deleted(ShortEntry("OLD     TXT", 0x20, 9, 1))});
  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(0);
  EXPECT_EQ(w.Slice(v.RootOffset(), 4 * 512), std::vector<std::uint8_t>(4 * 512, 0));
  EXPECT_TRUE(w.Fixture.Host.LogLines.empty());
  EXPECT_EQ(w.Fixture.State.FoundCount, 0);
  EXPECT_EQ(w.Device->Writes.size(), 1u); // the fixed root is written even so
}

TEST(DirectoryPurge, ABlockWithoutDeletedEntriesLosesOnlyWhatLiesBehindItsEnd) {
  auto v = Fat16();
  const auto live = Join({{ShortEntry("VOLUME     ", 0x08, 0, 0)},
                          LongNamed(u"Some long name.txt", ShortEntry("SOMELO~1TXT", 0x20, 9, 3)),
                          {ShortEntry("DCIM       ", 0x10, 6, 0)}});
  v.PutEntries(v.RootOffset(), live);
  v.SetFat(6, 0xFFFF);
  v.PutEntries(v.RootOffset() + 20 * 32, {ShortEntry("STALE   TXT", 0x20, 9, 1)});
  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(0);
  EXPECT_EQ(w.Slice(v.RootOffset(), 4 * 512), Block(live, 4 * 512));
  EXPECT_EQ(engine.Queue().Items(), (std::vector<std::uint32_t>{6}));
}

TEST(DirectoryPurge, DeletedShortNamesAreLoggedThroughTheTable) {
  auto v = Fat16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("GONE    TXT", 0x20, 9, 1)),
                                Deleted(ShortEntry("NOEXT      ", 0x20, 10, 1)),
                                Deleted(ShortEntry("\x92" "EST    DOC", 0x20, 11, 1))});
  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(0);
  // 0xE5 through the table is U+0445; 0x92 is U+0422.
  EXPECT_EQ(w.Fixture.Host.LogLines,
            (std::vector<std::string>{"\xD1\x85ONE.TXT", "\xD1\x85OEXT", "\xD1\x85" "EST.DOC"}));
  EXPECT_EQ(w.Fixture.State.FoundCount, 3);
}

// Folders are queued, live or deleted, never "." or "..", each once; a
// folder entry with cluster 0 queues the root again; a deleted folder's
// entry goes and it is not counted as a file.
TEST(DirectoryPurge, FoldersAreQueuedOnceAndNotCounted) {
  auto v = Fat16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("OLDDIR     ", 0x10, 7, 0)),
                                ShortEntry("LIVE       ", 0x10, 6, 0),
                                Deleted(ShortEntry("ZERO       ", 0x10, 0, 0)),
                                ShortEntry("AGAIN      ", 0x10, 6, 0),
                                Deleted(ShortEntry("FAR        ", 0x10, 134, 0))});
  v.SetFat(6, 0xFFFF);
  v.PutEntries(v.ClusterOffset(6), Join({DotPair(6, 0), {ShortEntry("SUB        ", 0x10, 8, 0)}}));
  v.SetFat(8, 0xFFFF);
  v.PutEntries(v.ClusterOffset(8), DotPair(8, 6));
  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(0);
  EXPECT_EQ(engine.Queue().Items(), (std::vector<std::uint32_t>{7, 6, 0}));
  // A folder's first cluster at ClusterCount or above is a deleted file.
  EXPECT_EQ(w.Fixture.State.FoundCount, 1);
  engine.WipeFATCluster(6);
  engine.WipeFATCluster(8);
  EXPECT_EQ(engine.Queue().Items(), (std::vector<std::uint32_t>{7, 6, 0, 8}));
  EXPECT_EQ(w.Slice(v.RootOffset(), 3 * 32),
            Block({ShortEntry("LIVE       ", 0x10, 6, 0), ShortEntry("AGAIN      ", 0x10, 6, 0)}, 96));
}

// The files of a deleted folder: its first cluster (free in the FAT) is
// purged, and nothing after it, even where the old directory went on.
TEST(DirectoryPurge, ADeletedFolderIsPurgedInItsFirstClusterOnly) {
  auto v = Fat16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("TRIP       ", 0x10, 7, 0))});
  const auto inside = Join({DotPair(7, 0), {Deleted(ShortEntry("A       JPG", 0x20, 20, 1))},
                            {ShortEntry("B       JPG", 0x20, 21, 1)}});
  v.PutEntries(v.ClusterOffset(7), inside);
  const auto next = Block({Deleted(ShortEntry("C       JPG", 0x20, 22, 1))}, kCluster);
  v.PutBytes(v.ClusterOffset(8), next);

  CraftedWipe w(v);
  ASSERT_EQ(w.Run(false).Message, "Files wiped: 1");
  EXPECT_EQ(w.Slice(v.ClusterOffset(7), kCluster),
            Block(Join({DotPair(7, 0), {ShortEntry("B       JPG", 0x20, 21, 1)}}), kCluster));
  EXPECT_EQ(w.Slice(v.ClusterOffset(8), kCluster), next);
  EXPECT_EQ(w.Fixture.Host.LogLines,
            (std::vector<std::string>{"Wipe deleted files. Please wait...", "", "\xD1\x85.JPG"}));
}

// A directory of 512-byte clusters along 5 -> 9 -> 7: 2 dot entries, 40
// files of which 14 are deleted, and a long name that crosses the boundary
// of the second and third cluster.
struct LongDirectory {
  static constexpr std::uint32_t kChain[3] = {5, 9, 7};
  std::vector<test::DirEntry> Entries = DotPair(5, 0);
  std::vector<test::DirEntry> Survivors;

  LongDirectory() {
    for (int i = 0; i < 40; ++i) {
      char name[12];
      std::snprintf(name, sizeof name, "F%04d   TXT", i);
      const auto e = ShortEntry(name, 0x20, 20 + std::uint32_t(i), 1);
      Entries.push_back(i < 10 || i % 7 == 0 ? Deleted(e) : e);
    }
    const auto across = LongNamed(u"Across the cluster boundary.jpg", ShortEntry("ACROSS~1JPG", 0x20, 90, 1));
    Entries.insert(Entries.begin() + 31, across.begin(), across.end());
    for (const auto &e : Entries)
      if (e[0] != 0xE5)
        Survivors.push_back(e);
  }
  void PutOn(CraftedVolume &v) const {
    v.Chain({5, 9, 7});
    const auto bytes = Block(Entries, 3 * kCluster);
    for (std::size_t c = 0; c < 3; ++c)
      v.PutBytes(v.ClusterOffset(kChain[c]),
                 {bytes.begin() + std::ptrdiff_t(c * kCluster), bytes.begin() + std::ptrdiff_t((c + 1) * kCluster)});
  }
  static std::vector<std::uint8_t> Read(CraftedWipe &w, const CraftedVolume &v) {
    std::vector<std::uint8_t> out;
    for (const auto c : kChain) {
      const auto part = w.Slice(v.ClusterOffset(c), kCluster);
      out.insert(out.end(), part.begin(), part.end());
    }
    return out;
  }
};

TEST(DirectoryPurge, ALongDirectoryIsCompactedAlongItsChain) {
  auto v = Fat16();
  LongDirectory d;
  ASSERT_GT(d.Entries.size(), 32u);
  ASSERT_LE(d.Survivors.size(), 32u); // the survivors fit the first two clusters
  d.PutOn(v);
  const auto fat = std::vector<std::uint8_t>(v.Bytes.begin(), v.Bytes.begin() + v.RootOffset());

  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(5);
  EXPECT_EQ(LongDirectory::Read(w, v), Block(d.Survivors, 3 * kCluster));
  EXPECT_EQ(w.Fixture.State.FoundCount, 14);
  EXPECT_EQ(w.Slice(0, v.RootOffset()), fat); // boot sector and FAT untouched
  // All three clusters changed: three writes, one per cluster.
  EXPECT_EQ(w.Device->Writes.size(), 3u);

  // A second purge finds nothing to change and writes nothing.
  w.Device->Writes.clear();
  engine.WipeFATCluster(5);
  EXPECT_TRUE(w.Device->Writes.empty());
  EXPECT_EQ(w.Fixture.State.FoundCount, 14);
}

// The volume refuses the second cluster's write: the first is put back, so
// the directory is as it was instead of holding moved entries twice; the
// failure is counted.
TEST(DirectoryPurge, AFailedWriteInAChainLeavesTheDirectoryAsItWas) {
  auto v = Fat16();
  LongDirectory d;
  d.PutOn(v);
  CraftedWipe w(v);
  const auto before = LongDirectory::Read(w, v);
  w.Device->Memory.FailWrites(v.ClusterOffset(9) / 512, v.ClusterOffset(9) / 512);
  auto engine = w.Engine();
  engine.WipeFATCluster(5);
  EXPECT_EQ(LongDirectory::Read(w, v), before);
  EXPECT_EQ(engine.FailedWrites(), 1);
  EXPECT_EQ(w.Fixture.State.FoundCount, 14); // counted in the scan all the same
}

TEST(DirectoryPurge, TheFat32RootIsCompactedAlongItsChain) {
  auto v = Fat32();
  v.Chain({2, 3});
  std::vector<test::DirEntry> root = {ShortEntry("CARD       ", 0x08, 0, 0)};
  for (int i = 0; i < 15; ++i)
    root.push_back(Deleted(ShortEntry("OLD" + std::to_string(10 + i) + "   TXT", 0x20, 40, 1)));
  const auto last = LongNamed(u"the last live file.txt", ShortEntry("THELAS~1TXT", 0x20, 41, 1));
  root.insert(root.end(), last.begin(), last.end());
  const auto bytes = Block(root, 2 * kCluster);
  v.PutBytes(v.ClusterOffset(2), bytes);

  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(0);
  EXPECT_EQ(w.Slice(v.ClusterOffset(2), 2 * kCluster),
            Block(Join({{ShortEntry("CARD       ", 0x08, 0, 0)}, last}), 2 * kCluster));
  EXPECT_EQ(w.Fixture.State.FoundCount, 15);
}

// Only a cluster whose "." entry names the cluster itself begins a
// directory: data that starts with two dot entries of some other volume (a
// disk image kept as a file) is not touched.
TEST(DirectoryPurge, DataThatOnlyLooksLikeADirectoryIsNotTouched) {
  auto v = Fat32();
  v.SetFat(20, 0x0FFFFFFF);
  const auto foreign = Block(Join({DotPair(33, 0), {Deleted(ShortEntry("X       TXT", 0x20, 9, 1))}}), kCluster);
  v.PutBytes(v.ClusterOffset(20), foreign);
  std::vector<std::uint8_t> dots(kCluster, '.');
  v.SetFat(21, 0x0FFFFFFF);
  v.PutBytes(v.ClusterOffset(21), dots);
  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(20);
  engine.WipeFATCluster(21);
  EXPECT_EQ(w.Slice(v.ClusterOffset(20), kCluster), foreign);
  EXPECT_EQ(w.Slice(v.ClusterOffset(21), kCluster), dots);
  EXPECT_TRUE(w.Device->Writes.empty());
  EXPECT_EQ(w.Fixture.State.FoundCount, 0);
}

// Index 1 is the block just before the data area: on FAT16 the end of the
// root region. It is a directory only when it says so of itself.
TEST(DirectoryPurge, IndexOneIsLeftAloneUnlessItBeginsItsOwnDirectory) {
  auto v = Fat16();
  const std::size_t blockOne = v.ClusterOffset(2) - kCluster;
  v.PutEntries(blockOne, {ShortEntry("ROOTFILETXT", 0x20, 9, 1), Deleted(ShortEntry("A       TXT", 0x20, 9, 1)),
                          ShortEntry("B       TXT", 0x20, 9, 1)});
  {
    CraftedWipe w(v);
    auto engine = w.Engine();
    engine.WipeFATCluster(1);
    EXPECT_EQ(w.Slice(blockOne, kCluster), std::vector<std::uint8_t>(v.Bytes.begin() + std::ptrdiff_t(blockOne), v.Bytes.begin() + std::ptrdiff_t(blockOne + kCluster)));
    EXPECT_TRUE(w.Device->Writes.empty());
  }
  v.PutEntries(blockOne, DotPair(1, 0));
  CraftedWipe w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(1);
  EXPECT_EQ(w.Slice(blockOne, kCluster), Block(Join({DotPair(1, 0), {ShortEntry("B       TXT", 0x20, 9, 1)}}), kCluster));
}

// Stop is seen before any entry of either phase; a stopped purge writes
// nothing, but what its scan logged and counted stays.
TEST(DirectoryPurge, AStoppedPurgeWritesNothing) {
  auto v = Fat16();
  LongDirectory d;
  d.PutOn(v);
  const std::size_t entries = d.Entries.size();
  for (long stopAt : {1L, 2L, long(entries), long(entries) + 1, 2 * long(entries)}) {
    CraftedWipe w(v);
    w.Fixture.Host.StopAfterPumps = stopAt;
    auto engine = w.Engine();
    engine.WipeFATCluster(5);
    EXPECT_TRUE(w.Device->Writes.empty()) << stopAt;
    EXPECT_EQ(w.Fixture.State.FoundCount, stopAt > long(entries) ? 14 : std::count_if(d.Entries.begin(), d.Entries.begin() + stopAt - 1, [](const auto &e) { return e[0] == 0xE5 && e[11] != 0x0F; })) << stopAt;
  }
}

} // namespace
} // namespace orvanta
