#include "jobs/wipe_job.h"

#include <optional>

#include "exfat/exfat_wipe.h"
#include "volume/device_session.h"
#include "jobs/volume_opener.h"
#include "jobs/volume_texts.h"
#include "engine/rounding.h"
#include "engine/text.h"
#include "settings/language_file.h"
#include "wipe/wipe_engine.h"
#include "wipe/wipe_safety.h"

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

// The volume label a FAT boot sector carries after its extended boot
// signature (0x29): the label field of the FAT16 or the FAT32 layout.
std::string BootSectorLabel(const std::vector<std::uint8_t> &sector, int fatType) {
  const std::size_t signature = fatType == kFat32 ? 66 : 38;
  if ((fatType != kFat16 && fatType != kFat32) || sector.size() < signature + 16 || sector[signature] != 0x29)
    return {};
  std::string label(sector.begin() + signature + 5, sector.begin() + signature + 16);
  for (char &c : label)
    if (static_cast<unsigned char>(c) < 0x20)
      c = ' ';
  while (!label.empty() && label.back() == ' ')
    label.pop_back();
  return label == "NO NAME" ? std::string() : Cp1251ToUtf8(label);
}

// The refusal of a volume that is not safe to wipe: that nothing was
// wiped and the card should be checked first, then what is wrong.
std::string HazardMessage(WipeHazard hazard, const LanguageFile &language) {
  static constexpr const char *kDefaults[] = {
      "",
      "Its boot sector counts no FAT.",
      "Its FAT is too small for its clusters.",
      "Its data area lies outside the card.",
      "Its FAT is not where the boot sector says.",
      "Its root folder starts outside the data area.",
      "A folder's cluster chain is broken.",
      "A folder lacks its \".\" and \"..\" entries.",
      "Two files or folders share clusters.",
      "A file's clusters do not match its size.",
      "Its boot sector gives an invalid cluster size.",
      "Its FAT marks clusters used that no file holds.",
  };
  const auto index = static_cast<std::size_t>(hazard);
  return language.Text("Wipe", "Check", "Nothing was wiped: this card is damaged. Check it first (fsck.fat, chkdsk).") + "\n" +
         language.Text("Wipe", "Check" + std::to_string(index), kDefaults[index]);
}

} // namespace

std::string WipeQuestion(const EngineState &state, const WipeOptions &options) {
  const auto &language = state.Language;
  const TVolumeGeometry &g = state.Vol.Geometry();
  std::string drive = options.Drive;
  if (const std::string label = BootSectorLabel(state.Vol.BootSectorBytes(), g.FatType); !label.empty())
    drive += " " + label;
  drive += " \u00B7 " +
           std::to_string(RoundHalfEven(static_cast<double>(std::int64_t{g.BytesPerCluster} * g.ClusterCount) /
                                        1048576.0)) +
           " Mb";
  if (!options.DeviceName.empty())
    drive += " \u00B7 " + options.DeviceName;
  return language.Text("Wipe", "Message1", "Are you sure wipe deleted files?") + "\n" + drive + "\n" +
         (options.FreeSpace ? language.Text("Wipe", "Message9", "All free space will be zeroed.")
                            : language.Text("Wipe", "Message8", "Deleted entries will be overwritten."));
}

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
  // Where the geometry or a chain is damaged, the wipe's writes would land
  // on live files or the FATs. (An exFAT volume is checked as it is opened.)
  if (state.Vol.Geometry().FatType != kExfat)
    if (const auto finding = WipeSafety(state.Vol).Check()) {
      outcome.Message = HazardMessage(finding.Hazard, language);
      outcome.Hazard = finding.Hazard;
      outcome.HazardPath = finding.Path;
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
  result.question_ = WipeQuestion(state, options);
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
