#include "jobs/preview.h"

#include <cstring>
#include <optional>
#include <utility>

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

// The folder of the preview copies, made when there is none yet.
std::optional<std::filesystem::path> PreviewFolder(RestoreState &restore,
                                                   const std::filesystem::path &tempFolder,
                                                   const std::filesystem::path &runtimeFolder) {
  std::error_code ec;
  if (!restore.PreviewFolder.empty() && std::filesystem::is_directory(restore.PreviewFolder, ec))
    return restore.PreviewFolder;
  std::optional<std::filesystem::path> made;
  if (!runtimeFolder.empty() && std::filesystem::is_directory(runtimeFolder, ec))
    made = MakePrivateFolder(runtimeFolder);
  if (!made)
    made = MakePrivateFolder(tempFolder);
  if (made)
    restore.PreviewFolder = *made;
  return made;
}

} // namespace

std::filesystem::path PreviewPath(const std::filesystem::path &folder, std::string_view name) {
  const auto dot = name.rfind('.');
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  // The base keeps "." and ".." from standing alone, so only the characters
  // need making safe.
  return folder / (std::string(kPreviewBase) + ReplaceUnsafeCharacters(extension));
}

PreviewOutcome ExtractPreview(EngineState &state, RestoreState &restore, OperationHost &host,
                              std::string_view name, const std::filesystem::path &tempFolder,
                              const std::filesystem::path &runtimeFolder) {
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
  // A drive that a wipe holds is not read: nothing is written.
  const DeviceSession session(state.Vol, DeviceAccess::Read);
  if (auto held = HeldElsewhereMessage(state)) {
    outcome.Message = std::move(*held);
    return outcome;
  }
  const auto folder = PreviewFolder(restore, tempFolder, runtimeFolder);
  auto out = folder ? CreateOutputFile(*folder) : std::nullopt;
  if (!out) {
    outcome.Message = state.Language.Text("Errors", "Message5", "Viewing impossible! 4");
    return outcome;
  }
  outcome.Path = PreviewPath(*folder, name);
  restore.ResultsBusy = true;
  const ExtractResult result = ExtractFoundFile(
      state.Vol, host, {row->Size, row->FirstCluster, row->Runs, row->ValidLength}, *out, false);
  restore.ResultsBusy = false;
  if (result.WriteError != 0) {
    outcome.Outcome = PreviewOutcome::Result::WriteFailed;
    outcome.Message = std::strerror(result.WriteError);
    return outcome;
  }
  // The folder is the user's own: the earlier copy of this extension goes.
  std::error_code ignored;
  std::filesystem::remove(outcome.Path, ignored);
  if (out->Name(outcome.Path.filename().string()) != OutputFile::Naming::Named) {
    outcome.Message = state.Language.Text("Errors", "Message5", "Viewing impossible! 4");
    return outcome;
  }
  outcome.Outcome = PreviewOutcome::Result::Ready;
  return outcome;
}

void RemovePreviewCopies(const std::filesystem::path &folder, OperationHost *host) {
  if (folder.empty())
    return;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
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
  // Removes only an empty folder.
  std::filesystem::remove(folder, ec);
}

} // namespace orvanta
