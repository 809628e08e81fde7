#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "presentation/operation_runner.h"
#include "front_end.h"

namespace orvanta {
namespace {

using test::QueuedDispatcher;

// Records what the runner hands over; answers the Stop question with
// `Answer`, after running `WhileAsking` as the open dialog's event loop would.
struct RecordingView final : RunnerView {
  void ShowUpdate(const RunUpdate &update) override {
    Updates.push_back(update);
    if (update.Cleared)
      Log.clear();
    Log.insert(Log.end(), update.Lines.begin(), update.Lines.end());
  }
  bool AskStop(const std::string &question) override {
    Questions.push_back(question);
    if (WhileAsking)
      WhileAsking();
    return Answer;
  }
  std::vector<RunUpdate> Updates;
  std::vector<std::string> Log;
  std::vector<std::string> Questions;
  std::function<void()> WhileAsking;
  bool Answer = false;
};

struct RunnerTest : ::testing::Test {
  QueuedDispatcher FrontEnd;
  RecordingView View;
  OperationRunner Runner{FrontEnd, View};
  std::optional<int> Ended;

  void Start(std::function<int(OperationHost &)> work) {
    ASSERT_TRUE(Runner.Start<int>(std::move(work), [this](const int &outcome) { Ended = outcome; }));
  }
  void RunToEnd() {
    FrontEnd.RunUntil([&] { return Ended.has_value(); });
  }
};

TEST_F(RunnerTest, ABurstReachesTheViewCoalescedInSlicesAndWholeBeforeTheEnd) {
  constexpr int kLines = 1000;
  Start([](OperationHost &host) {
    host.ClearLog();
    host.ShowProgress(true);
    for (int i = 1; i <= kLines; ++i) {
      host.Log("line " + std::to_string(i));
      host.SetCounter(i);
      host.AdvanceProgress(i, kLines);
    }
    return 7;
  });
  // The worker ran alone: one hand-over for the whole burst and the end.
  while (FrontEnd.Waiting() < 2)
    std::this_thread::yield();
  EXPECT_EQ(FrontEnd.Waiting(), 2u);
  EXPECT_TRUE(Runner.Busy());

  RunToEnd();
  EXPECT_EQ(Ended, 7);
  EXPECT_FALSE(Runner.Busy());
  ASSERT_GE(View.Updates.size(), 2u);
  const RunUpdate &first = View.Updates.front();
  EXPECT_TRUE(first.Started);
  EXPECT_TRUE(first.Cleared);
  EXPECT_EQ(first.Lines.size(), OperationRunner::kLinesPerUpdate);
  EXPECT_EQ(first.Counter, kLines);
  EXPECT_EQ(first.ProgressWidth, kProgressTrackWidth);
  EXPECT_EQ(first.ProgressShown, true);
  ASSERT_EQ(View.Log.size(), std::size_t{kLines});
  for (int i = 0; i < kLines; ++i)
    ASSERT_EQ(View.Log[static_cast<std::size_t>(i)], "line " + std::to_string(i + 1));
  // A slice still posted finds nothing more to show.
  FrontEnd.RunPending();
  EXPECT_EQ(View.Log.size(), std::size_t{kLines});
}

TEST_F(RunnerTest, UnchangedCounterAndFillAreNotHandedOverAgain) {
  Start([](OperationHost &host) {
    host.SetCounter(3);
    host.SetProgress({1, 3});
    host.SetProgress({1000, 3000}); // the same width
    host.SetCounter(3);
    return 0;
  });
  RunToEnd();
  int counters = 0, widths = 0;
  for (const RunUpdate &update : View.Updates) {
    counters += update.Counter.has_value();
    widths += update.ProgressWidth.has_value();
  }
  EXPECT_EQ(counters, 1);
  EXPECT_EQ(widths, 1);
}

// Works until Stop, pumping; gives its number of pumps.
int UntilStopped(OperationHost &host) {
  host.Log("started");
  int pumps = 0;
  while (host.Running()) {
    host.Pump();
    ++pumps;
  }
  return pumps;
}

TEST_F(RunnerTest, YesToTheQuestionStopsTheOperationWhichWaitsWhileItIsOpen) {
  Start(UntilStopped);
  FrontEnd.RunUntil([&] { return !View.Log.empty(); });
  View.Answer = true;
  View.WhileAsking = [&] {
    // The operation is held at the gate until the answer.
    while (!Runner.Host().Question().Holding())
      std::this_thread::yield();
    EXPECT_TRUE(Runner.Host().Running());
  };
  Runner.AskStop("Cancel operation?");
  EXPECT_EQ(View.Questions, std::vector<std::string>{"Cancel operation?"});
  RunToEnd();
  EXPECT_FALSE(Runner.Host().Running());
}

TEST_F(RunnerTest, NoLetsTheOperationGoOnAndAResultHeldByTheQuestionComesAfterTheAnswer) {
  std::atomic<bool> returned{false};
  Start([&](OperationHost &host) {
    host.Log("started");
    // Ends while the question is open, without pumping again.
    while (!host.Question().IsOpen())
      std::this_thread::yield();
    returned = true;
    return 42;
  });
  FrontEnd.RunUntil([&] { return !View.Log.empty(); });
  View.WhileAsking = [&] {
    while (!returned || FrontEnd.Waiting() == 0)
      std::this_thread::yield();
    FrontEnd.RunPending(); // the dialog's own event loop
    EXPECT_FALSE(Ended);
    EXPECT_TRUE(Runner.Busy());
  };
  Runner.AskStop("Cancel operation?");
  EXPECT_EQ(Ended, 42);
  EXPECT_TRUE(Runner.Host().Running());
  EXPECT_FALSE(Runner.Busy());

  // Idle: nothing is asked.
  Runner.AskStop("Cancel operation?");
  EXPECT_EQ(View.Questions.size(), 1u);
}

TEST_F(RunnerTest, WorkOnTheFrontEndWaitsForTheAnswerAndASecondStartIsRefused) {
  std::vector<std::string> order;
  Start([&](OperationHost &host) {
    host.Log("started");
    while (!host.Question().IsOpen())
      std::this_thread::yield();
    const bool ran = Runner.OnFrontEnd([&] { order.push_back("hint"); });
    return ran ? 1 : 0;
  });
  EXPECT_FALSE(Runner.Start<int>([](OperationHost &) { return 0; }, [](const int &) {}));
  FrontEnd.RunUntil([&] { return !View.Log.empty(); });
  View.WhileAsking = [&] {
    while (FrontEnd.Waiting() == 0)
      std::this_thread::yield();
    FrontEnd.RunPending();
    order.push_back("answered");
  };
  Runner.AskStop("Cancel operation?");
  RunToEnd();
  EXPECT_EQ(order, (std::vector<std::string>{"answered", "hint"}));
  EXPECT_EQ(Ended, 1);
}

TEST(Runner, GoingAwayStopsTheOperationAndReleasesWhatItWaitsFor) {
  QueuedDispatcher frontEnd;
  RecordingView view;
  std::atomic<int> onFrontEnd{-1};
  {
    OperationRunner runner(frontEnd, view);
    runner.Start<int>(
        [&](OperationHost &host) {
          onFrontEnd = runner.OnFrontEnd([] {}) ? 1 : 0;
          return UntilStopped(host);
        },
        [](const int &) { ADD_FAILURE() << "no end is delivered"; });
    while (frontEnd.Waiting() == 0)
      std::this_thread::yield();
  }
  EXPECT_EQ(onFrontEnd, 0);
  frontEnd.RunPending(); // what was posted is dropped
  EXPECT_TRUE(view.Updates.empty());
}

} // namespace
} // namespace orvanta
