#include "cli/terminal_host.h"

#include <algorithm>
#include <iterator>
#include <csignal>
#include <string>
#include <unistd.h>


namespace orvanta::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0; // the signal that came, or 0

// Ctrl+C, a terminal that closes and a polite kill all stop the work the
// same way: at its next unit, with what was done reported.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kStopSignals)] {};

void OnInterrupt(int signal) { interrupted = signal; }

} // namespace

TerminalHost::TerminalHost() : tty_(::isatty(STDERR_FILENO) == 1) {
  interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &action, &previous[i]);
}

TerminalHost::~TerminalHost() {
  EraseBar();
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
}

bool TerminalHost::Interrupted() { return interrupted != 0; }

const char *TerminalHost::InterruptName() {
  switch (interrupted) {
  case SIGTERM:
    return "SIGTERM";
  case SIGHUP:
    return "SIGHUP";
  default:
    return "Ctrl+C";
  }
}

void TerminalHost::Pump() {
  OperationHost::Pump();
  if (interrupted)
    Stop().Request();
}

void TerminalHost::Log(std::string_view line) {
  EraseBar();
  // One write a line: stderr is unbuffered, and a deep scan logs thousands.
  logLine_.assign(line);
  logLine_ += '\n';
  std::fwrite(logLine_.data(), 1, logLine_.size(), stderr);
  DrawBar();
}

void TerminalHost::ShowProgress(bool visible) {
  if (!visible)
    EraseBar();
  barShown_ = visible;
  DrawBar();
}

void TerminalHost::ProgressChanged(ProgressFraction) { DrawBar(); }

void TerminalHost::Pause(int milliseconds) {
  // Only a drawn bar is worth waiting for.
  if (tty_ && barShown_)
    ::usleep(static_cast<useconds_t>(milliseconds) * 1000);
}

void TerminalHost::DrawBar() {
  if (!tty_ || !barShown_)
    return;
  constexpr std::int64_t kCells = 40;
  const std::int64_t percent = std::clamp<std::int64_t>(ProgressPercent(), 0, 100);
  const std::int64_t filled = percent * kCells / 100;
  std::string bar = "\r[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kCells - filled), ' ');
  bar += "] " + std::to_string(percent) + "%";
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
