#pragma once

#include <QMetaObject>
#include <QObject>

#include "presentation/dispatcher.h"

namespace orvanta::gui {

// Posts to the thread of `receiver` as queued calls; a call still queued
// when the receiver is destroyed is dropped.
class QtDispatcher final : public Dispatcher {
public:
  explicit QtDispatcher(QObject &receiver) : receiver_(receiver) {}
  void Post(std::function<void()> task) override {
    QMetaObject::invokeMethod(&receiver_, std::move(task), Qt::QueuedConnection);
  }

private:
  QObject &receiver_;
};

} // namespace orvanta::gui
