#include "gui/app/gui_host.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orvanta::gui {

void GuiHost::Begin() {
  std::lock_guard lock(mutex_);
  batch_ = {};
  pending_ = false;
  started_ = false;
  lastCounter_.reset();
  lastProgress_.reset();
}

GuiHost::Batch GuiHost::Take() {
  std::lock_guard lock(mutex_);
  Batch taken = std::move(batch_);
  batch_ = {};
  pending_ = false;
  return taken;
}

bool GuiHost::Touch() {
  const bool first = !pending_;
  pending_ = true;
  return first;
}

void GuiHost::Notify(bool first) {
  if (first)
    emit Changed();
}

void GuiHost::ClearLog() {
  bool first;
  {
    std::lock_guard lock(mutex_);
    if (!started_) {
      started_ = true;
      batch_.Started = true;
    }
    batch_.Cleared = true;
    batch_.Lines.clear();
    first = Touch();
  }
  Notify(first);
}

void GuiHost::Log(std::string_view line) {
  bool first;
  {
    std::lock_guard lock(mutex_);
    batch_.Lines << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    first = Touch();
  }
  Notify(first);
}

void GuiHost::SetCounterCaption(std::string_view caption) {
  bool first;
  {
    std::lock_guard lock(mutex_);
    batch_.CounterCaption = QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
    first = Touch();
  }
  Notify(first);
}

void GuiHost::SetCounter(std::int64_t value) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    if (lastCounter_ == value)
      return;
    lastCounter_ = value;
    batch_.Counter = value;
    first = Touch();
  }
  Notify(first);
}

void GuiHost::ProgressChanged(ProgressFraction progress) {
  // Only a change of the bar's width is worth a repaint.
  const int width = ProgressBarWidth(progress);
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    if (lastProgress_ == width)
      return;
    lastProgress_ = width;
    batch_.Progress = width;
    first = Touch();
  }
  Notify(first);
}

void GuiHost::ShowProgress(bool visible) {
  bool first;
  {
    std::lock_guard lock(mutex_);
    batch_.ProgressShown = visible;
    first = Touch();
  }
  Notify(first);
}

void GuiHost::Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GuiHost::ShowProgressOn(const Batch &batch, QWidget &track, QWidget &fill) {
  if (batch.Progress)
    fill.resize(std::clamp(*batch.Progress, 0, kProgressTrackWidth), fill.height());
  if (batch.ProgressShown) {
    track.setVisible(*batch.ProgressShown);
    fill.setVisible(*batch.ProgressShown);
  }
}

} // namespace orvanta::gui
