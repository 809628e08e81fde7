#pragma once

#include <string_view>

#include "volume/volume.h"

namespace orvanta {

// Outcome of the checks that every command runs before it touches a volume.
enum class VolumeCheck {
  Ok,
  DriveNotFound,    // no drive, or its root cannot be reached
  AccessDenied,     // the drive is there, but the user may not open it
  NotFat,           // neither FAT16 nor FAT32 (FAT12 included)
  BootSectorDenied, // boot sector or FAT unreadable
  Exfat,            // an exFAT volume: the exFAT reader opens it
};

// Selects `drive`, confirms it is present, detects a FAT volume, decides
// FAT16 or FAT32 from its boot sector (FAT12 is refused), reads the
// geometry and, when asked, loads the first FAT: the calling order shared by
// the drive summary, Find and Wipe. An exFAT volume is only detected here.
VolumeCheck OpenVolume(Volume &volume, std::string_view drive, bool loadFat);

} // namespace orvanta
