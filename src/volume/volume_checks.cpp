#include "volume/volume_checks.h"

#include "volume/device_session.h"

namespace orvanta {

VolumeCheck OpenVolume(Volume &volume, std::string_view drive, bool loadFat) {
  if (drive.size() < 2)
    return VolumeCheck::DriveNotFound;
  // On its own (the drive summary) this is an operation of its own; within
  // a Find or a Wipe it runs in theirs.
  const DeviceSession session(volume, DeviceAccess::Read);
  auto &g = volume.Geometry();
  g.DrivePath = std::string(drive.substr(0, 2));
  // A device the user may not open is no missing drive, nor one of another
  // file system (a mounted card's folder is there, its device closed to him).
  auto denied = [&volume] {
    const Device *device = volume.CurrentDevice();
    return device && device->AccessDenied();
  };
  if (!volume.RootReachable(g.DrivePath))
    return denied() ? VolumeCheck::AccessDenied : VolumeCheck::DriveNotFound;
  const int code = volume.DetectFileSystem(g.DrivePath);
  if (code == kExfat)
    return VolumeCheck::Exfat;
  if (code != kFat16 && code != kFat32)
    return denied() ? VolumeCheck::AccessDenied : VolumeCheck::NotFat;
  // The name only says the volume is FAT; its structure says which FAT.
  const int fatType = volume.FatTypeFromBootSector();
  if (fatType == kFat12)
    return VolumeCheck::NotFat;
  if (fatType != kFat16 && fatType != kFat32)
    return VolumeCheck::BootSectorDenied;
  g.FatType = static_cast<std::uint8_t>(fatType);
  if (!volume.ReadGeometry())
    return VolumeCheck::BootSectorDenied;
  if (loadFat && !volume.LoadFatImage())
    return VolumeCheck::BootSectorDenied;
  return VolumeCheck::Ok;
}

} // namespace orvanta
