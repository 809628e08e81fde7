#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "jobs/engine_state.h"
#include "engine/operation_host.h"

namespace orvanta {

struct FindOptions {
  std::string Drive = "E:";
  std::string Mask = "*.*"; // empty means "*.*"
  bool Deep = false;
  // The latest plausible year, less 1980; nothing: this year by the clock.
  std::optional<int> MaxYearOffset;
  std::function<void()> BeforeScan;   // shown before the scan starts (the deep-scan hint)
};

struct FindOutcome {
  enum class Result {
    Refused,      // the drive or the mask cannot be used; nothing was changed
    Found,        // something was found (also after Stop)
    NothingFound,
    Busy,         // another operation runs on the engine; nothing was changed
  };
  Result Outcome = Result::Refused;
  // The text of the message that ends the command: the refusal, "Deleted
  // files found: N" or "Deleted files not found!".
  std::string Message;
  bool Stopped = false;
};

// The Find command: checks the drive, loads its FAT, empties the catalogue
// and the tree, runs the quick or the deep scan with progress on the host
// and reports. Stop is the host's: when it was requested before the start,
// the scan does nothing and the outcome is a stopped run that found nothing.
FindOutcome RunFind(EngineState &state, OperationHost &host, const FindOptions &options);

} // namespace orvanta
