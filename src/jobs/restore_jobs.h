#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jobs/engine_state.h"
#include "engine/operation_host.h"
#include "scan/file_condition.h"

namespace orvanta {

// What the results window keeps for its restore and preview commands for
// the whole run of the program.
struct RestoreState {
  // Set while a restore or a preview extraction runs; the window's handlers
  // do nothing while it is set. The operation's thread sets it, the
  // window's reads it.
  std::atomic<bool> ResultsBusy{false};
  // The catalogue section of the folder selected in the tree ("E:\DCIM\").
  std::string CurrentSection;
  // Where restored files go; chosen once, kept for the rest of the run.
  std::filesystem::path DestFolder;
  // When set, the restore commands write only files whose recorded
  // condition is among these; the others, and files whose value records no
  // condition, are left out.
  std::optional<std::vector<FileCondition>> Conditions;
};

// Asks for the destination when none has been chosen yet. False when there
// is still none (the folder browser was cancelled): the command ends.
bool ChooseDestination(RestoreState &restore,
                       const std::function<std::filesystem::path()> &selectFolder);

// One row of the results list: a file of CurrentSection and its check box.
struct RestoreRow {
  std::string Caption;
  bool Checked = false;
};

struct RestoreOutcome {
  // False when the command did nothing at all (another operation runs,
  // ResultsBusy, no rows or tree, no destination); then there is no final
  // message.
  bool Ran = false;
  std::int64_t Restored = 0;
  // Restored files in which some clusters could not be read.
  std::int64_t WithUnreadableParts = 0;
  bool Stopped = false;
  // Files not written: their catalogue value is unusable, or their output
  // file could not be created.
  std::int64_t Skipped = 0;
  // Files not written because their condition is not among Conditions.
  std::int64_t LeftOut = 0;
  // errno of the first output file that could not be created, and its path.
  int CreateError = 0;
  std::filesystem::path NotCreatedPath;
  // errno of the write or close that ended the command; 0 when none did.
  int WriteError = 0;
  // The final message: "Files restored: N", followed on a second line by
  // the count of files with unreadable parts when there are any; after a
  // failed write, the system's text for its error instead.
  std::string Message;
};

// Restore of the checked rows: each checked row's file of CurrentSection is
// written to DestFolder under its (safe) name, replacing a file of that
// name. Progress goes to the host's bar by row. After the host's Stop (also
// one requested before the start) the current file's remaining clusters
// and the remaining rows are skipped. A failed write or close ends the command;
// files written until then stay.
RestoreOutcome RestoreCheckedRows(EngineState &state, RestoreState &restore, OperationHost &host,
                                  std::span<const RestoreRow> rows);

// Restore of the folder CurrentSection with everything below it: every
// catalogue section whose name begins with CurrentSection (exactly, letter
// case counting) is written to DestFolder followed by the section's folders
// below the drive, created as needed (DestFolder itself when that fails).
// Cannot be stopped.
RestoreOutcome RestoreFolder(EngineState &state, RestoreState &restore, OperationHost &host);

} // namespace orvanta
