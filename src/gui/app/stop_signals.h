#pragma once

#include <QObject>

class QSocketNotifier;

namespace orvanta::gui {

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, a kill, Ctrl+C in
// the terminal that started the program) arrive as Received() on the
// thread that made the object, instead of ending the process wherever it
// is. One object per process.
class StopSignals : public QObject {
  Q_OBJECT
public:
  explicit StopSignals(QObject *parent = nullptr);
  ~StopSignals() override;

signals:
  void Received();

private:
  QSocketNotifier *notifier_ = nullptr;
};

} // namespace orvanta::gui
