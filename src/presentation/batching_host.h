#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/operation_host.h"

namespace orvanta {

// What an operation showed since the last hand-over to its view.
struct RunUpdate {
  bool Started = false; // the operation passed its checks and began its run
  bool Cleared = false; // the log was emptied before Lines
  std::vector<std::string> Lines;
  std::optional<std::string> CounterCaption;
  std::optional<std::int64_t> Counter;
  std::optional<int> ProgressWidth; // the bar's fill, 0 to kProgressTrackWidth
  std::optional<bool> ProgressShown;
};

// The host of an operation that runs on a worker thread for a view. What the
// operation shows is gathered under a lock into one RunUpdate: the log lines
// since the last one, the latest counter and the latest fill width (only
// when they changed). The notice is given once when an empty update starts
// to fill, so the view gets at most one hand-over per update however fast
// the operation writes.
class BatchingHost : public OperationHost {
public:
  // Called on the operation's thread when an empty update starts to fill.
  void SetNotice(std::function<void()> notice) { notice_ = std::move(notice); }

  // Before the operation starts: an empty update, nothing shown yet.
  void Begin();
  // The update gathered since the last call.
  RunUpdate Take();

  void ClearLog() override;
  void Log(std::string_view line) override;
  void SetCounterCaption(std::string_view caption) override;
  void SetCounter(std::int64_t value) override;
  void ShowProgress(bool visible) override;
  // Sleeps on the operation's thread; the view goes on meanwhile.
  void Pause(int milliseconds) override;

protected:
  void ProgressChanged(ProgressFraction progress) override;

private:
  // Changes the update under the lock; notices when it was empty.
  template <class Change> void Update(Change change);

  std::function<void()> notice_;
  std::mutex mutex_;
  RunUpdate update_;
  bool pending_ = false;
  bool started_ = false;
  std::optional<std::int64_t> lastCounter_;
  std::optional<int> lastWidth_;
};

} // namespace orvanta
