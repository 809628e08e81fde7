// Operations run on a worker thread, as the desktop program runs them, with
// Stop, "Cancel operation?" and a second start coming from the test's own
// thread. Meant to be run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "jobs/drive_summary.h"
#include "jobs/preview.h"
#include "jobs/restore_jobs.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "jobs/wipe_job.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

using test::EngineFixture;
using test::FatImageFile;
using test::TempDir;

constexpr int kDeleted = 12;

// A host whose pumps the front end's thread can watch. At pump HoldAt it
// waits for the front end's question, so that the operation is surely
// held there.
struct WorkerHost : test::RecordingHost {
  void Pump() override {
    if (Seen.fetch_add(1) + 1 == HoldAt)
      while (!Question().IsOpen())
        std::this_thread::yield();
    RecordingHost::Pump();
  }
  std::atomic<long> Seen{0};
  long HoldAt = 0;
};

// A card with kDeleted deleted files in three folders, as drive E:.
struct Card {
  Card() : Image(Dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024}) {
    for (const char *folder : {"/D0", "/D1", "/D2"})
      Image.Mkdir(folder);
    auto path = [](int i) { return "/D" + std::to_string(i % 3) + "/F" + std::to_string(i) + ".BIN"; };
    for (int i = 0; i < kDeleted; ++i)
      Image.Put(path(i), test::PatternBytes(3000, std::uint32_t(i)));
    for (int i = 0; i < kDeleted; ++i)
      Image.Delete(path(i));
    Image.Put("/KEPT.TXT", "kept");
  }
  EngineState &State() { return Engine.State; }
  FindOutcome Find() {
    FindOptions options;
    options.MaxYearOffset = 99;
    return RunFind(State(), Host, options);
  }
  WipeOutcome Wipe() {
    WipeOptions options;
    options.Confirm = [](const std::string &) { return true; };
    return RunWipe(State(), Host, options);
  }
  // Every file the last Find found in the folder, checked.
  RestoreOutcome RestoreAll(const std::string &section) {
    Restore.CurrentSection = section;
    Restore.DestFolder = Dir / "out";
    std::filesystem::create_directories(Restore.DestFolder);
    std::vector<RestoreRow> rows;
    for (const auto &key : test::Keys(State().Catalogue, section))
      rows.push_back({key, true});
    return RestoreCheckedRows(State(), Restore, Host, rows);
  }

  TempDir Dir;
  FatImageFile Image;
  EngineFixture Engine = EngineFixture::OfImage(Image.Path());
  WorkerHost Host;
  RestoreState Restore;
};

// Runs `operation` on a worker thread. At its pump number `pump` the test's
// thread opens the host's question, calls `whileHeld` once the operation
// waits at it, and closes it again.
template <class R>
R RunHeld(WorkerHost &host, long pump, const std::function<R()> &operation,
          const std::function<void()> &whileHeld) {
  host.Seen = 0;
  host.HoldAt = pump;
  std::optional<R> result;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = operation();
    done = true;
  });
  while (host.Seen < pump && !done)
    std::this_thread::yield();
  {
    QuestionGate::Hold question(host.Question());
    while (!host.Question().Holding() && !done)
      std::this_thread::yield();
    EXPECT_FALSE(done) << "the operation ended before the question held it";
    whileHeld();
  }
  worker.join();
  host.HoldAt = 0;
  return *result;
}

template <class R> R RunOnWorker(const std::function<R()> &operation) {
  std::optional<R> result;
  std::thread([&] { result = operation(); }).join();
  return *result;
}

TEST(OperationThreads, AStopRequestedBeforeTheStartIsKept) {
  Card card;
  card.Host.Stop().Request();
  const auto found = RunOnWorker<FindOutcome>([&] { return card.Find(); });
  EXPECT_TRUE(found.Stopped);
  EXPECT_EQ(found.Outcome, FindOutcome::Result::NothingFound);
  EXPECT_EQ(card.State().Catalogue.FileCount(), 0u);

  card.Host.Stop().Reset();
  ASSERT_EQ(card.Find().Outcome, FindOutcome::Result::Found);
  card.Host.Stop().Request();
  const auto restored = RunOnWorker<RestoreOutcome>([&] { return card.RestoreAll("E:\\D0\\"); });
  EXPECT_TRUE(restored.Ran && restored.Stopped);
  EXPECT_EQ(restored.Restored, 0);
  EXPECT_TRUE(std::filesystem::is_empty(card.Restore.DestFolder));

  const auto before = card.Image.Bytes();
  const auto wiped = RunOnWorker<WipeOutcome>([&] { return card.Wipe(); });
  EXPECT_EQ(wiped.Outcome, WipeOutcome::Result::Done);
  EXPECT_TRUE(wiped.Stopped);
  EXPECT_EQ(wiped.FilesWiped, 0);
  EXPECT_TRUE(card.Image.Bytes() == before);
}

TEST(OperationThreads, StopConfirmedWhileTheQuestionHoldsTheOperationEndsIt) {
  Card card;
  auto stop = [&] { card.Host.Stop().Request(); };
  const auto found = RunHeld<FindOutcome>(card.Host, 3, [&] { return card.Find(); }, stop);
  EXPECT_TRUE(found.Stopped);
  EXPECT_LT(card.State().FoundCount, kDeleted);

  card.Host.Stop().Reset();
  ASSERT_EQ(card.Find().Outcome, FindOutcome::Result::Found);
  const auto restored =
      RunHeld<RestoreOutcome>(card.Host, 2, [&] { return card.RestoreAll("E:\\D0\\"); }, stop);
  EXPECT_TRUE(restored.Stopped);
  EXPECT_LT(restored.Restored, kDeleted / 3);

  card.Host.Stop().Reset();
  const auto wiped = RunHeld<WipeOutcome>(card.Host, 3, [&] { return card.Wipe(); }, stop);
  EXPECT_TRUE(wiped.Stopped);
  EXPECT_LT(wiped.FilesWiped, kDeleted);
}

TEST(OperationThreads, ASecondOperationIsRefusedWhileOneRuns) {
  Card card;
  auto refused = [&] {
    auto &state = card.State();
    test::RecordingHost other;
    FindOptions find;
    EXPECT_EQ(RunFind(state, other, find).Outcome, FindOutcome::Result::Busy);
    EXPECT_EQ(ReadDriveSummary(state, "E:").Outcome, DriveSummary::Result::Busy);
    WipeOptions wipe;
    wipe.Confirm = [](const std::string &) {
      ADD_FAILURE() << "asked while another operation runs";
      return false;
    };
    EXPECT_EQ(RunWipe(state, other, wipe).Outcome, WipeOutcome::Result::Busy);
    RestoreState restore;
    restore.CurrentSection = "E:\\";
    restore.DestFolder = card.Dir / "other";
    const std::vector<RestoreRow> rows{{"F0.BIN", true}};
    EXPECT_FALSE(RestoreCheckedRows(state, restore, other, rows).Ran);
    EXPECT_FALSE(RestoreFolder(state, restore, other).Ran);
    EXPECT_EQ(ExtractPreview(state, restore, other, "F0.BIN", card.Dir.Path()).Outcome,
              PreviewOutcome::Result::Busy);
    EXPECT_TRUE(other.LogLines.empty());
    EXPECT_TRUE(other.Widths.empty());
    EXPECT_FALSE(std::filesystem::exists(card.Dir / "other"));
  };
  // Not stopped: the held Find goes on to its end afterwards.
  const auto found = RunHeld<FindOutcome>(card.Host, 3, [&] { return card.Find(); }, refused);
  EXPECT_FALSE(found.Stopped);
  EXPECT_EQ(card.State().FoundCount, kDeleted);
  EXPECT_FALSE(card.State().Operation.Busy());
  const auto summary = ReadDriveSummary(card.State(), "E:");
  EXPECT_EQ(summary.Outcome, DriveSummary::Result::Ready);
  EXPECT_EQ(summary.Lines.size(), 6u);
}

TEST(WipeCheck, APassedCheckHoldsTheEngineUntilItRunsOrIsDropped) {
  Card card;
  WipeOptions options;
  {
    const WipeCheck dropped = CheckWipe(card.State(), options);
    EXPECT_TRUE(dropped.Passed());
    EXPECT_EQ(dropped.Question().substr(0, dropped.Question().find('\n')), "Are you sure wipe deleted files?");
    EXPECT_EQ(card.Find().Outcome, FindOutcome::Result::Busy);
  }
  ASSERT_EQ(card.Find().Outcome, FindOutcome::Result::Found);

  WipeCheck check = CheckWipe(card.State(), options);
  const auto wiped = RunCheckedWipe(card.State(), card.Host, std::move(check), options);
  EXPECT_EQ(wiped.Outcome, WipeOutcome::Result::Done);
  EXPECT_EQ(wiped.FilesWiped, kDeleted);
  EXPECT_EQ(card.Find().Outcome, FindOutcome::Result::NothingFound);

  options.Drive = "Q:";
  const auto before = card.Image.Bytes();
  const auto refused = RunCheckedWipe(card.State(), card.Host, CheckWipe(card.State(), options), options);
  EXPECT_EQ(refused.Outcome, WipeOutcome::Result::Refused);
  EXPECT_EQ(refused.Message, "Drive not found!");
  EXPECT_TRUE(card.Image.Bytes() == before);
}

} // namespace
} // namespace orvanta
