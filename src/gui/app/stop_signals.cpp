#include "gui/app/stop_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <iterator>
#include <sys/socket.h>
#include <unistd.h>

namespace orvanta::gui {
namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};
struct sigaction previous[std::size(kStopSignals)] {};
// The handler's end and the notifier's end of one socket pair.
int pipeEnds[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing more is needed.
  [[maybe_unused]] const auto n = ::write(pipeEnds[0], &byte, 1);
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0)
    return;
  notifier_ = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(pipeEnds[1], bytes, sizeof bytes) > 0) {
    }
    emit Received();
  });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &action, &previous[i]);
}

StopSignals::~StopSignals() {
  if (!notifier_)
    return;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
  delete notifier_;
  for (int &fd : pipeEnds)
    fd = (::close(fd), -1);
}

} // namespace orvanta::gui
