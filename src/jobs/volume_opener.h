#pragma once

#include <string_view>

#include "volume/volume_checks.h"

namespace orvanta {

// OpenVolume for every volume the commands work on: FAT16 and FAT32 as
// OpenVolume reads them, exFAT through the exFAT reader.
VolumeCheck OpenAnyVolume(Volume &volume, std::string_view drive, bool loadFat);

} // namespace orvanta
