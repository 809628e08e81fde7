#pragma once

#include <string>
#include <vector>

#include "volume/volume_checks.h"

namespace orvanta {

class LanguageFile;

// The message a command shows for a failed check (empty for Ok).
std::string VolumeCheckMessage(VolumeCheck check, const LanguageFile &language);

// The six lines of the drive summary: "FAT32, 63 Mb", "Bytes per sector - 512" ...
std::vector<std::string> DriveSummaryLines(const TVolumeGeometry &geometry);

// The line that says the boot sector was read from its copy in `sector`;
// empty when it was read from sector 0.
std::string BootSectorCopyLine(const TVolumeGeometry &geometry, const LanguageFile &language);

} // namespace orvanta
