#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string_view>

#include "restore/found_entry.h"

namespace orvanta {

class OperationHost;
class Volume;

struct RestoredFile {
  enum class Result {
    Restored,   // the file is at Path
    Stopped,    // the host's Stop came before the file was whole; nothing is left of it
    NotCreated, // no file could be made at Path (Error says why)
    WriteFailed // a write or close failed (Error says why); nothing is left of it
  };
  Result Outcome = Result::NotCreated;
  std::filesystem::path Path;
  // It took a numbered name because its own was taken.
  bool Renamed = false;
  // Some of its bytes could not be read and are zeros.
  bool UnreadableParts = false;
  int Error = 0;
};

// Writes a found file into `folder` under its name made safe (SafeName),
// with the last-write time `written` when there is one. The file is written
// under a temporary name and named only once it is whole; a file of its
// name already in the folder is never replaced: the new one takes the first
// free numbered form of the name ("photo (1).jpg"), as the catalogue numbers
// duplicates. A copy that is stopped or fails leaves nothing behind.
RestoredFile RestoreFoundFile(Volume &vol, OperationHost &host, const FoundEntry &entry,
                              std::optional<std::time_t> written,
                              const std::filesystem::path &folder, std::string_view name,
                              bool stoppable);

} // namespace orvanta
