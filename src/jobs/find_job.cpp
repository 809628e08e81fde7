#include "jobs/find_job.h"

#include "exfat/directory_tree.h"
#include "exfat/exfat_scans.h"
#include "scan/deep_scan.h"
#include "scan/entry_decoding.h"
#include "scan/live_view.h"
#include "scan/quick_scan.h"
#include "volume/device_session.h"
#include "jobs/volume_opener.h"
#include "jobs/volume_texts.h"

namespace orvanta {

FindOutcome RunFind(EngineState &state, OperationHost &host, const FindOptions &options) {
  FindOutcome outcome;
  const OperationGuard guard(state.Operation);
  if (!guard) {
    outcome.Outcome = FindOutcome::Result::Busy;
    return outcome;
  }
  const auto &language = state.Language;
  const DeviceSession session(state.Vol, DeviceAccess::Read);
  const VolumeCheck check = OpenAnyVolume(state.Vol, options.Drive, /*loadFat=*/true);
  if (check != VolumeCheck::Ok) {
    outcome.Message = VolumeCheckMessage(check, language);
    return outcome;
  }
  const std::string mask = options.Mask.empty() ? "*.*" : options.Mask;
  std::string maskError;
  auto compiled = FileMask::Compile(mask, maskError);
  if (!compiled) {
    outcome.Message = maskError;
    return outcome;
  }

  host.ClearLog();
  host.Log(language.Text("Drive", "Message6", "Find deleted files. Please wait..."));
  if (const std::string copy = BootSectorCopyLine(state.Vol.Geometry(), language); !copy.empty())
    host.Log(copy);
  host.Log("");
  host.SetCounterCaption(language.Text("Drive", "Found", "Found:"));
  state.FoundCount = 0;
  host.SetCounter(0);

  state.Catalogue.Clear();
  state.Vol.ClearChainList();
  state.Tree.Clear();
  state.Tree.AddTopLevel(state.Vol.Geometry().DrivePath);
  state.SearchMask = mask;
  if (options.BeforeScan)
    options.BeforeScan();

  const bool exfat = state.Vol.Geometry().FatType == kExfat;
  auto live = exfat ? exfat::MakeExfatLiveView(state.Vol) : MakeLiveView(state.Vol);
  FindContext ctx(state, host, *live, std::move(*compiled), AdmitsEverything(mask),
                  options.MaxYearOffset.value_or(CurrentYearOffsetLimit()));
  host.SetProgress({});
  host.ShowProgress(true);
  if (exfat)
    options.Deep ? exfat::RunExfatDeepScan(ctx) : exfat::RunExfatQuickScan(ctx);
  else if (options.Deep)
    DeepScan(ctx);
  else
    RunQuickScan(ctx);

  outcome.Stopped = EndRun(host);

  if (state.FoundCount > 0) {
    outcome.Outcome = FindOutcome::Result::Found;
    outcome.Message = language.Text("Restore", "Message1", "Deleted files found:") + " " +
                      std::to_string(state.FoundCount);
  } else {
    outcome.Outcome = FindOutcome::Result::NothingFound;
    outcome.Message = language.Text("Restore", "Message2", "Deleted files not found!");
    host.ClearLog();
    host.Log(outcome.Message);
  }
  return outcome;
}

} // namespace orvanta
