// The directory purge, the free-space pass and the Wipe command's checks on
// crafted volumes, byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/memory_device.h"
#include "support/crafted_volume.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "volume/volume_checks.h"
#include "engine/rounding.h"
#include "wipe/wipe_engine.h"
#include "jobs/wipe_job.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::CraftedVolume;
using test::Deleted;
using test::DirEntry;
using test::DotPair;
using test::LongEntries;
using test::ShortEntry;
using Bytes = std::vector<std::uint8_t>;
using Entries = std::vector<DirEntry>;

constexpr std::size_t kCluster = 512;

CraftedVolume Fat16() { return CraftedVolume({.FatBits = 16, .SectorsPerCluster = 1, .Clusters = 128}); }

Bytes Block(const Entries &entries, std::size_t size = kCluster) {
  Bytes out(size, 0);
  for (std::size_t i = 0; i < entries.size(); ++i)
    std::copy(entries[i].begin(), entries[i].end(), out.begin() + std::ptrdiff_t(i * 32));
  return out;
}

Entries Join(std::initializer_list<Entries> parts) {
  Entries out;
  for (const auto &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A deleted entry as the purge leaves it: 0xE5, then zero bytes.
DirEntry Blank() {
  DirEntry e{};
  e[0] = 0xE5;
  return e;
}

// Entries as the purge leaves them: the deleted ones blanked in place.
Entries Blanked(Entries entries) {
  for (auto &e : entries)
    if (e[0] == 0xE5)
      e = Blank();
  return entries;
}

// A long name's pieces with the short entry's checksum, then the entry.
Entries LongNamed(const std::u16string &name, const DirEntry &entry) {
  return Join({LongEntries(name, ShortNameChecksum(entry)), {entry}});
}

// A crafted volume as drive E: in memory, geometry and FAT loaded.
struct Crafted {
  explicit Crafted(const CraftedVolume &v)
      : Memory(std::make_shared<MemoryDevice>(v.Bytes)), Fixture(Memory) {
    EXPECT_EQ(OpenVolume(Fixture.State.Vol, "E:", true), VolumeCheck::Ok);
    Fixture.Host.SetRunning(true);
  }
  WipeEngine Engine() { return WipeEngine(Fixture.State, Fixture.Host); }
  WipeOutcome Run(bool freeSpace) {
    WipeOptions options;
    options.FreeSpace = freeSpace;
    options.Confirm = [](const std::string &) { return true; };
    return RunWipe(Fixture.State, Fixture.Host, options);
  }
  Bytes At(std::size_t offset, std::size_t length = kCluster) const {
    const auto &b = Memory->Bytes();
    return {b.begin() + std::ptrdiff_t(offset), b.begin() + std::ptrdiff_t(offset + length)};
  }
  std::shared_ptr<MemoryDevice> Memory;
  test::EngineFixture Fixture;
};

Bytes At(const CraftedVolume &v, std::size_t offset, std::size_t length = kCluster) {
  return {v.Bytes.begin() + std::ptrdiff_t(offset), v.Bytes.begin() + std::ptrdiff_t(offset + length)};
}

TEST(DirectoryPurge, BlanksDeletedEntriesInPlaceAndZeroesAfterTheLastSurvivor) {
  auto v = Fat16();
  v.SetFat(5, 0xFFFF);
  const auto gone = ShortEntry("ADELET~1TXT", 0x20, 9, 100);
  const auto kept = ShortEntry("KEPTFI~1TXT", 0x20, 10, 50);
  // Two deleted pieces, their deleted entry, one live piece and its entry;
  // behind the end marker an old deleted entry.
  v.PutEntries(v.ClusterOffset(5), Join({DotPair(5, 0), Deleted(LongNamed(u"a deleted long name.txt", gone)),
                                         LongNamed(u"Kept file.txt", kept)}));
  v.PutEntries(v.ClusterOffset(5) + 10 * 32, {Deleted(ShortEntry("BEHIND  TXT", 0x20, 11, 1))});
  Crafted w(v);
  w.Engine().WipeFATCluster(5);
  EXPECT_EQ(w.At(v.ClusterOffset(5)),
            Block(Join({DotPair(5, 0), {Blank(), Blank(), Blank()}, LongNamed(u"Kept file.txt", kept)})));
  EXPECT_EQ(w.Fixture.Host.LogLines, (std::vector<std::string>{"a deleted long name.txt"}));
  EXPECT_EQ(w.Fixture.Host.Counter, 1);
}

// Pieces that belong to no surviving entry are blanked like deleted entries: a
// deleted file's pieces left unmarked, an old name's pieces before a short
// entry that took the deleted one's slot, pieces cut off by a deleted entry.
TEST(DirectoryPurge, OrphanedPiecesDoNotAttachToASurvivor) {
  auto v = Fat16();
  v.SetFat(5, 0xFFFF);
  const auto x = ShortEntry("ORPHAN~1TXT", 0x20, 9, 10);
  const auto old = ShortEntry("OLDNAM~1TXT", 0x20, 0, 0);
  const auto plain = ShortEntry("PLAIN   TXT", 0x20, 12, 10);
  const auto reused = ShortEntry("NEW     TXT", 0x20, 13, 10);
  const auto real = LongNamed(u"A real long name.txt", ShortEntry("REALLO~1TXT", 0x20, 14, 10));
  v.PutEntries(v.ClusterOffset(5),
               Join({DotPair(5, 0), LongEntries(u"orphan name one.txt", ShortNameChecksum(x)), {Deleted(x), plain},
                     LongEntries(u"old name.txt", ShortNameChecksum(old)), {reused},
                     {real[0], Deleted(ShortEntry("ZAP     TXT", 0x20, 15, 1)), real[1], real[2]}, real}));
  Crafted w(v);
  w.Engine().WipeFATCluster(5);
  EXPECT_EQ(w.At(v.ClusterOffset(5)),
            Block(Join({DotPair(5, 0), {Blank(), Blank(), Blank(), plain, Blank(), reused, Blank(), Blank(),
                                        Blank(), real[2]},
                        real})));
  // The scan names a deleted file by whatever pieces lie before it.
  EXPECT_EQ(w.Fixture.Host.LogLines, (std::vector<std::string>{"orphan name one.txt", "ame.txt"}));
}

TEST(DirectoryPurge, AnEmptyRootIsWrittenBackEmpty) {
  auto v = Fat16();
  v.PutEntries(v.RootOffset() + 64, {Deleted(ShortEntry("OLD     TXT", 0x20, 9, 1))});
  Crafted w(v);
  w.Engine().WipeFATCluster(0);
  EXPECT_EQ(w.At(v.RootOffset(), 4 * 512), Bytes(4 * 512, 0));
  EXPECT_EQ(w.Fixture.State.FoundCount, 0);
  EXPECT_EQ(w.Memory->Writes(), 1u); // the fixed root is written even so
}

// Folders are queued live or deleted, each once, never "." or ".."; cluster
// 0 queues the root again; a folder entry is not a wiped file, unless its
// cluster is at ClusterCount or above.
TEST(DirectoryPurge, FoldersAreQueuedOnceAndNotCounted) {
  auto v = Fat16();
  const Entries live = {ShortEntry("LIVE       ", 0x10, 6, 0), ShortEntry("AGAIN      ", 0x10, 6, 0)};
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("OLDDIR     ", 0x10, 7, 0)), live[0],
                                Deleted(ShortEntry("ZERO       ", 0x10, 0, 0)), live[1],
                                Deleted(ShortEntry("FAR        ", 0x10, 5000, 0))});
  v.SetFat(6, 0xFFFF);
  v.PutEntries(v.ClusterOffset(6), Join({DotPair(6, 0), {ShortEntry("SUB        ", 0x10, 8, 0)}}));
  v.SetFat(8, 0xFFFF);
  v.PutEntries(v.ClusterOffset(8), DotPair(8, 6));
  Crafted w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(0);
  EXPECT_EQ(engine.Queue().Items(), (std::vector<std::uint32_t>{7, 6, 0}));
  EXPECT_EQ(w.Fixture.State.FoundCount, 1);
  engine.WipeFATCluster(6);
  engine.WipeFATCluster(8);
  EXPECT_EQ(engine.Queue().Items(), (std::vector<std::uint32_t>{7, 6, 0, 8}));
  EXPECT_EQ(w.At(v.RootOffset(), 4 * 512), Block({Blank(), live[0], Blank(), live[1]}, 4 * 512));
}

// A deleted folder (its first cluster free) is purged in that cluster only,
// even where the old directory went on; the run empties the last results.
TEST(DirectoryPurge, ADeletedFolderIsPurgedInItsFirstClusterOnly) {
  auto v = Fat16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("TRIP       ", 0x10, 7, 0))});
  const auto kept = ShortEntry("B       JPG", 0x20, 21, 1);
  v.PutEntries(v.ClusterOffset(7), Join({DotPair(7, 0), {Deleted(ShortEntry("A       JPG", 0x20, 20, 1)), kept}}));
  v.PutEntries(v.ClusterOffset(8), {Deleted(ShortEntry("C       JPG", 0x20, 22, 1))});
  Crafted w(v);
  w.Fixture.State.Catalogue.Write("E:\\", test::Row("old", "1#2019/05/07 09:05#2#0"));
  const auto outcome = w.Run(false);
  EXPECT_EQ(outcome.ReportText(), "Files wiped: 1");
  EXPECT_EQ(w.At(v.ClusterOffset(7)), Block(Join({DotPair(7, 0), {Blank(), kept}})));
  EXPECT_EQ(w.At(v.ClusterOffset(8)), At(v, v.ClusterOffset(8)));
  EXPECT_EQ(w.Fixture.Host.LogLines,
            (std::vector<std::string>{"Wipe deleted files. Please wait...", "", "\xD1\x85.JPG"}));
  EXPECT_EQ(w.Fixture.State.Catalogue.FileCount(), 0u);
  EXPECT_EQ(w.Fixture.Host.Widths, (std::vector<int>{0, 557, 0})); // one queued folder
}

// A live directory of three clusters (5 -> 9 -> 7): 40 files, 14 deleted,
// and a long name across the second and third cluster.
struct LongDirectory {
  static constexpr std::uint32_t kChain[3] = {5, 9, 7};
  Entries All = DotPair(5, 0);
  LongDirectory() {
    for (int i = 0; i < 40; ++i) {
      char name[12];
      std::snprintf(name, sizeof name, "F%04d   TXT", i);
      const auto e = ShortEntry(name, 0x20, 20 + std::uint32_t(i), 1);
      All.push_back(i < 10 || i % 7 == 0 ? Deleted(e) : e);
    }
    const auto across = LongNamed(u"Across the cluster boundary.jpg", ShortEntry("ACROSS~1JPG", 0x20, 90, 1));
    All.insert(All.begin() + 31, across.begin(), across.end());
  }
  void PutOn(CraftedVolume &v) const {
    v.Chain({5, 9, 7});
    const auto bytes = Block(All, 3 * kCluster);
    for (std::size_t c = 0; c < 3; ++c)
      v.PutBytes(v.ClusterOffset(kChain[c]), Bytes(bytes.begin() + std::ptrdiff_t(c * kCluster),
                                                   bytes.begin() + std::ptrdiff_t((c + 1) * kCluster)));
  }
  static Bytes Read(const Crafted &w, const CraftedVolume &v) {
    Bytes out;
    for (const auto c : kChain) {
      const auto part = w.At(v.ClusterOffset(c));
      out.insert(out.end(), part.begin(), part.end());
    }
    return out;
  }
};

// Each changed sector is written on its own; a directory with nothing left
// to change is not written.
TEST(DirectoryPurge, ALongDirectoryIsPurgedAlongItsChain) {
  auto v = Fat16();
  const LongDirectory d;
  d.PutOn(v);
  Crafted w(v);
  auto engine = w.Engine();
  engine.WipeFATCluster(5);
  EXPECT_EQ(LongDirectory::Read(w, v), Block(Blanked(d.All), 3 * kCluster));
  EXPECT_EQ(w.Fixture.State.FoundCount, 14);
  EXPECT_EQ(w.At(0, v.RootOffset()), At(v, 0, v.RootOffset())); // boot sector and FAT
  EXPECT_EQ(w.Memory->Writes(), 3u);
  engine.WipeFATCluster(5); // nothing left to change: nothing written
  EXPECT_EQ(w.Memory->Writes(), 3u);
}

// The second cluster's write is refused: the directory ends there, the
// first cluster's blanked entries stay; the failure is counted once.
TEST(DirectoryPurge, AFailedWriteEndsTheDirectoryThere) {
  auto v = Fat16();
  const LongDirectory d;
  d.PutOn(v);
  Crafted w(v);
  const auto before = LongDirectory::Read(w, v);
  w.Memory->FailWrites(v.ClusterOffset(9) / 512, v.ClusterOffset(9) / 512);
  auto engine = w.Engine();
  engine.WipeFATCluster(5);
  auto expected = Block(Blanked(d.All), 3 * kCluster);
  std::copy(before.begin() + kCluster, before.end(), expected.begin() + kCluster);
  EXPECT_EQ(LongDirectory::Read(w, v), expected);
  EXPECT_EQ(engine.FailedWrites(), 1);
}

// A cluster begins a directory only when its "." entry names the cluster
// itself: a disk image kept as a file, or data that starts with dots, is
// never touched. Index 1 (on FAT16 the end of the root region) likewise.
TEST(DirectoryPurge, OnlyAClusterThatNamesItselfIsADirectory) {
  auto v = Fat16();
  v.SetFat(20, 0xFFFF);
  v.PutEntries(v.ClusterOffset(20), Join({DotPair(33, 0), {Deleted(ShortEntry("X       TXT", 0x20, 9, 1))}}));
  v.SetFat(21, 0xFFFF);
  v.PutBytes(v.ClusterOffset(21), Bytes(kCluster, '.'));
  const std::size_t blockOne = v.ClusterOffset(2) - kCluster;
  v.PutEntries(blockOne, {ShortEntry("ROOTFILETXT", 0x20, 9, 1), Deleted(ShortEntry("A       TXT", 0x20, 9, 1))});
  {
    Crafted w(v);
    auto engine = w.Engine();
    for (const int index : {20, 21, 1})
      engine.WipeFATCluster(index);
    EXPECT_EQ(w.Memory->Bytes(), v.Bytes);
    EXPECT_EQ(w.Memory->Writes(), 0u);
  }
  v.PutEntries(blockOne, Join({DotPair(1, 0), {Deleted(ShortEntry("A       TXT", 0x20, 9, 1))}}));
  Crafted w(v);
  w.Engine().WipeFATCluster(1);
  EXPECT_EQ(w.At(blockOne), Block(DotPair(1, 0)));
}

// FAT16, clusters 2..129 full of old bytes.
CraftedVolume Filled16() {
  auto v = Fat16();
  v.PutBytes(v.ClusterOffset(2), test::PatternBytes(128 * kCluster, 7));
  return v;
}

bool AllZero(const Bytes &bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// Free clusters 10..49: one write of 32 clusters and one of 8. The second
// is refused (cluster 45 is bad to write) and leaves all 8 as they were.
TEST(FreeSpacePass, ARunOf40FreeClustersIsWrittenAs32And8) {
  auto v = Filled16();
  for (std::uint32_t c = 2; c <= 129; ++c)
    if (c < 10 || c > 49)
      v.SetFat(c, 0xFFFF);
  Crafted w(v);
  w.Memory->FailWrites(v.ClusterOffset(45) / 512, v.ClusterOffset(45) / 512);
  auto engine = w.Engine();
  EXPECT_TRUE(engine.WipeFAT16());
  EXPECT_TRUE(AllZero(w.At(v.ClusterOffset(10), 32 * kCluster)));
  EXPECT_EQ(w.At(v.ClusterOffset(42), 8 * kCluster), At(v, v.ClusterOffset(42), 8 * kCluster));
  EXPECT_EQ(engine.FailedWrites(), 1);
  EXPECT_EQ(w.At(v.ClusterOffset(50)), At(v, v.ClusterOffset(50))); // used
}

// Free runs that follow one another go out in one transfer; a used cluster
// between them begins another.
TEST(FreeSpacePass, RunsThatFollowOneAnotherAreWrittenTogether) {
  auto v = Filled16();
  v.SetFat(70, 0xFFFF);
  // The volume's clusters after the filled ones are in use.
  for (std::uint32_t c = 130; c < 2 + CraftedVolume::kMinFat16Clusters; ++c)
    v.SetFat(c, 0xFFFF);
  Crafted w(v);
  auto engine = w.Engine();
  EXPECT_TRUE(engine.WipeFAT16());
  EXPECT_TRUE(AllZero(w.At(v.ClusterOffset(2), 68 * kCluster)));
  EXPECT_EQ(w.At(v.ClusterOffset(70)), At(v, v.ClusterOffset(70)));
  EXPECT_TRUE(AllZero(w.At(v.ClusterOffset(71), 59 * kCluster)));
  EXPECT_EQ(w.Memory->Writes(), 2u); // the runs before 70, those after it; the root has nothing to change
}

// The boot sector's total may reach past the device (a damaged field: with
// more clusters than the FAT has entries the wipe is refused), or the
// device past the volume (a card with more behind it). The last run ends
// at the last cluster: every free cluster is wiped and nothing past them
// written.
TEST(FreeSpacePass, EveryFreeClusterUpToTheEndOfTheDataAreaIsWiped) {
  const std::size_t volumeEnd = Fat16().Bytes.size();
  for (const bool totalTooLarge : {true, false}) {
    auto v = Filled16();
    v.SetFat(2, 0xFFFF);
    v.PutEntries(v.RootOffset(), {ShortEntry("KEPT    BIN", 0x20, 2, 1)});
    if (totalTooLarge)
      v.PutLe32(32, static_cast<std::uint32_t>(4 * volumeEnd / 512));
    else
      v.Bytes.resize(v.Bytes.size() + 64 * 512, 0xAA);
    Crafted w(v);
    const auto outcome = w.Run(true);
    if (totalTooLarge) {
      EXPECT_EQ(outcome.Hazard, WipeHazard::FatTooSmall);
      EXPECT_EQ(w.Memory->Bytes(), v.Bytes);
      continue;
    }
    EXPECT_EQ(outcome.ReportText(), "Free drive space wiped: 100%");
    EXPECT_TRUE(AllZero(w.At(v.ClusterOffset(3), volumeEnd - v.ClusterOffset(3)))) << totalTooLarge;
    EXPECT_EQ(w.At(volumeEnd, v.Bytes.size() - volumeEnd), At(v, volumeEnd, v.Bytes.size() - volumeEnd));
  }
}

// A deleted folder entry naming cluster 1 points at the last FAT sector of
// a FAT32 volume, and here that sector even looks like the folder's
// directory. Neither wipe writes it: the volume is refused (the directory's
// bytes are FAT entries of clusters in use that nothing holds), or the
// write is refused and counted; nothing before the data area changes.
TEST(WriteFence, NothingBeforeTheDataAreaIsWritten) {
  CraftedVolume v({.FatBits = 32, .SectorsPerCluster = 1, .Clusters = 200}); // two FAT sectors
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("OLDDIR     ", 0x10, 1, 0))});
  const std::size_t lastFatSector = v.RootOffset() - kCluster; // cluster 1
  v.PutEntries(lastFatSector, Join({DotPair(1, 0), {Deleted(ShortEntry("A       JPG", 0x20, 9, 1))}}));
  for (const bool freeSpace : {false, true}) {
    Crafted w(v);
    const auto outcome = w.Run(freeSpace);
    if (outcome.Outcome == WipeOutcome::Result::Refused)
      EXPECT_EQ(outcome.Hazard, WipeHazard::LostClusters) << freeSpace;
    else
      EXPECT_GE(outcome.FailedWrites, 1) << freeSpace;
    EXPECT_EQ(w.At(0, v.RootOffset()), At(v, 0, v.RootOffset())) << freeSpace;
  }
}

TEST(WipeCommand, ChecksRefuseBeforeTheQuestion) {
  const auto v = Filled16();
  auto refusal = [&](const std::function<void(MemoryDevice &)> &prepare) {
    Crafted w(v);
    prepare(*w.Memory);
    bool asked = false;
    WipeOptions options;
    options.Confirm = [&](const std::string &) { return asked = true; };
    const auto outcome = RunWipe(w.Fixture.State, w.Fixture.Host, options);
    EXPECT_FALSE(asked);
    EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Refused);
    EXPECT_EQ(w.Memory->Bytes(), v.Bytes);
    return outcome.Message;
  };
  const std::string cannotWrite = "The drive cannot be opened for writing. It may be write-protected or in use.";
  EXPECT_EQ(refusal([](MemoryDevice &d) { d.SetWritable(false); }), cannotWrite);
  EXPECT_EQ(refusal([](MemoryDevice &d) { d.SetMountPoint("/media/card"); }), cannotWrite);
  EXPECT_EQ(refusal([](MemoryDevice &d) { d.SetFileSystemName("NTFS"); }),
            "The software supports only FAT file system!");
  EXPECT_EQ(refusal([](MemoryDevice &d) { d.FailReads(1, 1); }), "Access to boot sector denied!");
  EXPECT_EQ(refusal([](MemoryDevice &d) { d.VanishAfter(0); }), "Drive not found!");
  // A cluster size of 0 sectors: twice the reserved count (2200 sectors)
  // stands in, and clusters of 1.1 MB are no FAT volume's.
  auto damaged = v;
  damaged.Bytes[13] = 0;
  damaged.PutLe16(14, 1100);
  damaged.PutLe32(32, 10'000'000); // clusters enough for FAT16
  damaged.Bytes.resize(2 << 20);
  Crafted w(damaged);
  WipeOptions options;
  options.Confirm = [](const std::string &) { return true; };
  const auto outcome = RunWipe(w.Fixture.State, w.Fixture.Host, options);
  EXPECT_EQ(outcome.Message, "Access to boot sector denied!");
  EXPECT_EQ(w.Memory->Bytes(), damaged.Bytes);
}

// The question names the drive by its letter, the label of its boot sector
// (after the extended boot signature 0x29 only; "NO NAME" is none), its size
// and device, and says what the chosen wipe overwrites.
TEST(WipeCommand, TheQuestionNamesTheDriveAndWhatTheWipeOverwrites) {
  struct Case {
    int FatBits;
    std::uint8_t Signature;
    const char *Label; // 11 bytes
    bool FreeSpace;
    const char *DriveLine;
  };
  const Case cases[] = {
      {16, 0x29, "HOLIDAY    ", false, "E: HOLIDAY \u00B7 %d Mb \u00B7 sdb1"},
      {32, 0x29, "CARD 2     ", true, "E: CARD 2 \u00B7 %d Mb \u00B7 sdb1"},
      {16, 0x29, "NO NAME    ", false, "E: \u00B7 %d Mb \u00B7 sdb1"},
      {16, 0x28, "HOLIDAY    ", false, "E: \u00B7 %d Mb \u00B7 sdb1"}, // no label field
      {16, 0x29, "\xCA\xC0\xD0\xD2\xC0      ", false, "E: \u041A\u0410\u0420\u0422\u0410 \u00B7 %d Mb \u00B7 sdb1"},
  };
  for (const Case &c : cases) {
    CraftedVolume v({.FatBits = c.FatBits});
    const std::size_t signature = c.FatBits == 32 ? 66 : 38;
    v.Bytes[signature] = c.Signature;
    std::memcpy(&v.Bytes[signature + 5], c.Label, 11);
    Crafted w(v);
    WipeOptions options;
    options.FreeSpace = c.FreeSpace;
    options.DeviceName = "sdb1";
    const TVolumeGeometry &g = w.Fixture.State.Vol.Geometry();
    char line[96];
    std::snprintf(line, sizeof line, c.DriveLine,
                  int(RoundHalfEven(double(std::int64_t{g.BytesPerCluster} * g.ClusterCount) / 1048576.0)));
    EXPECT_EQ(WipeQuestion(w.Fixture.State, options),
              std::string("Are you sure wipe deleted files?\n") + line + "\n" +
                  (c.FreeSpace ? "All free space will be zeroed."
                               : "Deleted entries will be overwritten."))
        << c.Label;
  }
}

TEST(WipeCommand, AnsweringNoChangesNothing) {
  auto v = Filled16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("GONE    TXT", 0x20, 9, 1))});
  Crafted w(v);
  w.Fixture.State.Catalogue.Write("E:\\", test::Row("kept", "1#2019/05/07 09:05#2#0"));
  w.Fixture.Host.Log("last find");
  std::string question;
  WipeOptions options;
  options.Confirm = [&](const std::string &q) { return question = q, false; };
  EXPECT_EQ(RunWipe(w.Fixture.State, w.Fixture.Host, options).Outcome, WipeOutcome::Result::Declined);
  EXPECT_EQ(question.substr(0, question.find('\n')), "Are you sure wipe deleted files?");
  EXPECT_EQ(w.Memory->Bytes(), v.Bytes);
  EXPECT_EQ(w.Fixture.Host.LogLines, (std::vector<std::string>{"last find"}));
  EXPECT_EQ(w.Fixture.State.Catalogue.FileCount(), 1u);
}

// Refused writes are counted and reported on a line of their own.
TEST(WipeCommand, FailedWritesAreReported) {
  auto v = Filled16();
  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("GONE    TXT", 0x20, 9, 1))});
  Crafted w(v);
  w.Memory->FailWrites(v.RootStartSector(), v.RootStartSector());
  w.Memory->FailWrites(v.ClusterOffset(100) / 512, v.ClusterOffset(100) / 512);
  EXPECT_EQ(w.Run(true).ReportText(), "Free drive space wiped: 100%\nWrites that failed: 2");

  // Writes the device took in but could not flush when the run's session
  // ended count once more.
  Crafted f(v);
  f.Memory->FailFlushes();
  EXPECT_EQ(f.Run(true).ReportText(), "Free drive space wiped: 100%\nWrites that failed: 1");
}

// After Stop: the last percentage the pass computed, or the files counted
// so far; no full bar.
TEST(WipeCommand, StopReportsWhatWasReached) {
  auto v = Filled16();
  Crafted w(v);
  w.Fixture.Host.StopAfterPumps = 60;
  const auto outcome = w.Run(true);
  EXPECT_TRUE(outcome.Stopped);
  EXPECT_LT(outcome.PercentWiped, 100);
  EXPECT_EQ(outcome.Message, "Free drive space wiped: " + std::to_string(outcome.PercentWiped) + "%");
  EXPECT_EQ(std::count(w.Fixture.Host.Widths.begin(), w.Fixture.Host.Widths.end(), 557), 0);

  v.PutEntries(v.RootOffset(), {Deleted(ShortEntry("A       TXT", 0x20, 9, 1)),
                                Deleted(ShortEntry("B       TXT", 0x20, 9, 1)),
                                Deleted(ShortEntry("C       TXT", 0x20, 9, 1))});
  Crafted q(v);
  q.Fixture.Host.StopAfterPumps = 3; // before the root's third entry
  EXPECT_EQ(q.Run(false).Message, "Files wiped: 2");
  EXPECT_EQ(q.Memory->Bytes(), v.Bytes);
}

} // namespace
} // namespace orvanta
