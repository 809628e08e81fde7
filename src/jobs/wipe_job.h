#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "jobs/engine_state.h"
#include "engine/operation_host.h"
#include "volume/device_session.h"
#include "wipe/wipe_safety.h"

namespace orvanta {

struct WipeOptions {
  std::string Drive = "E:";
  // false: the deleted-entries wipe (the root directory and every directory
  // reachable from it); true: the free-space wipe.
  bool FreeSpace = false;
  // How the user knows the drive's device: its kernel name or image file;
  // named in the question.
  std::string DeviceName;
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
    Busy,     // another operation runs on the engine; nothing was changed
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
  // Why a volume was refused as unsafe to wipe (None for any other outcome).
  WipeHazard Hazard = WipeHazard::None;
  // The folder or file where it was found, when it concerns one.
  std::string HazardPath;

  // The report's lines as the Information dialog shows them.
  std::string ReportText() const;
};

// The checks of a wipe, passed or not. One that passed holds the engine
// (no other operation starts) and the drive's device session until it is
// run or dropped, so that the volume it checked is the one the run writes;
// meanwhile the front end asks Question(). Move-only.
class WipeCheck {
public:
  // True when the drive passed every check and the wipe may run.
  bool Passed() const { return static_cast<bool>(guard_); }
  // The question to ask before the run (passed checks only).
  const std::string &Question() const { return question_; }
  // Why the wipe cannot run (Refused or Busy, with the message to show).
  const WipeOutcome &Refusal() const { return refusal_; }
  // Refused only because the system has the volume mounted: every other
  // check passed. A front end that can have the volume unmounted may do so
  // and check again.
  bool RefusedAsMounted() const { return mounted_; }

private:
  friend WipeCheck CheckWipe(EngineState &state, const WipeOptions &options);
  friend WipeOutcome RunCheckedWipe(EngineState &state, OperationHost &host, WipeCheck check,
                                    const WipeOptions &options);
  OperationGuard guard_;
  std::unique_ptr<DeviceSession> session_; // ends before the guard is released
  std::string question_;
  WipeOutcome refusal_;
  bool mounted_ = false;
};

// The checks of the Wipe command: the drive is present, FAT16 or FAT32,
// its boot sector and FAT readable (they are loaded into the state), and it
// can be written without sharing it with a mounted file system. Changes
// nothing on the volume, the catalogue or the host.
WipeCheck CheckWipe(EngineState &state, const WipeOptions &options);

// The run of a wipe whose checks passed and whose question was answered
// Yes: empties the catalogue and the tree (their results are stale after a
// wipe) and runs the chosen wipe with progress on the host. Stop is the
// host's: when it was requested before the start, nothing is written and
// the outcome is a stopped run. The drive's session ends with the run: when
// the device cannot flush the run's writes, that counts as a failed write. A check that did not pass gives its refusal.
// Of the options it uses FreeSpace and BeforeRun: the drive is the one
// checked.
WipeOutcome RunCheckedWipe(EngineState &state, OperationHost &host, WipeCheck check,
                           const WipeOptions &options);

// The question asked before a wipe of the volume the state holds: whether
// to wipe, which drive (its text, volume label, size and DeviceName) and
// what the chosen wipe overwrites, one line each.
std::string WipeQuestion(const EngineState &state, const WipeOptions &options);

// The Wipe command as one call: CheckWipe, then options.Confirm with the
// question, then RunCheckedWipe.
WipeOutcome RunWipe(EngineState &state, OperationHost &host, const WipeOptions &options);

} // namespace orvanta
