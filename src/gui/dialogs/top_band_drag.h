#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace orvanta::gui {

// Moves a borderless window when it is pressed and dragged inside its top
// band: `bandHeight` pixels high, from the left edge up to `bandRight`
// (evaluated at each press). The window manager moves it when it can
// (QWindow::startSystemMove); otherwise the window follows the mouse.
// Presses that a control takes (a button) never reach the window and so
// never start a drag.
class TopBandDrag : public QObject {
  Q_OBJECT
public:
  TopBandDrag(QWidget *window, int bandHeight, std::function<int()> bandRight = {});

  // Whether a point of the window (its own coordinates) lies in the band.
  bool InBand(QPoint point) const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QWidget *window_;
  int bandHeight_;
  std::function<int()> bandRight_;
  bool dragging_ = false;
  QPoint grabOffset_;
};

} // namespace orvanta::gui
