#include "jobs/volume_texts.h"

#include "engine/rounding.h"
#include "settings/language_file.h"

namespace orvanta {

std::string VolumeCheckMessage(VolumeCheck check, const LanguageFile &language) {
  switch (check) {
  case VolumeCheck::Ok:
    return {};
  case VolumeCheck::DriveNotFound:
    return language.Text("Errors", "Message1", "Drive not found!");
  case VolumeCheck::AccessDenied:
    return language.Text("Errors", "Message8", "Access to the drive was not granted.");
  case VolumeCheck::NotFat:
  case VolumeCheck::Exfat: // only when no exFAT reader opened it
    return language.Text("Errors", "Message2", "The software supports only FAT file system!");
  case VolumeCheck::BootSectorDenied:
    return language.Text("Errors", "Message3", "Access to boot sector denied!");
  case VolumeCheck::InUse:
    return language.Text("Errors", "Message9",
                         "The drive is in use by another find, restore or wipe. Try again when it has finished.");
  }
  return {};
}

std::vector<std::string> DriveSummaryLines(const TVolumeGeometry &g) {
  const double megabytes =
      static_cast<double>(std::int64_t{g.BytesPerCluster} * g.ClusterCount) / 1048576.0;
  return {
      std::string(g.FatType == kExfat   ? "exFAT, "
                  : g.FatType == kFat16 ? "FAT16, "
                                        : "FAT32, ") +
          std::to_string(RoundHalfEven(megabytes)) + " Mb",
      "Bytes per sector - " + std::to_string(g.BytesPerSector),
      "Bytes per cluster - " + std::to_string(g.BytesPerCluster),
      "Sectors per cluster - " + std::to_string(g.SectorsPerCluster),
      "Sectors - " + std::to_string(g.TotalSectors),
      "Clusters - " + std::to_string(g.ClusterCount),
  };
}

std::string BootSectorCopyLine(const TVolumeGeometry &g, const LanguageFile &language) {
  if (g.BootSectorCopy == 0)
    return {};
  return language.Text("Drive", "BootSectorCopy",
                       "The boot sector is damaged: the volume is read through its copy in sector") +
         " " + std::to_string(g.BootSectorCopy) + ".";
}

} // namespace orvanta
