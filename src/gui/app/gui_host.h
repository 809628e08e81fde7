#pragma once

#include <QObject>
#include <QWidget>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <optional>

#include "engine/operation_host.h"

namespace orvanta::gui {

// The host of an operation that runs on a worker thread for a window. What
// the operation shows is gathered under a lock and handed to the window in
// batches: the log lines since the last batch, the latest counter and the
// latest progress width (only when they changed). Changed() is emitted once
// when a batch starts to fill, so the window receives at most one queued
// call per batch however fast the operation writes.
class GuiHost : public QObject, public OperationHost {
  Q_OBJECT
public:
  struct Batch {
    bool Started = false; // the operation passed its checks and began its run
    bool Cleared = false; // the log was emptied before Lines
    QStringList Lines;
    std::optional<QString> CounterCaption;
    std::optional<std::int64_t> Counter;
    std::optional<int> Progress;
    std::optional<bool> ProgressShown;
  };

  GuiHost() = default;

  // Called on the window's thread before the operation starts.
  void Begin();
  // The batch gathered since the last call; the window's thread.
  Batch Take();
  // Shows the batch's progress on a window's bar: `track` is the empty bar,
  // `fill` its filled part drawn over it.
  static void ShowProgressOn(const Batch &batch, QWidget &track, QWidget &fill);

  void ClearLog() override;
  void Log(std::string_view line) override;
  void SetCounterCaption(std::string_view caption) override;
  void SetCounter(std::int64_t value) override;
  void ShowProgress(bool visible) override;
  // Sleeps on the operation's thread; the window stays responsive.
  void Pause(int milliseconds) override;

signals:
  void Changed();

protected:
  void ProgressChanged(ProgressFraction progress) override;

private:
  // With the lock held: marks the batch filled; true when it was empty.
  bool Touch();
  void Notify(bool first);

  std::mutex mutex_;
  Batch batch_;
  bool pending_ = false;
  bool started_ = false;
  std::optional<std::int64_t> lastCounter_;
  std::optional<int> lastProgress_;
};

} // namespace orvanta::gui
