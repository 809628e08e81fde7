#include "presentation/batching_host.h"

#include <chrono>
#include <thread>
#include <utility>

namespace orvanta {

void BatchingHost::Begin() {
  std::lock_guard lock(mutex_);
  update_ = {};
  pending_ = false;
  started_ = false;
  lastCounter_.reset();
  lastWidth_.reset();
}

RunUpdate BatchingHost::Take() {
  std::lock_guard lock(mutex_);
  pending_ = false;
  return std::exchange(update_, {});
}

template <class Change> void BatchingHost::Update(Change change) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    if (!change(update_))
      return;
    first = !std::exchange(pending_, true);
  }
  if (first && notice_)
    notice_();
}

void BatchingHost::ClearLog() {
  Update([this](RunUpdate &update) {
    // The first clear of a run is where the run begins.
    if (!std::exchange(started_, true))
      update.Started = true;
    update.Cleared = true;
    update.Lines.clear();
    return true;
  });
}

void BatchingHost::Log(std::string_view line) {
  Update([line](RunUpdate &update) {
    update.Lines.emplace_back(line);
    return true;
  });
}

void BatchingHost::SetCounterCaption(std::string_view caption) {
  Update([caption](RunUpdate &update) {
    update.CounterCaption = std::string(caption);
    return true;
  });
}

void BatchingHost::SetCounter(std::int64_t value) {
  Update([this, value](RunUpdate &update) {
    if (lastCounter_ == value)
      return false;
    lastCounter_ = value;
    update.Counter = value;
    return true;
  });
}

void BatchingHost::ProgressChanged(ProgressFraction progress) {
  // Only a change of the fill's width is worth a repaint.
  const int width = ProgressBarWidth(progress);
  Update([this, width](RunUpdate &update) {
    if (lastWidth_ == width)
      return false;
    lastWidth_ = width;
    update.ProgressWidth = width;
    return true;
  });
}

void BatchingHost::ShowProgress(bool visible) {
  Update([visible](RunUpdate &update) {
    update.ProgressShown = visible;
    return true;
  });
}

void BatchingHost::Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace orvanta
