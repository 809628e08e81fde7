#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "jobs/engine_state.h"
#include "engine/operation_host.h"
#include "jobs/restore_jobs.h"

namespace orvanta {

// The preview copy of a found file: "ae02xdc" and the extension of its name
// (from the last "." on, nothing when there is none), in the folder of the
// preview copies. Characters of the extension that could leave the folder
// are made safe as in restored names.
std::filesystem::path PreviewPath(const std::filesystem::path &folder, std::string_view name);

struct PreviewOutcome {
  enum class Result {
    Busy,       // another operation, a restore or a preview runs: nothing done
    Ready,      // the copy is at Path, to be opened
    Impossible, // Message says why; nothing written
    WriteFailed // Message is the system's error text
  };
  Result Outcome = Result::Busy;
  std::filesystem::path Path;
  std::string Message;
};

// The preview of the file `name` of CurrentSection: writes it to
// PreviewPath in the folder of the preview copies, replacing an earlier
// copy there, without a stop and without progress. That folder is
// restore.PreviewFolder, a folder that only the user may enter, made at the
// first preview in `runtimeFolder` when that is a folder, else in
// `tempFolder`; the copy is written whole before it takes its name.
// "Viewing impossible!" when the file has no usable entry, "Viewing
// impossible! 4" when the copy cannot be created (both under
// "Errors"/"Message5").
PreviewOutcome ExtractPreview(EngineState &state, RestoreState &restore, OperationHost &host,
                              std::string_view name, const std::filesystem::path &tempFolder,
                              const std::filesystem::path &runtimeFolder = {});

// Deletes every preview copy in `folder` (names matching "ae02xdc.*",
// letter case ignored, "ae02xdc" itself included), pumping the host before
// each, then the folder itself when nothing else is left in it. Failures
// are ignored.
void RemovePreviewCopies(const std::filesystem::path &folder, OperationHost *host = nullptr);

} // namespace orvanta
