#include <cstring>
#include <gtest/gtest.h>
#include <csignal>
#include <map>
#include <sys/stat.h>

#include "jobs/restore_jobs.h"
#include "scan/found_file_row.h"
#include "restore_fixture.h"
#include "support/cli.h"
#include "support/temp_dir.h"
#include "support/tsk.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::EngineFixture;
using test::FatImageFile;
using test::LocalTime;
using test::PatternBytes;
using test::ReadFileBytes;
using test::TempDir;

struct CardFile {
  std::string Path; // on the card, "/Trip/notes file.txt"
  std::vector<std::uint8_t> Bytes;
};

const std::time_t kWritten = LocalTime(2019, 5, 7, 9, 5);

// Deleted files of every shape, with long names, written one after another
// so that each lies in one run: smaller than, exactly, just over and many
// times a cluster, in a camera folder, and in a folder deleted with all it
// holds. Nothing is written after the deletions.
std::vector<CardFile> FillCard(FatImageFile &card, std::size_t clusterBytes) {
  card.Mkdir("/DCIM/100MEDIA");
  card.Mkdir("/Trip/Day One");
  const std::vector<CardFile> files = {
      {"/Small note.txt", PatternBytes(100, 1)},
      {"/One cluster.bin", PatternBytes(clusterBytes, 2)},
      {"/Just over a cluster.bin", PatternBytes(clusterBytes + 1, 3)},
      {"/Big file.bin", PatternBytes(10 * clusterBytes + 123, 4)},
      {"/DCIM/100MEDIA/Photo one.jpg", PatternBytes(300000, 5)},
      {"/Trip/notes file.txt", PatternBytes(700, 6)},
      {"/Trip/Day One/beach photo.jpg", PatternBytes(5 * clusterBytes + 9, 7)},
  };
  card.Put("/keep.txt", "kept");
  for (const auto &f : files)
    card.Put(f.Path, f.Bytes, kWritten);
  for (const auto &f : files)
    if (!f.Path.starts_with("/Trip/"))
      card.Delete(f.Path);
  card.DeleteTree("/Trip");
  return files;
}

std::time_t ModificationTime(const std::filesystem::path &p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mtime;
}

class RestoreFromCard : public ::testing::TestWithParam<int> {};

// Every deleted file whose clusters were not reused comes back byte for byte
// with its date, and The Sleuth Kit's icat recovers the same bytes.
TEST_P(RestoreFromCard, DeletedFilesComeBackAsTheyWere) {
  const int fatBits = GetParam();
  const std::size_t clusterBytes = fatBits == 16 ? 2048 : 512;
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = fatBits,
                                       .SizeKiB = fatBits == 16 ? 16u * 1024 : 40u * 1024,
                                       .SectorsPerCluster = fatBits == 16 ? 4 : 1});
  const auto files = FillCard(card, clusterBytes);

  auto engine = EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir / "restored";
  const auto outcome = RestoreFolder(engine.State, restore, engine.Host);
  EXPECT_EQ(outcome.Message, "Files restored: " + std::to_string(files.size()));

  std::map<std::string, std::uint64_t> inodes;
  for (const auto &t : test::Fls(card.Path(), /*deletedOnly=*/true))
    inodes[t.Path] = t.Inode;
  for (const auto &f : files) {
    const auto restored = restore.DestFolder / f.Path.substr(1);
    EXPECT_TRUE(ReadFileBytes(restored) == f.Bytes) << f.Path;
    EXPECT_EQ(ModificationTime(restored), kWritten) << f.Path;
    ASSERT_TRUE(inodes.count(f.Path.substr(1))) << f.Path;
    EXPECT_TRUE(test::Icat(card.Path(), inodes[f.Path.substr(1)]) == ReadFileBytes(restored))
        << f.Path;
  }
}

INSTANTIATE_TEST_SUITE_P(Fat, RestoreFromCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

// Marks a file's entry and its long-name pieces deleted and leaves its
// chain in the FAT, as some devices delete.
void MarkDeletedKeepingChain(const std::filesystem::path &image, const char *shortName11) {
  auto bytes = ReadFileBytes(image);
  for (std::size_t at = 0; at + 32 <= bytes.size(); at += 32) {
    if (std::memcmp(&bytes[at], shortName11, 11) != 0)
      continue;
    bytes[at] = 0xE5;
    for (std::size_t p = at; p >= 32 && bytes[p - 32 + 11] == 0x0F; p -= 32)
      bytes[p - 32] = 0xE5;
    test::WriteFileBytes(image, bytes);
    return;
  }
  FAIL() << "no entry " << shortName11;
}

// A file written into a hole and on past the next file is fragmented; when
// its chain survives the deletion, the restore follows it.
TEST(RestoreFromCard, ASurvivingFragmentedChainIsFollowed) {
  TempDir dir;
  FatImageFile card(dir / "card.img",
                    {.FatBits = 16, .SizeKiB = 16 * 1024, .SectorsPerCluster = 4});
  card.Put("/hole.bin", PatternBytes(4096, 1));
  card.Put("/wall.bin", PatternBytes(2048, 2));
  card.Delete("/hole.bin");
  const auto frag = PatternBytes(10240, 3);
  card.Put("/Frag file.bin", frag);
  MarkDeletedKeepingChain(card.Path(), "FRAGFI~1BIN");

  auto engine = EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir.Path();
  const std::vector<RestoreRow> rows = {{"Frag file.bin", true}};
  EXPECT_EQ(RestoreCheckedRows(engine.State, restore, engine.Host, rows).Message,
            "Files restored: 1");
  EXPECT_TRUE(ReadFileBytes(dir / "Frag file.bin") == frag);
  // No live file leads to the chain: it is the file's own.
  EXPECT_EQ(test::ParseRow(test::Value(engine.State.Catalogue, "E:\\", "Frag file.bin"))->Condition,
            FileCondition::Intact);
}

// Long names may hold separators, dots and control characters; each is one
// safe name below the destination, and nothing is written beside it.
TEST(RestoreFromCard, HostileNamesStayInsideTheDestination) {
  auto v = test::PatternVolume(16);
  using test::Deleted;
  using test::LongEntries;
  using test::ShortEntry;
  std::vector<test::DirEntry> root;
  auto add = [](std::vector<test::DirEntry> &to, const std::u16string &name, test::DirEntry entry) {
    for (const auto &e : Deleted(LongEntries(name)))
      to.push_back(e);
    to.push_back(Deleted(entry));
  };
  add(root, u"..\\..\\x", ShortEntry("X       TXT", 0x20, 10, 100));
  add(root, u"a/b", ShortEntry("AB      TXT", 0x20, 11, 200));
  add(root, u"c\u0007d\u001b.txt", ShortEntry("CD      TXT", 0x20, 12, 300));
  add(root, u"../../evil", ShortEntry("EVIL", 0x10, 20, 0));
  v.PutEntries(v.RootOffset(), root);
  std::vector<test::DirEntry> folder = test::DotPair(20, 0);
  add(folder, u"../inner.txt", ShortEntry("INNER   TXT", 0x20, 13, 400));
  v.PutBytes(v.ClusterOffset(20), std::vector<std::uint8_t>(v.ClusterBytes(), 0));
  v.PutEntries(v.ClusterOffset(20), folder);

  test::CraftedEngine crafted(v);
  auto &engine = crafted.Engine;
  ASSERT_EQ(engine.Find().Outcome, FindOutcome::Result::Found);
  TempDir dir;
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir / "a" / "b" / "dest";
  std::filesystem::create_directories(restore.DestFolder);
  EXPECT_EQ(RestoreFolder(engine.State, restore, engine.Host).Message, "Files restored: 4");

  std::vector<std::string> written;
  for (const auto &e : std::filesystem::recursive_directory_iterator(dir.Path()))
    if (e.is_regular_file())
      written.push_back(e.path().lexically_relative(dir.Path()).string());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written,
            (std::vector<std::string>{"a/b/dest/.._.._evil/.._inner.txt", "a/b/dest/.._.._x",
                                      "a/b/dest/a_b", "a/b/dest/c_d_.txt"}));
  EXPECT_TRUE(ReadFileBytes(restore.DestFolder / "a_b") == test::RunFrom(v, 11, 200));
}

// orvanta-cli restore: everything, a folder, or single files.
TEST(RestoreCommand, RestoresEverythingAFolderOrOneFile) {
  TempDir dir;
  FatImageFile card(dir / "card.img",
                    {.FatBits = 32, .SizeKiB = 40 * 1024, .SectorsPerCluster = 1});
  const auto files = FillCard(card, 512);
  auto lastLine = [](const std::string &out) {
    const auto end = out.find_last_not_of('\n');
    const auto start = out.rfind('\n', end);
    return out.substr(start == std::string::npos ? 0 : start + 1,
                      end - (start == std::string::npos ? 0 : start + 1) + 1);
  };

  auto all = test::RunCli({"restore", "--to", (dir / "all").string(), card.Path().string()});
  EXPECT_EQ(all.ExitCode, 0) << all.Err;
  EXPECT_EQ(lastLine(all.Out), "Files restored: 7");
  for (const auto &f : files)
    EXPECT_TRUE(ReadFileBytes(dir / "all" / f.Path.substr(1)) == f.Bytes) << f.Path;

  auto trip = test::RunCli(
      {"restore", "--to", (dir / "trip").string(), card.Path().string(), "E:\\Trip\\"});
  EXPECT_EQ(lastLine(trip.Out), "Files restored: 2");
  EXPECT_TRUE(std::filesystem::exists(dir / "trip/Trip/Day One/beach photo.jpg"));
  EXPECT_FALSE(std::filesystem::exists(dir / "trip/Small note.txt"));

  auto one = test::RunCli({"restore", "--drive", "F:", "--to", (dir / "one").string(),
                           card.Path().string(), "F:\\DCIM\\100MEDIA\\Photo one.jpg",
                           "f:\\Small note.txt"});
  EXPECT_EQ(one.ExitCode, 0) << one.Err;
  EXPECT_EQ(lastLine(one.Out), "Files restored: 2");
  EXPECT_TRUE(ReadFileBytes(dir / "one/Photo one.jpg") == files[4].Bytes);
  EXPECT_TRUE(std::filesystem::exists(dir / "one/Small note.txt"));

  auto missing = test::RunCli(
      {"restore", "--to", (dir / "x").string(), card.Path().string(), "E:\\nothing.txt"});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_EQ(lastLine(missing.Out), "Files restored: 0");
  EXPECT_EQ(test::RunCli({"restore", card.Path().string()}).ExitCode, 2);
  EXPECT_EQ(test::RunCli({"restore", "--to", "x", card.Path().string(), "DCIM\\"}).ExitCode, 2);
}

// Two deleted files of one name from two folders, restored into one folder
// next to a file of that name already there: nothing is replaced.
TEST(RestoreCommand, FilesOfOneNameAllComeBackBesideWhatIsThere) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Mkdir("/A");
  card.Mkdir("/B");
  card.Put("/A/IMG_0001.JPG", PatternBytes(3000, 1), kWritten);
  card.Put("/B/IMG_0001.JPG", PatternBytes(5000, 2), kWritten);
  card.Delete("/A/IMG_0001.JPG");
  card.Delete("/B/IMG_0001.JPG");
  const std::vector<std::uint8_t> mine = {'m', 'i', 'n', 'e'};
  std::filesystem::create_directories(dir / "out");
  test::WriteFileBytes(dir / "out" / "хMG_0001.JPG", mine);

  const auto r = test::RunCli({"restore", "--to", (dir / "out").string(), card.Path().string(),
                               "E:\\A\\хMG_0001.JPG", "E:\\B\\хMG_0001.JPG"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Files restored: 2\n");
  EXPECT_TRUE(r.Err.ends_with("Files given a new name, as their name was taken: 2\n")) << r.Err;
  EXPECT_TRUE(ReadFileBytes(dir / "out" / "хMG_0001.JPG") == mine);
  EXPECT_TRUE(ReadFileBytes(dir / "out" / "хMG_0001 (1).JPG") == PatternBytes(3000, 1));
  EXPECT_TRUE(ReadFileBytes(dir / "out" / "хMG_0001 (2).JPG") == PatternBytes(5000, 2));
  EXPECT_EQ(test::ListTree(dir / "out").size(), 3u);
}

// Short names lose their first letter when deleted ("хMG_0001.JPG", in a
// folder "хLD"); what a person types, with the letter or an x there, still
// names them, in a mask and in a WHAT.
TEST(RestoreCommand, ALostFirstLetterMatchesAnyCharacterOfTheMaskAndOfWhat) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Mkdir("/OLD");
  card.Put("/IMG_0001.JPG", PatternBytes(3000, 1), kWritten);
  card.Put("/OLD/IMG_0002.JPG", PatternBytes(5000, 2), kWritten);
  card.Put("/NOTES.TXT", PatternBytes(700, 3), kWritten);
  card.Delete("/IMG_0001.JPG");
  card.Delete("/NOTES.TXT");
  card.DeleteTree("/OLD");

  struct Case {
    std::vector<std::string> Words; // after --to OUT DEVICE
    std::vector<std::string> Restored;
  } const cases[] = {
      {{"--mask", "IMG_*"}, {"хLD", "хLD/хMG_0002.JPG", "хMG_0001.JPG"}},
      {{"--mask", "xmg*"}, {"хLD", "хLD/хMG_0002.JPG", "хMG_0001.JPG"}},
      {{"E:\\IMG_0001.JPG", "e:\\old\\img_0002.jpg"}, {"хMG_0001.JPG", "хMG_0002.JPG"}},
      {{"E:\\xLD\\"}, {"хLD", "хLD/хMG_0002.JPG"}},
      {{"E:\\NOTES.TXT"}, {"хOTES.TXT"}},
  };
  int n = 0;
  for (const auto &c : cases) {
    const auto out = dir / ("out" + std::to_string(n++));
    std::vector<std::string> words{"restore", "--to", out.string(), card.Path().string()};
    words.insert(words.end(), c.Words.begin(), c.Words.end());
    const auto r = test::RunCli(words);
    EXPECT_EQ(r.ExitCode, 0) << c.Words[0] << ": " << r.Err;
    EXPECT_EQ(test::ListTree(out), c.Restored) << c.Words[0];
  }
}

// A deleted file of size 0 is found, with the condition "empty", so that
// --condition empty has something to restore: an empty file of its name.
TEST(RestoreCommand, AnEmptyDeletedFileComesBackByItsCondition) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Put("/Empty log.txt", std::string(), kWritten);
  card.Put("/Notes.txt", PatternBytes(700, 1), kWritten);
  card.Delete("/Empty log.txt");
  card.Delete("/Notes.txt");
  const auto r = test::RunCli(
      {"restore", "--condition", "empty", "--to", (dir / "out").string(), card.Path().string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Files restored: 1\n");
  EXPECT_EQ(test::ListTree(dir / "out"), std::vector<std::string>{"Empty log.txt"});
  EXPECT_EQ(std::filesystem::file_size(dir / "out/Empty log.txt"), 0u);
}

// Ctrl+C while a big file is being written: the files restored before it
// are counted and stay, the one cut short is gone, and the command says it
// was stopped.
TEST(RestoreCommand, CtrlCSaysWhatWasRestoredAndLeavesNoPartialFile) {
  TempDir dir;
  FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40 * 1024});
  card.Put("/First file.txt", PatternBytes(700, 1), kWritten);
  card.Put("/Big file.bin", PatternBytes(24 << 20, 2), kWritten);
  card.Put("/Last file.txt", PatternBytes(700, 3), kWritten);
  for (const char *f : {"/First file.txt", "/Big file.bin", "/Last file.txt"})
    card.Delete(f);
  const auto out = dir / "out";
  const char *cli = std::getenv("ORVANTA_CLI");
  bool sent = false;
  const auto r = test::Run(
      {cli ? cli : "orvanta-cli", "restore", "--to", out.string(), card.Path().string(),
       "E:\\First file.txt", "E:\\Big file.bin", "E:\\Last file.txt"},
      {}, [&](int pid) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(out, ec), end; !sent && !ec && it != end;
             it.increment(ec))
          if (it->path().filename().string().starts_with(".orvanta-") &&
              it->file_size(ec) > (1u << 20))
            sent = ::kill(pid, SIGINT) == 0;
      });
  ASSERT_TRUE(sent) << "the restore ended before it could be interrupted";
  EXPECT_EQ(r.ExitCode, 130);
  EXPECT_TRUE(r.Err.ends_with("stopped by Ctrl+C; the work is incomplete\n")) << r.Err;
  // Mostly the big file is cut short; on a busy machine the signal may land
  // just after it was finished. Either way what is counted is what is there,
  // whole, and nothing half written is left.
  const auto left = test::ListTree(out);
  EXPECT_EQ(r.Out, "Files restored: " + std::to_string(left.size()) + "\n");
  if (left.size() == 1) {
    EXPECT_EQ(left, std::vector<std::string>{"First file.txt"});
  } else {
    EXPECT_EQ(left, (std::vector<std::string>{"Big file.bin", "First file.txt"}));
    EXPECT_TRUE(ReadFileBytes(out / "Big file.bin") == PatternBytes(24 << 20, 2));
  }
}

// What cannot be written is said, with the system's text, and fails.
TEST(RestoreCommand, WhatCannotBeWrittenIsReported) {
  TempDir dir;
  FatImageFile card(dir / "card.img",
                    {.FatBits = 32, .SizeKiB = 40 * 1024, .SectorsPerCluster = 1});
  FillCard(card, 512);
  const std::string notADirectory = std::strerror(ENOTDIR);
  test::WriteFileBytes(dir / "file", {1});
  auto r = test::RunCli({"restore", "--to", (dir / "file").string(), card.Path().string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.ends_with(": " + notADirectory + "\n")) << r.Err;
  EXPECT_EQ(r.Out, "");
  r = test::RunCli({"restore", "--to", (dir / "file" / "sub").string(), card.Path().string()});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.ends_with(": " + notADirectory + "\n")) << r.Err;

  // A folder where a file must go: the file takes the next free name.
  std::filesystem::create_directories(dir / "out" / "Small note.txt");
  r = test::RunCli({"restore", "--to", (dir / "out").string(), card.Path().string(),
                    "E:\\Small note.txt", "E:\\DCIM\\100MEDIA\\Photo one.jpg"});
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(r.Out, "Files restored: 2\n");
  EXPECT_TRUE(r.Err.ends_with("Files given a new name, as their name was taken: 1\n")) << r.Err;
  EXPECT_EQ(test::ListTree(dir / "out"),
            (std::vector<std::string>{"Photo one.jpg", "Small note (1).txt", "Small note.txt"}));

  // A folder that names nothing found fails like a file that does.
  r = test::RunCli({"restore", "--to", (dir / "none").string(), card.Path().string(), "E:\\NOPE\\"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("no deleted files were found in E:\\NOPE\\\n"), std::string::npos) << r.Err;
}

// A folder that refuses new files makes the file "not created"; a full disk
// ends the command with the system's text, without a count. Neither leaves
// a partial file behind, under a real name or a temporary one.
TEST(RestoreCommand, AReadOnlyFolderOrAFullDiskLeavesOnlyWholeFiles) {
  TempDir dir;
  FatImageFile card(dir / "card.img",
                    {.FatBits = 32, .SizeKiB = 40 * 1024, .SectorsPerCluster = 1});
  FillCard(card, 512);
  std::filesystem::create_directories(dir / "small");
  const char *cli = std::getenv("ORVANTA_CLI");
  // Tmpfs mounts of 64 KiB in a mount namespace of their own: one read-only
  // where the camera folder goes, one to fill up.
  const auto run = test::Run(
      {"unshare", "-rm", "sh", "-c",
       "mount -t tmpfs -o size=64k none \"$1\" || exit 99; "
       "mkdir -p \"$1/ro/DCIM/100MEDIA\" && mount -t tmpfs -o ro none \"$1/ro/DCIM/100MEDIA\" "
       "|| exit 99; "
       "\"$2\" restore --to \"$1/ro\" \"$3\" 'E:\\DCIM\\'; echo \"exit $?\"; "
       "\"$2\" restore --to \"$1\" \"$3\"; echo \"exit $?\"; "
       "find \"$1\" -type f -printf '%s %P\\n' | sort -k2",
       "sh", (dir / "small").string(), cli ? cli : "orvanta-cli", card.Path().string()});
  if (run.ExitCode == 99 || run.Err.find("unshare") != std::string::npos)
    GTEST_SKIP() << "no private tmpfs here: " << run.Err;
  EXPECT_EQ(run.Out, "Files restored: 0\nexit 1\nexit 1\n"
                     "5243 Big file.bin\n"
                     "513 Just over a cluster.bin\n"
                     "512 One cluster.bin\n"
                     "100 Small note.txt\n");
  EXPECT_NE(run.Err.find("DCIM/100MEDIA/Photo one.jpg\": " + std::string(std::strerror(EROFS))),
            std::string::npos)
      << run.Err;
  EXPECT_TRUE(run.Err.ends_with(std::string(std::strerror(ENOSPC)) + "\n")) << run.Err;
}

// The deep scan finds the files of a formatted card in the folders that
// survived; they restore like any other. Enable once the deep scan exists.
TEST(RestoreFromCard, FilesOfAFormattedCardComeBackFromTheDeepScan) {
  TempDir dir;
  FatImageFile card(dir / "card.img",
                    {.FatBits = 32, .SizeKiB = 40 * 1024, .SectorsPerCluster = 1});
  card.Mkdir("/DCIM/100MEDIA");
  const std::vector<CardFile> files = {{"/DCIM/100MEDIA/Photo one.jpg", PatternBytes(300000, 5)},
                                       {"/DCIM/100MEDIA/Photo two.jpg", PatternBytes(700, 6)},
                                       {"/DCIM/Film.mov", PatternBytes(5000, 7)}};
  for (const auto &f : files)
    card.Put(f.Path, f.Bytes, kWritten);
  card.Reformat();

  auto engine = EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir / "restored";
  RestoreFolder(engine.State, restore, engine.Host);
  // The folders' own names were in the wiped root; compare by content.
  std::vector<std::vector<std::uint8_t>> restored;
  for (const auto &e : std::filesystem::recursive_directory_iterator(restore.DestFolder))
    if (e.is_regular_file())
      restored.push_back(ReadFileBytes(e.path()));
  for (const auto &f : files)
    EXPECT_NE(std::find(restored.begin(), restored.end(), f.Bytes), restored.end()) << f.Path;
}

} // namespace
} // namespace orvanta
