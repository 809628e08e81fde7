#include "gui/dialogs/top_band_drag.h"

#include <QMouseEvent>
#include <QWindow>

namespace orvanta::gui {

TopBandDrag::TopBandDrag(QWidget *window, int bandHeight, std::function<int()> bandRight)
    : QObject(window), window_(window), bandHeight_(bandHeight), bandRight_(std::move(bandRight)) {
  window_->installEventFilter(this);
}

bool TopBandDrag::InBand(QPoint point) const {
  const int right = bandRight_ ? bandRight_() : window_->width();
  return point.y() >= 0 && point.y() < bandHeight_ && point.x() >= 0 && point.x() < right;
}

bool TopBandDrag::eventFilter(QObject *watched, QEvent *event) {
  if (watched != window_)
    return false;
  switch (event->type()) {
  case QEvent::MouseButtonPress: {
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint local = window_->mapFromGlobal(mouse->globalPosition().toPoint());
    if (mouse->button() != Qt::LeftButton || !InBand(local))
      return false;
    QWindow *handle = window_->windowHandle();
    if (handle && handle->startSystemMove())
      return true;
    dragging_ = true;
    grabOffset_ = mouse->globalPosition().toPoint() - window_->frameGeometry().topLeft();
    return true;
  }
  case QEvent::MouseMove:
    if (!dragging_)
      return false;
    window_->move(static_cast<QMouseEvent *>(event)->globalPosition().toPoint() - grabOffset_);
    return true;
  case QEvent::MouseButtonRelease:
    if (!dragging_)
      return false;
    dragging_ = false;
    return true;
  default:
    return false;
  }
}

} // namespace orvanta::gui
