#include "jobs/preview.h"

#include <cstring>

#include "engine/text.h"
#include "restore/extraction.h"
#include "restore/host_paths.h"
#include "platform/output_file.h"
#include "volume/device_session.h"

namespace orvanta {
namespace {

constexpr std::string_view kPreviewBase = "ae02xdc";

bool IsPreviewCopy(const std::string &fileName) {
  if (fileName.size() < kPreviewBase.size() ||
      UpperAscii(fileName.substr(0, kPreviewBase.size())) != UpperAscii(kPreviewBase))
    return false;
  return fileName.size() == kPreviewBase.size() || fileName[kPreviewBase.size()] == '.';
}

} // namespace

std::filesystem::path PreviewPath(const std::filesystem::path &tempFolder, std::string_view name) {
  const auto dot = name.rfind('.');
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  // The base keeps "." and ".." from standing alone, so only the characters
  // need making safe.
  return tempFolder / (std::string(kPreviewBase) + ReplaceUnsafeCharacters(extension));
}

PreviewOutcome ExtractPreview(EngineState &state, RestoreState &restore, OperationHost &host,
                              std::string_view name, const std::filesystem::path &tempFolder) {
  PreviewOutcome outcome;
  const OperationGuard guard(state.Operation);
  if (!guard || restore.ResultsBusy)
    return outcome;
  outcome.Outcome = PreviewOutcome::Result::Impossible;
  const FoundFileRow *row = state.Catalogue.File(restore.CurrentSection, name);
  if (!row) {
    outcome.Message = state.Language.Text("Errors", "Message5", "Viewing impossible!");
    return outcome;
  }
  outcome.Path = PreviewPath(tempFolder, name);
  auto out = OpenOutputFile(outcome.Path);
  if (!out) {
    outcome.Message = state.Language.Text("Errors", "Message5", "Viewing impossible! 4");
    return outcome;
  }
  restore.ResultsBusy = true;
  const DeviceSession session(state.Vol, DeviceAccess::Read);
  const ExtractResult result = ExtractFoundFile(
      state.Vol, host, {row->Size, row->FirstCluster, row->Runs}, *out, false);
  restore.ResultsBusy = false;
  if (result.WriteError != 0) {
    outcome.Outcome = PreviewOutcome::Result::WriteFailed;
    outcome.Message = std::strerror(result.WriteError);
    return outcome;
  }
  outcome.Outcome = PreviewOutcome::Result::Ready;
  return outcome;
}

void RemovePreviewCopies(const std::filesystem::path &tempFolder, OperationHost *host) {
  std::error_code ec;
  std::filesystem::directory_iterator it(tempFolder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (!IsPreviewCopy(it->path().filename().string()))
      continue;
    std::error_code typeError;
    if (it->is_directory(typeError) && !it->is_symlink(typeError))
      continue;
    if (host)
      host->Pump();
    std::error_code ignored;
    std::filesystem::remove(it->path(), ignored);
  }
}

} // namespace orvanta
