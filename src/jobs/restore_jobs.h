#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
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
  // The folder of the preview copies, only the user's own; made at the
  // first preview, removed with them.
  std::filesystem::path PreviewFolder;
  // When set, the restore commands write only files whose recorded
  // condition is among these; the others, and files whose value records no
  // condition, are left out.
  std::optional<std::vector<FileCondition>> Conditions;
};

// Within a device session: the message of a drive that another session
// holds (a wipe of the image), which is then not read; nothing when it is
// free.
std::optional<std::string> HeldElsewhereMessage(EngineState &state);

// One row of the results list: a file of CurrentSection, or of `Section`
// when that is given, and its check box.
struct RestoreRow {
  std::string Caption;
  bool Checked = false;
  std::string Section;
};

struct RestoreOutcome {
  // False when the command did nothing at all (another operation runs,
  // ResultsBusy, no rows or tree, no destination); then there is no final
  // message.
  bool Ran = false;
  std::int64_t Restored = 0;
  // Restored files that took a numbered name because theirs was taken.
  std::int64_t Renamed = 0;
  // Restored files in which some clusters could not be read.
  std::int64_t WithUnreadableParts = 0;
  // The host's Stop ended the command; the file it cut short was removed.
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
  // The final message: "Files restored: N", followed on lines of their own
  // by the count of renamed files and of files with unreadable parts when
  // there are any, and by "The restore was stopped." after a Stop; after a
  // failed write, the system's text for its error instead.
  std::string Message;
};

// Restore of the checked rows: each checked row's file (of CurrentSection
// unless the row names its section) is written to DestFolder under its
// (safe) name, or under the first free numbered form of it when a file
// there has that name (RestoreFoundFile).
// Progress goes to the host's bar by row. The host's Stop (also one
// requested before the start) ends the command: the file being written is
// removed and not counted, the remaining rows are skipped. A failed write
// or close ends the command; files written until then stay, the one that
// failed does not.
RestoreOutcome RestoreCheckedRows(EngineState &state, RestoreState &restore, OperationHost &host,
                                  std::span<const RestoreRow> rows);

// Restore of the folder CurrentSection with everything below it: every
// catalogue section whose name begins with CurrentSection (exactly, letter
// case counting) is written to DestFolder followed by the section's folders
// below the drive, created as needed (DestFolder itself when that fails),
// each file as a checked row is. Unless `stoppable`, the host's Stop does
// not end it.
RestoreOutcome RestoreFolder(EngineState &state, RestoreState &restore, OperationHost &host,
                             bool stoppable = false);

} // namespace orvanta
