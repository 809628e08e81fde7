#include "restore/restored_file.h"

#include <cerrno>

#include "engine/operation_host.h"
#include "platform/output_file.h"
#include "restore/extraction.h"
#include "restore/host_paths.h"

namespace orvanta {
namespace {

// No folder holds this many files of one name; past it the name counts as
// one that cannot be had.
constexpr std::uint64_t kMaxNumber = 1'000'000;

} // namespace

RestoredFile RestoreFoundFile(Volume &vol, OperationHost &host, const FoundEntry &entry,
                              std::optional<std::time_t> written,
                              const std::filesystem::path &folder, std::string_view name,
                              bool stoppable) {
  RestoredFile restored;
  const std::string safe = SafeName(name);
  restored.Path = folder / safe;
  errno = 0;
  auto out = CreateOutputFile(folder);
  if (!out) {
    restored.Error = errno != 0 ? errno : EIO;
    return restored;
  }
  if (written)
    out->KeepModificationTime(*written);
  const ExtractResult copied = ExtractFoundFile(vol, host, entry, *out, stoppable);
  restored.UnreadableParts = copied.UnreadableParts;
  if (copied.WriteError != 0) {
    restored.Outcome = RestoredFile::Result::WriteFailed;
    restored.Error = copied.WriteError;
    return restored;
  }
  if (copied.Stopped) {
    restored.Outcome = RestoredFile::Result::Stopped;
    return restored;
  }
  for (std::uint64_t n = 0; n <= kMaxNumber; ++n) {
    const std::string candidate = n == 0 ? safe : NumberedSafeName(safe, n);
    switch (out->Name(candidate)) {
    case OutputFile::Naming::Named:
      restored.Outcome = RestoredFile::Result::Restored;
      restored.Path = folder / candidate;
      restored.Renamed = n > 0;
      return restored;
    case OutputFile::Naming::Failed:
      restored.Path = folder / candidate;
      restored.Error = out->Error();
      return restored;
    case OutputFile::Naming::Taken:
      host.Pump();
      break;
    }
  }
  restored.Error = EEXIST;
  return restored;
}

} // namespace orvanta
