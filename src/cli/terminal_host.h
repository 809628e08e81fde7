#pragma once

#include <cstdio>

#include "engine/operation_host.h"

namespace orvanta::cli {

// The operation host of the command line: log lines and a progress bar on
// stderr, nothing to pump, and Ctrl+C (or SIGTERM, SIGHUP) as the Stop
// button.
class TerminalHost final : public OperationHost {
public:
  TerminalHost();
  ~TerminalHost() override;
  TerminalHost(const TerminalHost &) = delete;
  TerminalHost &operator=(const TerminalHost &) = delete;

  void Pump() override;
  void Log(std::string_view line) override;
  void ShowProgress(bool visible) override;
  void Pause(int milliseconds) override;

  // Whether Ctrl+C was pressed (or SIGTERM or SIGHUP came) since the host
  // was made.
  static bool Interrupted();
  // What stopped the work: "Ctrl+C", "SIGTERM" or "SIGHUP".
  static const char *InterruptName();

protected:
  void ProgressChanged(ProgressFraction progress) override;

private:
  void DrawBar();
  void EraseBar();

  bool tty_;
  bool barShown_ = false;
  bool barDrawn_ = false;
  std::string logLine_;
};

} // namespace orvanta::cli
