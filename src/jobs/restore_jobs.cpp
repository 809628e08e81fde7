#include "jobs/restore_jobs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "restore/host_paths.h"
#include "restore/restored_file.h"
#include "settings/well_known_folders.h"
#include "scan/found_file_row.h"
#include "jobs/volume_texts.h"
#include "volume/device_session.h"

namespace orvanta {
namespace {

// One run of a restore command: the counts, the bar and the busy flag.
class RestoreRun {
public:
  RestoreRun(EngineState &state, RestoreState &restore, OperationHost &host, bool stoppable)
      : state_(state), restore_(restore), host_(host), stoppable_(stoppable) {
    host_.SetProgress({});
    host_.ShowProgress(true);
    restore_.ResultsBusy = true;
    outcome_.Ran = true;
  }

  // Moves the bar to p = round(step * 100 / steps) per cent when that is
  // more than it shows.
  void Progress(std::size_t step, std::size_t steps) {
    host_.AdvanceProgress(std::int64_t(step), std::int64_t(steps));
  }

  // Writes a found file into `folder`; a file the catalogue does not hold
  // is skipped. False when the command must end: a write or close failed,
  // or Stop came.
  bool RestoreFile(const FoundFileRow *row, const std::filesystem::path &folder) {
    if (!row) {
      ++outcome_.Skipped;
      return true;
    }
    if (const auto &wanted = restore_.Conditions;
        wanted && (!row->Condition || std::find(wanted->begin(), wanted->end(),
                                                *row->Condition) == wanted->end())) {
      ++outcome_.LeftOut;
      return true;
    }
    const RestoredFile file =
        RestoreFoundFile(state_.Vol, host_, {row->Size, row->FirstCluster, row->Runs, row->ValidLength},
                         row->LastWriteTime(), folder, row->Name, stoppable_);
    switch (file.Outcome) {
    case RestoredFile::Result::Restored:
      ++outcome_.Restored;
      outcome_.Renamed += file.Renamed ? 1 : 0;
      outcome_.WithUnreadableParts += file.UnreadableParts ? 1 : 0;
      return true;
    case RestoredFile::Result::NotCreated:
      NotCreated(file.Path, file.Error);
      return true;
    case RestoredFile::Result::WriteFailed:
      outcome_.WriteError = file.Error;
      return false;
    case RestoredFile::Result::Stopped:
      return false;
    }
    return true;
  }

  void NotCreated(const std::filesystem::path &path, int error) {
    ++outcome_.Skipped;
    if (outcome_.CreateError == 0) {
      outcome_.CreateError = error;
      outcome_.NotCreatedPath = path;
    }
  }

  RestoreOutcome Finish() {
    outcome_.Stopped = stoppable_ && !host_.Running();
    restore_.ResultsBusy = false;
    host_.SetProgress({});
    host_.ShowProgress(false);
    host_.Pump();
    const auto &language = state_.Language;
    if (outcome_.WriteError != 0) {
      outcome_.Message = std::strerror(outcome_.WriteError);
      return outcome_;
    }
    outcome_.Message = language.Text("Restore", "Message4", "Files restored:") + " " +
                       std::to_string(outcome_.Restored);
    if (outcome_.Renamed > 0)
      outcome_.Message += "\n" +
                          language.Text("Restore", "Message6",
                                        "Files given a new name, as their name was taken:") +
                          " " + std::to_string(outcome_.Renamed);
    if (outcome_.WithUnreadableParts > 0)
      outcome_.Message +=
          "\n" +
          language.Text("Restore", "Message5", "Files with unreadable parts (filled with zeros):") +
          " " + std::to_string(outcome_.WithUnreadableParts);
    if (outcome_.Stopped)
      outcome_.Message += "\n" + language.Text("Restore", "Message7", "The restore was stopped.");
    return outcome_;
  }

private:
  EngineState &state_;
  RestoreState &restore_;
  OperationHost &host_;
  bool stoppable_;
  RestoreOutcome outcome_;
};

// A restore of a drive that another session holds tells so and writes
// nothing.
bool HeldElsewhere(EngineState &state, RestoreOutcome &outcome) {
  const std::optional<std::string> message = HeldElsewhereMessage(state);
  if (!message)
    return false;
  outcome.Ran = true;
  outcome.Message = *message;
  return true;
}

} // namespace

std::optional<std::string> HeldElsewhereMessage(EngineState &state) {
  auto &vol = state.Vol;
  if (vol.RootReachable(vol.Geometry().DrivePath) || !vol.DriveHeldElsewhere())
    return std::nullopt;
  return VolumeCheckMessage(VolumeCheck::InUse, state.Language);
}

RestoreOutcome RestoreCheckedRows(EngineState &state, RestoreState &restore, OperationHost &host,
                                  std::span<const RestoreRow> rows) {
  const OperationGuard guard(state.Operation);
  if (!guard || rows.empty() || restore.ResultsBusy || restore.DestFolder.empty())
    return {};
  const DeviceSession session(state.Vol, DeviceAccess::Read);
  if (RestoreOutcome busy; HeldElsewhere(state, busy))
    return busy;
  RestoreRun run(state, restore, host, /*stoppable=*/true);
  const std::string section = restore.CurrentSection;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    host.Pump();
    if (!host.Running())
      continue;
    run.Progress(i, rows.size());
    if (!rows[i].Checked)
      continue;
    const std::string &rowSection = rows[i].Section.empty() ? section : rows[i].Section;
    if (!run.RestoreFile(state.Catalogue.File(rowSection, rows[i].Caption), restore.DestFolder))
      break;
  }
  return run.Finish();
}

RestoreOutcome RestoreFolder(EngineState &state, RestoreState &restore, OperationHost &host,
                             bool stoppable) {
  const OperationGuard guard(state.Operation);
  if (!guard || restore.ResultsBusy || state.Tree.Empty() || restore.DestFolder.empty())
    return {};
  const DeviceSession session(state.Vol, DeviceAccess::Read);
  if (RestoreOutcome busy; HeldElsewhere(state, busy))
    return busy;
  RestoreRun run(state, restore, host, stoppable);
  // Nothing begins with an empty section name: with no folder selected
  // there is nothing to restore.
  const std::string prefix = restore.CurrentSection;
  const std::vector<FoundFolder> &folders = state.Catalogue.Folders();
  bool failed = false;
  for (std::size_t k = 0; k < folders.size() && !failed; ++k) {
    host.Pump();
    if (stoppable && !host.Running())
      break;
    const FoundFolder &folder = folders[k];
    if (prefix.empty() || !folder.Section.starts_with(prefix))
      continue;
    run.Progress(k, folders.size());
    std::filesystem::path target = SectionFolder(restore.DestFolder, folder.Section);
    ForceFolder(target);
    std::error_code ec;
    if (!std::filesystem::is_directory(target, ec))
      target = restore.DestFolder;
    for (const FoundFileRow &row : folder.Files)
      if (!run.RestoreFile(&row, target)) {
        failed = true;
        break;
      }
  }
  return run.Finish();
}

} // namespace orvanta
