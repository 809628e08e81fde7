#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/operation_host.h"

namespace orvanta::test {

// An operation host that remembers what the operation showed, and can press
// Stop after a given number of pumps.
class RecordingHost : public OperationHost {
public:
  void Pump() override {
    OperationHost::Pump();
    ++Pumps;
    if (StopAfterPumps && Pumps >= *StopAfterPumps)
      Stop().Request();
  }
  void ClearLog() override { LogLines.clear(); }
  void Log(std::string_view line) override { LogLines.emplace_back(line); }
  void SetCounterCaption(std::string_view caption) override { CounterCaption = caption; }
  void SetCounter(std::int64_t value) override { Counter = value; }
  void ShowProgress(bool visible) override { ProgressVisible = visible; }

  std::optional<long> StopAfterPumps;
  long Pumps = 0;
  std::vector<std::string> LogLines;
  std::string CounterCaption;
  std::int64_t Counter = 0;
  bool ProgressVisible = false;
  std::vector<int> Widths; // every width the bar was given, in order

protected:
  // As the windows show it.
  void ProgressChanged(ProgressFraction progress) override { Widths.push_back(ProgressBarWidth(progress)); }
};

} // namespace orvanta::test
