#include "gui/app/gui_host.h"

#include <algorithm>

namespace orvanta::gui {

void GuiHost::ShowProgressOn(const Batch &batch, QWidget &track, QWidget &fill) {
  if (batch.ProgressWidth)
    fill.resize(std::clamp(*batch.ProgressWidth, 0, kProgressTrackWidth), fill.height());
  if (batch.ProgressShown) {
    track.setVisible(*batch.ProgressShown);
    fill.setVisible(*batch.ProgressShown);
  }
}

} // namespace orvanta::gui
