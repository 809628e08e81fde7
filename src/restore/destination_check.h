#pragma once

#include <filesystem>
#include <string>

#include "platform/volume_location.h"
#include "settings/language_file.h"

namespace orvanta {

// Whether restored files written to `destination` would land on the volume
// being recovered: the folder (or, while it does not exist yet, its nearest
// existing parent) is on one of the volume's devices, or its path lies at
// or below one of the volume's mount points. Writing there could overwrite
// the very clusters the deleted files still occupy.
bool DestinationOnVolume(const std::filesystem::path &destination, const VolumeLocation &volume);

// The same question about the volume on `device` (a block device or an
// image file), as the system has it now.
bool DestinationOnVolume(const std::filesystem::path &destination,
                         const std::filesystem::path &device);

// Why such a destination is refused, from the language file.
std::string DestinationOnVolumeMessage(const LanguageFile &language);

} // namespace orvanta
