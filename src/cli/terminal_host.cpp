#include "cli/terminal_host.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <unistd.h>

#include "engine/rounding.h"

namespace orvanta::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;
struct sigaction previous {};

void OnInterrupt(int) { interrupted = 1; }

} // namespace

TerminalHost::TerminalHost() : tty_(::isatty(STDERR_FILENO) == 1) {
  interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &previous);
}

TerminalHost::~TerminalHost() {
  EraseBar();
  ::sigaction(SIGINT, &previous, nullptr);
}

bool TerminalHost::Interrupted() { return interrupted != 0; }

void TerminalHost::Pump() {
  OperationHost::Pump();
  if (interrupted)
    Stop().Request();
}

void TerminalHost::Log(std::string_view line) {
  EraseBar();
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  DrawBar();
}

void TerminalHost::ShowProgress(bool visible) {
  if (!visible)
    EraseBar();
  barShown_ = visible;
  DrawBar();
}

void TerminalHost::ProgressChanged(int) { DrawBar(); }

void TerminalHost::Pause(int milliseconds) {
  // Only a drawn bar is worth waiting for.
  if (tty_ && barShown_)
    ::usleep(static_cast<useconds_t>(milliseconds) * 1000);
}

void TerminalHost::DrawBar() {
  if (!tty_ || !barShown_)
    return;
  constexpr int kCells = 40;
  const int width = ProgressWidth();
  const int filled = width * kCells / kProgressTrackWidth;
  std::string bar = "\r[";
  bar.append(static_cast<std::size_t>(std::clamp(filled, 0, kCells)), '#');
  bar.append(static_cast<std::size_t>(kCells - std::clamp(filled, 0, kCells)), ' ');
  bar += "] " + std::to_string(ProgressPercentOf(width)) + "%";
  std::fputs(bar.c_str(), stderr);
  std::fflush(stderr);
  barDrawn_ = true;
}

void TerminalHost::EraseBar() {
  if (!barDrawn_)
    return;
  std::fputs("\r\033[K", stderr);
  barDrawn_ = false;
}

} // namespace orvanta::cli
