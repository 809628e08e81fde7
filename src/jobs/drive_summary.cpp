#include "jobs/drive_summary.h"

#include "jobs/volume_opener.h"
#include "jobs/volume_texts.h"

namespace orvanta {

DriveSummary ReadDriveSummary(EngineState &state, std::string_view drive) {
  DriveSummary summary;
  const OperationGuard guard(state.Operation);
  if (!guard)
    return summary;
  const VolumeCheck check = OpenAnyVolume(state.Vol, drive, /*loadFat=*/false);
  if (check != VolumeCheck::Ok) {
    summary.Outcome = DriveSummary::Result::Refused;
    summary.Message = VolumeCheckMessage(check, state.Language);
    return summary;
  }
  summary.Outcome = DriveSummary::Result::Ready;
  summary.Lines = DriveSummaryLines(state.Vol.Geometry());
  return summary;
}

} // namespace orvanta
