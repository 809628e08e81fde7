#include "cli/terminal_host.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <atomic>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace orvanta::cli {
namespace {

#if defined(_WIN32)

// The console's Ctrl+C and Ctrl+Break stop the work at its next unit, with
// what was done reported. The console calls the handler on a thread of its
// own.
std::atomic<DWORD> interrupted{0}; // the console event + 1, or 0

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
    return FALSE;
  interrupted = event + 1;
  return TRUE;
}

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

#else

volatile std::sig_atomic_t interrupted = 0; // the signal that came, or 0

// Ctrl+C, a terminal that closes and a polite kill all stop the work the
// same way: at its next unit, with what was done reported.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(kStopSignals)] {};

void OnInterrupt(int signal) { interrupted = signal; }

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

#endif

} // namespace

TerminalHost::TerminalHost() : tty_(StderrIsTerminal()) {
  interrupted = 0;
#if defined(_WIN32)
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &action, &previous[i]);
#endif
}

TerminalHost::~TerminalHost() {
  EraseBar();
#if defined(_WIN32)
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#else
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    ::sigaction(kStopSignals[i], &previous[i], nullptr);
#endif
}

bool TerminalHost::Interrupted() { return interrupted != 0; }

const char *TerminalHost::InterruptName() {
#if defined(_WIN32)
  return interrupted == CTRL_BREAK_EVENT + 1 ? "Ctrl+Break" : "Ctrl+C";
#else
  switch (interrupted) {
  case SIGTERM:
    return "SIGTERM";
  case SIGHUP:
    return "SIGHUP";
  default:
    return "Ctrl+C";
  }
#endif
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
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
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
#if defined(_WIN32)
  // A console without escape sequences: the bar is overwritten with blanks.
  std::fputs(("\r" + std::string(48, ' ') + "\r").c_str(), stderr);
#else
  std::fputs("\r\033[K", stderr);
#endif
  barDrawn_ = false;
}

} // namespace orvanta::cli
