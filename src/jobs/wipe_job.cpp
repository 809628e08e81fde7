#include "jobs/wipe_job.h"

#include <optional>

#include "exfat/exfat_wipe.h"
#include "volume/device_session.h"
#include "jobs/volume_opener.h"
#include "jobs/volume_texts.h"
#include "wipe/wipe_engine.h"

namespace orvanta {

namespace {

// The deleted-entries wipe: the root, then every directory the purges
// queue, breadth first; the queue may grow while it is walked. The bar only
// grows. False after Stop.
bool WipeDeletedEntries(WipeEngine &engine, OperationHost &host) {
  engine.WipeFATCluster(0);
  const auto &queue = engine.Queue();
  for (std::size_t i = 0; i < queue.Count(); ++i) {
    host.Pump();
    if (!host.Running())
      continue; // after Stop the rest of the queue is passed over
    host.AdvanceProgress(std::int64_t(i), std::int64_t(queue.Count()));
    engine.WipeFATCluster(static_cast<std::int32_t>(queue[i]));
  }
  return host.Running();
}

} // namespace

std::string WipeOutcome::ReportText() const {
  return FailedWritesMessage.empty() ? Message : Message + "\n" + FailedWritesMessage;
}

WipeCheck CheckWipe(EngineState &state, const WipeOptions &options) {
  WipeCheck result;
  WipeOutcome &outcome = result.refusal_;
  OperationGuard guard(state.Operation);
  if (!guard) {
    outcome.Outcome = WipeOutcome::Result::Busy;
    return result;
  }
  const auto &language = state.Language;
  // Opened once, for reading and writing, until the run ends: where writing
  // is refused the checks still read the drive and refuse it below.
  auto session = std::make_unique<DeviceSession>(state.Vol, DeviceAccess::ReadWrite);
  VolumeCheck check = OpenAnyVolume(state.Vol, options.Drive, /*loadFat=*/true);
  // A cluster size that no FAT volume has means the boot sector is damaged:
  // where its clusters lie cannot be trusted, and nothing is written by it.
  if (check == VolumeCheck::Ok && !state.Vol.Geometry().ClustersFitInMemory())
    check = VolumeCheck::BootSectorDenied;
  if (check != VolumeCheck::Ok) {
    outcome.Message = VolumeCheckMessage(check, language);
    return result;
  }
  // A volume known only through the copy of its boot sector is read, never
  // written: the copy may be older than the volume.
  if (state.Vol.Geometry().BootSectorCopy != 0) {
    outcome.Message = language.Text(
        "Errors", "BootSectorCopy",
        "The boot sector of the drive is damaged. Files can be found and restored, but the drive "
        "is not wiped: check it first (fsck.fat).");
    return result;
  }
  // Refused before the question: a write-protected drive, or one the system
  // has mounted (writing under a mounted file system would corrupt it).
  Device *device = state.Vol.CurrentDevice();
  if (!device || !device->WritableExclusively()) {
    result.mounted_ = device && device->MountPoint().has_value();
    outcome.Message = language.Text(
        "Errors", "Message6",
        "The drive cannot be opened for writing. It may be write-protected or in use.");
    return result;
  }
  result.question_ = language.Text("Wipe", "Message1", "Are you sure wipe deleted files?");
  result.guard_ = std::move(guard);
  result.session_ = std::move(session);
  return result;
}

WipeOutcome RunWipe(EngineState &state, OperationHost &host, const WipeOptions &options) {
  WipeCheck check = CheckWipe(state, options);
  if (!check.Passed())
    return check.Refusal();
  if (!options.Confirm || !options.Confirm(check.Question())) {
    WipeOutcome outcome;
    outcome.Outcome = WipeOutcome::Result::Declined;
    return outcome;
  }
  return RunCheckedWipe(state, host, std::move(check), options);
}

WipeOutcome RunCheckedWipe(EngineState &state, OperationHost &host, WipeCheck check,
                           const WipeOptions &options) {
  if (!check.Passed())
    return check.Refusal();
  WipeOutcome outcome;
  const auto &language = state.Language;
  host.ClearLog();
  host.Log(language.Text("Wipe", "Message2", "Wipe deleted files. Please wait..."));
  host.Log("");
  if (options.BeforeRun)
    options.BeforeRun();
  state.FoundCount = 0;
  host.SetCounter(0);
  state.Catalogue.Clear();
  state.Vol.ClearChainList();
  state.Tree.Clear();

  WipeEngine engine(state, host);
  std::optional<exfat::ExfatWipe> exfatWipe;
  if (state.Vol.Geometry().FatType == kExfat)
    exfatWipe.emplace(state, host);
  host.SetProgress({});
  host.ShowProgress(true);
  bool completed;
  if (!options.FreeSpace) {
    host.SetCounterCaption(language.Text("Drive", "Found", "Found:"));
    completed = exfatWipe ? exfatWipe->PurgeDirectories() : WipeDeletedEntries(engine, host);
  } else if (exfatWipe) {
    // The folders first, so that no deleted set is left in a live one.
    host.SetCounterCaption(language.Text("Drive", "Found", "Found:"));
    completed = exfatWipe->PurgeDirectories();
    host.SetCounterCaption(language.Text("Wipe", "Cluster", "Cluster"));
    completed = completed && exfatWipe->WipeFreeClusters();
  } else {
    host.SetCounterCaption(language.Text("Wipe", "Cluster", "Cluster"));
    completed = state.Vol.Geometry().FatType == kFat16 ? engine.WipeFAT16() : engine.WipeFAT32();
  }

  outcome.Stopped = EndRun(host);

  outcome.Outcome = WipeOutcome::Result::Done;
  outcome.FilesWiped = state.FoundCount;
  outcome.FailedWrites = exfatWipe ? exfatWipe->FailedWrites() : engine.FailedWrites();
  // Writes the device took in but could not put on the medium.
  if (!check.session_->End())
    ++outcome.FailedWrites;
  if (!options.FreeSpace) {
    outcome.Message = language.Text("Wipe", "Message3", "Files wiped:") + " " +
                      std::to_string(state.FoundCount);
  } else {
    outcome.PercentWiped =
        completed ? 100 : exfatWipe ? exfatWipe->PassPercent() : engine.PassPercent();
    outcome.Message = language.Text("Wipe", "Message4", "Free drive space wiped:") + " " +
                      std::to_string(outcome.PercentWiped) + "%";
  }
  if (outcome.FailedWrites > 0)
    outcome.FailedWritesMessage = language.Text("Wipe", "Message5", "Writes that failed:") + " " +
                                  std::to_string(outcome.FailedWrites);
  return outcome;
}

} // namespace orvanta
