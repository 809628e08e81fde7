#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jobs/engine_state.h"

namespace orvanta {

struct DriveSummary {
  enum class Result {
    Ready,   // Lines holds the summary
    Refused, // the drive cannot be used; Message says why
    Busy,    // another operation runs on the engine; nothing was read
  };
  Result Outcome = Result::Busy;
  std::vector<std::string> Lines; // "FAT32, 63 Mb", "Bytes per sector - 512" ...
  std::string Message;
};

// The main window's summary of `drive` ("E:"), an operation of its own:
// selects the drive, reads its boot sector and gives the six lines.
DriveSummary ReadDriveSummary(EngineState &state, std::string_view drive);

} // namespace orvanta
