#include <csignal>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "jobs/preview.h"
#include "jobs/restore_jobs.h"
#include "restore_fixture.h"
#include "scan/found_file_row.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ClustersOf;
using test::CraftedEngine;
using test::LocalTime;
using test::ReadFileBytes;
using test::RunFrom;
using test::TempDir;

constexpr std::int32_t B = 1024;

FoundFileRow Row(std::string name, std::uint64_t size, std::uint32_t cluster,
                 FoundDateTime written = {2019, 5, 7, 9, 5}) {
  return {.Name = std::move(name), .Size = size, .Written = written, .FirstCluster = cluster};
}

std::time_t ModificationTime(const std::filesystem::path &p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mtime;
}

std::vector<std::string> FilesBelow(const std::filesystem::path &dir) {
  std::vector<std::string> out;
  for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      out.push_back(e.path().lexically_relative(dir).string());
  std::sort(out.begin(), out.end());
  return out;
}

// Three files of E:\DCIM\ on a pattern volume: a.bin along a chain of three
// clusters, b.bin of 500 bytes, c.bin as a freed run of two clusters with a
// date that is no date.
struct RowsSetup {
  RowsSetup() {
    Volume.Chain({10, 20, 30});
    Volume.Chain({60, 61, 62, 63, 64}); // big.bin: along the chain, five clusters
    Engine = std::make_unique<CraftedEngine>(Volume);
    auto &c = State().Catalogue;
    c.Write("E:\\DCIM\\", Row("a.bin", 3 * B, 10));
    c.Write("E:\\DCIM\\", Row("b.bin", 500, 40));
    c.Write("E:\\DCIM\\", Row("c.bin", 2 * B, 50, {2019, 0, 7, 9, 5}));
    c.Write("E:\\DCIM\\", Row("big.bin", 5 * B, 60));
    State().Tree.AddTopLevel("E:");
    Restore.CurrentSection = "E:\\DCIM\\";
    Restore.DestFolder = Dir / "dest";
    std::filesystem::create_directories(Restore.DestFolder);
  }
  EngineState &State() { return Engine->Engine.State; }
  test::RecordingHost &Host() { return Engine->Engine.Host; }
  RestoreOutcome Run(const std::vector<RestoreRow> &rows) {
    return RestoreCheckedRows(State(), Restore, Host(), rows);
  }

  TempDir Dir;
  test::CraftedVolume Volume = test::PatternVolume(16);
  std::unique_ptr<CraftedEngine> Engine;
  RestoreState Restore;
};

// A file already in the destination is never replaced: the restored one
// takes the next free numbered name.
TEST(RestoreCheckedRows, WritesTheCheckedFilesWithTheirDatesBesideWhatIsThere) {
  RowsSetup s;
  const auto dest = s.Restore.DestFolder;
  const std::vector<std::uint8_t> mine(9000, 1);
  test::WriteFileBytes(dest / "a.bin", mine);
  test::WriteFileBytes(dest / "A (1).bin", mine);
  const std::time_t before = std::time(nullptr);
  const auto outcome = s.Run({{"a.bin", true}, {"b.bin", false}, {"c.bin", true}});
  const std::time_t after = std::time(nullptr);

  EXPECT_TRUE(outcome.Ran);
  EXPECT_EQ(outcome.Restored, 2);
  EXPECT_EQ(outcome.Renamed, 1);
  EXPECT_FALSE(outcome.Stopped);
  EXPECT_EQ(outcome.Message,
            "Files restored: 2\nFiles given a new name, as their name was taken: 1");
  EXPECT_EQ(test::ListTree(dest),
            (std::vector<std::string>{"A (1).bin", "a (1).bin", "a.bin", "c.bin"}));
  EXPECT_TRUE(ReadFileBytes(dest / "a.bin") == mine);
  EXPECT_TRUE(ReadFileBytes(dest / "A (1).bin") == mine);
  EXPECT_TRUE(ReadFileBytes(dest / "a (1).bin") == ClustersOf(s.Volume, {10, 20, 30}, 3 * B));
  EXPECT_TRUE(ReadFileBytes(dest / "c.bin") == RunFrom(s.Volume, 50, 2 * B));
  EXPECT_EQ(ModificationTime(dest / "a (1).bin"), LocalTime(2019, 5, 7, 9, 5));
  EXPECT_GE(ModificationTime(dest / "c.bin"), before - 1); // the date could not be used
  EXPECT_LE(ModificationTime(dest / "c.bin"), after + 1);

  // p = round(i * 100 / 3) for rows 1 and 2: 33 and 67 per cent.
  EXPECT_EQ(s.Host().Widths, (std::vector<int>{0, 184, 373, 0}));
  EXPECT_FALSE(s.Host().ProgressVisible);
  EXPECT_FALSE(s.Restore.ResultsBusy);
  EXPECT_FALSE(s.State().Operation.Busy());
}

// Stop while a file is being written: what was restored before stays and
// counts, the file cut short is removed, the remaining rows are skipped. The
// same for a folder restore that may be stopped.
TEST(RestoreCheckedRows, StopRemovesTheFileItCutShortAndSaysSo) {
  RowsSetup s;
  const auto dest = s.Restore.DestFolder;
  test::StopAfterReads host(*s.Engine->Memory, 2); // c.bin, then a.bin's first cluster
  const std::vector<RestoreRow> rows = {{"c.bin", true}, {"a.bin", true}, {"b.bin", true}};
  const auto outcome = RestoreCheckedRows(s.State(), s.Restore, host, rows);
  EXPECT_TRUE(outcome.Stopped);
  EXPECT_EQ(outcome.Restored, 1);
  EXPECT_EQ(outcome.Message, "Files restored: 1\nThe restore was stopped.");
  EXPECT_EQ(test::ListTree(dest), (std::vector<std::string>{"c.bin"}));
  EXPECT_FALSE(s.Restore.ResultsBusy);

  std::filesystem::remove(dest / "c.bin");
  s.Restore.CurrentSection = "E:\\";
  test::StopAfterReads folderHost(*s.Engine->Memory, 2);
  const auto unstoppable = RestoreFolder(s.State(), s.Restore, folderHost);
  EXPECT_FALSE(unstoppable.Stopped);
  EXPECT_EQ(unstoppable.Restored, 4);
  std::filesystem::remove_all(dest / "DCIM");
  test::StopAfterReads stopping(*s.Engine->Memory, 2);
  const auto stopped = RestoreFolder(s.State(), s.Restore, stopping, /*stoppable=*/true);
  EXPECT_TRUE(stopped.Stopped);
  EXPECT_EQ(stopped.Restored, 0); // two clusters of a.bin, then Stop
  EXPECT_EQ(test::ListTree(dest), (std::vector<std::string>{"DCIM"}));
}

TEST(RestoreCheckedRows, DoesNothingWhileBusyWithoutRowsOrWithoutDestination) {
  RowsSetup s;
  s.Restore.ResultsBusy = true;
  EXPECT_FALSE(s.Run({{"a.bin", true}}).Ran);
  EXPECT_TRUE(s.Restore.ResultsBusy);
  s.Restore.ResultsBusy = false;
  EXPECT_FALSE(s.Run({}).Ran);
  const auto dest = s.Restore.DestFolder;
  s.Restore.DestFolder.clear();
  EXPECT_FALSE(s.Run({{"a.bin", true}}).Ran);
  EXPECT_TRUE(FilesBelow(dest).empty());
}

// A row without a file of its name is skipped and not counted; a file with
// an unreadable cluster counts and is reported.
TEST(RestoreCheckedRows, ReportsFilesWithUnreadableParts) {
  RowsSetup s;
  s.Engine->Memory->FailReads(s.Volume.ClusterOffset(20) / 512, s.Volume.ClusterOffset(20) / 512);
  const auto outcome =
      s.Run({{"a.bin", true}, {"gone.bin", true}, {"c.bin", true}});
  EXPECT_EQ(outcome.Restored, 2);
  EXPECT_EQ(outcome.WithUnreadableParts, 1);
  EXPECT_EQ(outcome.Message,
            "Files restored: 2\nFiles with unreadable parts (filled with zeros): 1");
  auto expected = ClustersOf(s.Volume, {10, 20, 30}, 3 * B);
  std::fill(expected.begin() + B, expected.begin() + B + 512, std::uint8_t{0});
  EXPECT_TRUE(ReadFileBytes(s.Restore.DestFolder / "a.bin") == expected);
}

// A file that cannot be written whole (here: beyond the file-size limit,
// as a full disk would refuse it) ends the command with the system's text;
// what was written stays, and the next restore works.
TEST(RestoreCheckedRows, AFailedWriteEndsTheCommandAndLeavesTheEngineIdle) {
  RowsSetup s;
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 4 * B;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const auto outcome = s.Run({{"a.bin", true}, {"big.bin", true}, {"c.bin", true}});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(outcome.WriteError, EFBIG);
  EXPECT_EQ(outcome.Message, std::strerror(EFBIG));
  EXPECT_EQ(outcome.Restored, 1);
  EXPECT_TRUE(ReadFileBytes(s.Restore.DestFolder / "a.bin") ==
              ClustersOf(s.Volume, {10, 20, 30}, 3 * B));
  // Nothing of big.bin is left, under its name or any other.
  EXPECT_EQ(test::ListTree(s.Restore.DestFolder), std::vector<std::string>{"a.bin"});
  EXPECT_FALSE(s.Restore.ResultsBusy);
  EXPECT_FALSE(s.State().Operation.Busy());
  EXPECT_FALSE(s.Host().ProgressVisible);
  EXPECT_EQ(s.Host().Progress(), ProgressFraction{});

  const auto again = s.Run({{"big.bin", true}, {"c.bin", true}});
  EXPECT_EQ(again.Message, "Files restored: 2");
  EXPECT_TRUE(ReadFileBytes(s.Restore.DestFolder / "big.bin") ==
              ClustersOf(s.Volume, {60, 61, 62, 63, 64}, 5 * B));
}

struct FolderSetup : RowsSetup {
  FolderSetup() {
    auto &c = State().Catalogue;
    c.Clear();
    c.Write("E:\\", Row("root.bin", 100, 10));
    c.Write("E:\\DCIM\\", Row("d.bin", 200, 11));
    c.Write("E:\\DCIM\\100MEDIA\\", Row("m.bin", 300, 12));
    c.Write("E:\\DCIMX\\", Row("x.bin", 400, 13));
    c.Write("E:\\dcim\\sub\\", Row("s.bin", 500, 14));
  }
  RestoreOutcome Run() { return RestoreFolder(State(), Restore, Host()); }
};

TEST(RestoreFolder, TakesTheFolderAndEverythingBelowIt) {
  FolderSetup s;
  const auto outcome = s.Run();
  EXPECT_EQ(outcome.Message, "Files restored: 2");
  EXPECT_EQ(FilesBelow(s.Restore.DestFolder),
            (std::vector<std::string>{"DCIM/100MEDIA/m.bin", "DCIM/d.bin"}));
  EXPECT_TRUE(ReadFileBytes(s.Restore.DestFolder / "DCIM/100MEDIA/m.bin") ==
              RunFrom(s.Volume, 12, 300));
  EXPECT_EQ(ModificationTime(s.Restore.DestFolder / "DCIM/d.bin"), LocalTime(2019, 5, 7, 9, 5));
  // Sections 1 and 2 of 5: 20 and 40 per cent.
  EXPECT_EQ(s.Host().Widths, (std::vector<int>{0, 111, 223, 0}));
  EXPECT_FALSE(s.Restore.ResultsBusy);
}

TEST(RestoreFolder, OnTheRootTakesEverythingAndWithoutSelectionNothing) {
  FolderSetup s;
  s.Restore.CurrentSection = "E:\\";
  EXPECT_EQ(s.Run().Message, "Files restored: 5");
  EXPECT_EQ(FilesBelow(s.Restore.DestFolder),
            (std::vector<std::string>{"DCIM/100MEDIA/m.bin", "DCIM/d.bin", "DCIMX/x.bin",
                                      "dcim/sub/s.bin", "root.bin"}));
  s.Restore.CurrentSection.clear();
  const auto none = s.Run();
  EXPECT_TRUE(none.Ran);
  EXPECT_EQ(none.Message, "Files restored: 0");
  s.State().Tree.Clear();
  EXPECT_FALSE(s.Run().Ran);
}

TEST(RestoreFolder, WritesIntoTheDestinationWhenAFolderCannotBeMade) {
  FolderSetup s;
  test::WriteFileBytes(s.Restore.DestFolder / "DCIM", {1});
  EXPECT_EQ(s.Run().Message, "Files restored: 2");
  EXPECT_EQ(FilesBelow(s.Restore.DestFolder), (std::vector<std::string>{"DCIM", "d.bin", "m.bin"}));
}

// The copies go into a folder of their own that only the user may enter,
// in the runtime folder when there is one: a name planted in the shared
// temporary folder plays no part.
TEST(ExtractPreview, WritesOneCopyPerExtensionInAPrivateFolder) {
  RowsSetup s;
  const auto temp = s.Dir / "temp";
  std::filesystem::create_directories(temp);
  std::filesystem::create_symlink(s.Dir / "victim", temp / "ae02xdc.bin");
  const std::time_t before = std::time(nullptr);
  auto preview = ExtractPreview(s.State(), s.Restore, s.Host(), "a.bin", temp);
  ASSERT_EQ(preview.Outcome, PreviewOutcome::Result::Ready) << preview.Message;
  const auto folder = s.Restore.PreviewFolder;
  EXPECT_EQ(folder.parent_path(), temp);
  EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
  EXPECT_EQ(preview.Path, folder / "ae02xdc.bin");
  EXPECT_TRUE(ReadFileBytes(preview.Path) == ClustersOf(s.Volume, {10, 20, 30}, 3 * B));
  EXPECT_GE(ModificationTime(preview.Path), before - 1);
  EXPECT_FALSE(s.Restore.ResultsBusy);
  EXPECT_FALSE(std::filesystem::exists(s.Dir / "victim"));

  preview = ExtractPreview(s.State(), s.Restore, s.Host(), "c.bin", temp);
  EXPECT_TRUE(ReadFileBytes(folder / "ae02xdc.bin") == RunFrom(s.Volume, 50, 2 * B));
  preview = ExtractPreview(s.State(), s.Restore, s.Host(), "b.bin", temp);
  EXPECT_EQ(test::ListTree(folder), std::vector<std::string>{"ae02xdc.bin"});

  preview = ExtractPreview(s.State(), s.Restore, s.Host(), "gone.bin", temp);
  EXPECT_EQ(preview.Outcome, PreviewOutcome::Result::Impossible);
  EXPECT_EQ(preview.Message, "Viewing impossible!");
  s.Restore.ResultsBusy = true;
  EXPECT_EQ(ExtractPreview(s.State(), s.Restore, s.Host(), "a.bin", temp).Outcome,
            PreviewOutcome::Result::Busy);
  s.Restore.ResultsBusy = false;

  RemovePreviewCopies(folder);
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_TRUE(std::filesystem::is_symlink(temp / "ae02xdc.bin"));
  const auto runtime = s.Dir / "runtime";
  std::filesystem::create_directories(runtime);
  preview = ExtractPreview(s.State(), s.Restore, s.Host(), "a.bin", temp, runtime);
  EXPECT_EQ(preview.Path.parent_path().parent_path(), runtime);
  s.Restore.PreviewFolder.clear();
  preview = ExtractPreview(s.State(), s.Restore, s.Host(), "a.bin", s.Dir / "no such folder");
  EXPECT_EQ(preview.Message, "Viewing impossible! 4");
}

TEST(RemovePreviewCopies, DeletesOnlyThePreviewCopies) {
  TempDir temp;
  for (const char *name : {"ae02xdc", "ae02xdc.jpg", "AE02XDC.TXT", "ae02xdcx.txt", "other.txt"})
    test::WriteFileBytes(temp / name, {1});
  std::filesystem::create_directories(temp / "ae02xdc.dir");
  RemovePreviewCopies(temp.Path());
  EXPECT_EQ(FilesBelow(temp.Path()), (std::vector<std::string>{"ae02xdcx.txt", "other.txt"}));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "ae02xdc.dir"));
}

} // namespace
} // namespace orvanta
