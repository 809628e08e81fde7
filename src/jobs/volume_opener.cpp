#include "jobs/volume_opener.h"

#include "exfat/exfat_volume.h"
#include "volume/device_session.h"

namespace orvanta {

VolumeCheck OpenAnyVolume(Volume &volume, std::string_view drive, bool loadFat) {
  const DeviceSession session(volume, DeviceAccess::Read);
  const VolumeCheck check = OpenVolume(volume, drive, loadFat);
  if (check != VolumeCheck::Exfat)
    return check;
  return exfat::OpenExfatVolume(volume, loadFat);
}

} // namespace orvanta
