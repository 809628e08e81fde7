#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "engine/engine_state.h"
#include "engine/operation_host.h"

namespace orvanta {

struct WipeOptions {
  std::string Drive = "E:";
  // false: the deleted-entries wipe (the root directory and every directory
  // reachable from it); true: the free-space wipe.
  bool FreeSpace = false;
  // Asked once the drive has passed every check, with the question text;
  // the wipe runs only when it answers true. Without it nothing is wiped.
  std::function<bool(const std::string &question)> Confirm;
  // Called when the run starts, after the log is reset: the front end
  // disables its other commands and empties its results views.
  std::function<void()> BeforeRun;
};

struct WipeOutcome {
  enum class Result {
    Refused,  // the drive cannot be used or written; nothing was changed
    Declined, // the confirmation was answered No; nothing was changed
    Done,     // the wipe ran (to its end, or until Stop)
  };
  Result Outcome = Result::Refused;
  // The refusal, or the report: "Files wiped: N" or
  // "Free drive space wiped: P%".
  std::string Message;
  // "Writes that failed: N" when the volume refused any write; else empty.
  std::string FailedWritesMessage;
  bool Stopped = false;
  std::int64_t FilesWiped = 0;
  std::int64_t PercentWiped = 0; // the free-space wipe
  std::int64_t FailedWrites = 0;

  // The report's lines as the Information dialog shows them.
  std::string ReportText() const;
};

// The Wipe command: checks the drive (present, FAT16 or FAT32, boot sector
// and FAT readable, writable without sharing it with a mounted file
// system), asks for confirmation, empties the catalogue and the tree (their
// results are stale after a wipe) and runs the chosen wipe with progress on
// the host, which Stop reaches through its running flag.
WipeOutcome RunWipe(EngineState &state, OperationHost &host, const WipeOptions &options);

} // namespace orvanta
