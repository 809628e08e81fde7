#pragma once

#include <QObject>
#include <QWidget>

#include "presentation/batching_host.h"

namespace orvanta::gui {

// The batching host for a window that runs its own worker: Changed() is
// emitted, on the operation's thread, when an empty batch starts to fill.
class GuiHost : public QObject, public BatchingHost {
  Q_OBJECT
public:
  using Batch = RunUpdate;

  GuiHost() {
    SetNotice([this] { emit Changed(); });
  }

  // Shows the batch's progress on a window's bar: `track` is the empty bar,
  // `fill` its filled part drawn over it.
  static void ShowProgressOn(const Batch &batch, QWidget &track, QWidget &fill);

signals:
  void Changed();
};

} // namespace orvanta::gui
