#include "volume/volume.h"

#include <algorithm>
#include <limits>

#include "volume/boot_sector.h"
#include "volume/byte_reader.h"
#include "volume/fat_entries.h"
#include "volume/write_fence.h"

namespace orvanta {

std::shared_ptr<Device> Volume::DeviceOf(std::string_view drive) {
  if (!cachedDevice_ || !SameDriveText(cachedDrive_, drive)) {
    cachedDevice_ = drives_.DeviceFor(drive);
    cachedDrive_ = std::string(drive);
  }
  FollowSession();
  return cachedDevice_;
}

void Volume::FollowSession() {
  if (!session_ || sessionDevice_ == cachedDevice_)
    return;
  if (sessionDevice_)
    sessionDevice_->EndSession();
  sessionDevice_ = cachedDevice_;
  if (sessionDevice_)
    sessionDevice_->BeginSession(*session_);
}

Device *Volume::CurrentDevice() { return DeviceOf(geometry_.DrivePath).get(); }

void Volume::ForgetDevice() {
  if (session_)
    return;
  cachedDevice_.reset();
  cachedDrive_.clear();
}

namespace {

// The byte offset of a sector; nothing when it lies beyond what a 64-bit
// offset can name (a sector computed from a damaged geometry).
std::optional<std::uint64_t> SectorOffset(std::uint64_t sector, std::int32_t bytesPerSector) {
  const auto size = static_cast<std::uint64_t>(bytesPerSector);
  if (size == 0 || sector > std::numeric_limits<std::int64_t>::max() / size)
    return std::nullopt;
  return sector * size;
}

} // namespace

bool Volume::ReadSectors(std::uint64_t sector, std::span<std::uint8_t> buffer) {
  // A device either fills the whole buffer or fails; a failed read leaves zeros.
  Device *device = CurrentDevice();
  const auto offset = SectorOffset(sector, geometry_.BytesPerSector);
  if (device && offset && device->Read(*offset, buffer))
    return true;
  std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
  return false;
}

std::span<const std::uint8_t> Volume::LookAtSectors(std::uint64_t sector, std::size_t length) {
  Device *device = CurrentDevice();
  const auto offset = SectorOffset(sector, geometry_.BytesPerSector);
  if (!device || !offset)
    return {};
  return device->Look(*offset, length);
}

bool Volume::WriteSectors(std::uint64_t sector, std::span<const std::uint8_t> buffer) {
  Device *device = CurrentDevice();
  const auto offset = SectorOffset(sector, geometry_.BytesPerSector);
  if (!device || !offset || !InsideWriteFence(geometry_, sector, buffer.size()))
    return false;
  return device->Write(*offset, buffer);
}

namespace {

// A boot sector that states no sector size a FAT volume can have, and is no
// exFAT boot sector (which keeps zeros there): wiped or overwritten.
bool DamagedBootSector(std::span<const std::uint8_t> bytes) {
  constexpr std::string_view kExfatName = "EXFAT   ";
  const bool exfat =
      bytes.size() >= boot_sector::kOemName + kExfatName.size() &&
      std::equal(kExfatName.begin(), kExfatName.end(), bytes.begin() + boot_sector::kOemName);
  return !exfat && !IsFatSectorSize(ParseBootSector(bytes).BytesPerSector);
}

// Whether a sector read as the copy of a FAT32 boot sector is one, for a
// device of `sectorSize`-byte sectors: the signature, the same sector size,
// a FAT32 layout, and the copy inside the reserved sectors it states.
bool FatBootSectorCopy(std::span<const std::uint8_t> bytes, std::uint32_t sectorSize,
                       std::uint64_t at) {
  if (bytes.size() < 512 || bytes[510] != 0x55 || bytes[511] != 0xAA)
    return false;
  const BootSectorFields f = ParseBootSector(bytes);
  const bool powerOfTwo = f.SectorsPerCluster != 0 &&
                          (f.SectorsPerCluster & (f.SectorsPerCluster - 1)) == 0;
  return f.BytesPerSector == sectorSize && powerOfTwo && f.FatCount >= 1 &&
         f.SectorsPerFat16 == 0 && f.SectorsPerFat32 > 0 && f.ReservedSectors > at &&
         StatedTotalSectors(f) > f.ReservedSectors;
}

} // namespace

bool Volume::ProbeSectorSize() {
  geometry_.BootSectorCopy = 0;
  for (std::int32_t n = 1; n <= 8; ++n) {
    geometry_.BytesPerSector = 512 * n;
    probe_.resize(static_cast<std::size_t>(512 * n));
    if (ReadSectors(0, probe_)) {
      if (DamagedBootSector(probe_))
        TakeBootSectorCopy();
      return true;
    }
  }
  return false;
}

void Volume::TakeBootSectorCopy() {
  // FAT32 keeps a copy of its boot sector where the field at 50 says, by
  // custom in sector 6; the field may have survived where the rest did not.
  std::vector<std::uint64_t> places;
  if (const std::uint16_t stated = ByteReader(probe_).Le16(boot_sector::kBackupBootSector);
      stated != 0 && stated != 0xFFFF)
    places.push_back(stated);
  if (places.empty() || places.front() != kUsualBootSectorCopy)
    places.push_back(kUsualBootSectorCopy);
  std::vector<std::uint8_t> copy(probe_.size());
  for (const std::uint64_t at : places)
    if (ReadSectors(at, copy) &&
        FatBootSectorCopy(copy, static_cast<std::uint32_t>(geometry_.BytesPerSector), at)) {
      probe_ = std::move(copy);
      geometry_.BootSectorCopy = at;
      return;
    }
}

int Volume::DetectFileSystem(std::string_view drive) {
  if (drive.empty())
    return kUnknownFileSystem;
  if (const auto device = DeviceOf(drive)) {
    const std::string name = device->FileSystemName();
    if (name == "FAT")
      return kFat16;
    if (name == "FAT32")
      return kFat32;
    if (name == "NTFS")
      return kNtfs;
  }

  // The system did not name it: look at the boot sector's OEM name and the
  // file-system type texts of the FAT16 and FAT32 layouts.
  geometry_.DrivePath = std::string(drive);
  if (!ProbeSectorSize())
    return kUnknownFileSystem;
  std::string text;
  for (const std::size_t field : {boot_sector::kOemName, boot_sector::kFat16TypeText,
                                  boot_sector::kFat32TypeText})
    for (std::size_t i = field; i < field + 8 && i < probe_.size(); ++i)
      if (probe_[i] > 30)
        text += static_cast<char>(probe_[i]);
  int code = kUnknownFileSystem;
  if (text.find("FAT") != std::string::npos)
    code = kFat16;
  if (text.find("FAT32") != std::string::npos)
    code = kFat32;
  if (text.find("EXFAT") != std::string::npos)
    code = kExfat; // "EXFAT   " is exFAT's OEM name, not a FAT
  if (text.find("NTFS") != std::string::npos)
    code = kNtfs;
  return code;
}

int Volume::FatTypeFromBootSector() {
  if (!ProbeSectorSize())
    return kUnknownFileSystem;
  return FatTypeOf(ParseBootSector(probe_));
}

bool Volume::ReadGeometry() {
  auto &g = geometry_;
  g.BytesPerCluster = g.SectorsPerCluster = 0;
  g.TotalSectors = 0;
  if (!ProbeSectorSize())
    return false;
  // A volume whose own sector size differs from the device's would be read
  // with every offset wrong.
  const BootSectorFields fields = ParseBootSector(probe_);
  if (fields.BytesPerSector != static_cast<std::uint32_t>(g.BytesPerSector))
    return false;
  // Values from the volume may be anything; in 64 bits no product or sum
  // of them wraps.
  g.SectorsPerCluster = fields.SectorsPerCluster;
  g.ReservedSectors = fields.ReservedSectors;
  g.FatCount = fields.FatCount;
  if (g.SectorsPerCluster == 0)
    g.SectorsPerCluster = static_cast<std::int32_t>(g.FatType == kFat16 ? g.ReservedSectors * 2
                                                                        : g.ReservedSectors);
  if (g.SectorsPerCluster == 0)
    return false; // nothing to divide the volume into clusters by
  g.SectorsPerFat = g.FatType == kFat16 ? std::int64_t{fields.SectorsPerFat16}
                                        : std::int64_t{fields.SectorsPerFat32};
  g.TotalSectors = StatedTotalSectors(fields);
  g.RootStartSector = g.SectorsPerFat * g.FatCount + g.ReservedSectors;
  if (g.TotalSectors == 0)
    g.TotalSectors = g.SectorsPerFat * g.BytesPerSector * (g.FatType == kFat16 ? 4 : 8) -
                     g.RootStartSector;
  g.RootSectors = std::int64_t{fields.RootEntryCount} * 32 / g.BytesPerSector;
  if (g.RootSectors == 0)
    g.RootSectors = g.SectorsPerCluster;
  g.BytesPerCluster = g.SectorsPerCluster * g.BytesPerSector; // at most 65535 * 2 * 4096
  g.ClusterCount = g.TotalSectors / g.SectorsPerCluster;
  g.FatBytes = g.SectorsPerFat * g.BytesPerSector;
  const auto deviceBytes = DeviceSizeBytes();
  g.DeviceSectors = deviceBytes ? static_cast<std::int64_t>(*deviceBytes / std::uint64_t(g.BytesPerSector)) : 0;
  g.HeapClusters = 0;
  g.ShieldedSectors.clear();
  // The FAT32 root may begin at any cluster. A field below 2 names none;
  // reading then looks where formatters put the root.
  g.RootCluster = 0;
  if (g.FatType == kFat32)
    g.RootCluster = fields.RootCluster >= 2 && fields.RootCluster <= kFat32EntryMask
                        ? fields.RootCluster
                        : 2;
  return true;
}

bool Volume::RootReachable(std::string_view drive) {
  const auto device = DeviceOf(drive);
  return device && device->RootReachable();
}

std::optional<std::uint64_t> Volume::DeviceSizeBytes() {
  Device *device = CurrentDevice();
  if (!device)
    return std::nullopt;
  return device->SizeBytes();
}

} // namespace orvanta
