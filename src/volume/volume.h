#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_provider.h"
#include "volume/volume_geometry.h"

namespace orvanta {

class OperationHost;

// The first FAT of the volume, exactly as stored.
using TFatImage = std::vector<std::uint8_t>;

// Raw access to the selected drive and what is known of its FAT volume: the
// geometry, the in-memory first FAT and the clusters of the last chain walk.
// The drive is the one named by Geometry().DrivePath. While a DeviceSession
// is held, the drive's device stays open between transfers; otherwise every
// transfer opens and closes it anew.
class Volume {
public:
  explicit Volume(DriveProvider &drives) : drives_(drives) {}

  TVolumeGeometry &Geometry() { return geometry_; }
  const TVolumeGeometry &Geometry() const { return geometry_; }
  const TFatImage &FatImage() const { return fatImage_; }
  TFatImage &FatImage() { return fatImage_; }
  const std::vector<std::uint32_t> &ChainList() const { return chainList_; }
  void ClearChainList() { chainList_.clear(); }

  // Reads buffer.size() bytes from the first byte of `sector`. The buffer is
  // zero-filled first; a failed read leaves zeros.
  bool ReadSectors(std::uint64_t sector, std::span<std::uint8_t> buffer);
  // `length` bytes from the first byte of `sector` looked at in place
  // (see Device::Look): valid until the next look; empty when the device
  // offers no look, and the caller reads them instead.
  std::span<const std::uint8_t> LookAtSectors(std::uint64_t sector, std::size_t length);
  // Writes only inside the write fence (see InsideWriteFence); anything
  // else fails without touching the device.
  bool WriteSectors(std::uint64_t sector, std::span<const std::uint8_t> buffer);

  // 16, 32, 64, kExfat or 0 for the drive text ("E:").
  int DetectFileSystem(std::string_view drive);
  // 12, 16 or 32 as the boot sector's structure of DrivePath decides it
  // (the file-system name only tells whether the volume is FAT); 0 when
  // sector 0 cannot be read or gives no way to tell.
  int FatTypeFromBootSector();
  // Fills the geometry from sector 0 of DrivePath; FatType must be set.
  // Fails when the boot sector's sector size is not the device's.
  bool ReadGeometry();
  // Reads the whole first FAT in one transfer.
  bool LoadFatImage();

  // First sector of a cluster, below 0 for a cluster before the data area
  // of a damaged geometry.
  std::int64_t ClusterToSector(std::int64_t cluster) const;
  // The same as a sector to transfer at: a sector below 0 becomes one that
  // no device has, so that the transfer fails.
  std::uint64_t ClusterSector(std::int64_t cluster) const {
    const std::int64_t sector = ClusterToSector(cluster);
    return sector < 0 ? ~std::uint64_t{0} : static_cast<std::uint64_t>(sector);
  }

  // Fill ChainList with the chain that starts at `first`. The walks stop at a
  // free or end-of-chain entry, at a cluster already listed, at an entry
  // outside the image, and after ClusterCount clusters.
  void WalkFat16Chain(std::int32_t first, OperationHost *host = nullptr);
  void WalkFat32Chain(std::int32_t first, OperationHost *host = nullptr);
  // The walk that matches FatType.
  void WalkChain(std::int32_t first, OperationHost *host = nullptr);

  // FAT entry n of the image, or nothing when it lies outside the image.
  std::optional<std::uint32_t> FatEntry(std::uint64_t n) const;
  // Number of whole entries the image holds.
  std::uint64_t FatEntryCount() const;

  // The directory test of the drive root (the drive is present and usable).
  bool RootReachable(std::string_view drive);
  // Size in bytes of the selected drive's device, when it can be opened.
  std::optional<std::uint64_t> DeviceSizeBytes();
  // The selected drive's device, or null.
  Device *CurrentDevice();
  // Whether the current session could not open the drive because another
  // session holds it.
  bool DriveHeldElsewhere() {
    Device *device = CurrentDevice();
    return device && device->HeldElsewhere();
  }
  // The next use asks the drive provider for the device again: the drives
  // were listed anew, and a drive text may name another device now. Does
  // nothing while a session holds the device.
  void ForgetDevice();

  // Finds the device's sector size by reads of 512 to 4096 bytes at sector
  // 0 (BytesPerSector); false when none succeeds. A boot sector that is
  // wiped or overwritten is replaced by its FAT32 copy when that is intact
  // (BootSectorCopy says where it was read).
  bool ProbeSectorSize();
  // The last sector-size probe's buffer: the start of the boot sector.
  const std::vector<std::uint8_t> &BootSectorBytes() const { return probe_; }

private:
  friend class DeviceSession;
  // Keeps the session on whichever device the drive text selects.
  void FollowSession();

  std::shared_ptr<Device> DeviceOf(std::string_view drive);
  void TakeBootSectorCopy();
  std::optional<std::uint32_t> EntryOfWidth(unsigned width, std::uint64_t n) const;
  bool Listed(std::uint32_t cluster) const;
  void ListCluster(std::uint32_t cluster);
  void WalkEntries(unsigned width, std::int32_t first, OperationHost *host);

  DriveProvider &drives_;
  std::string cachedDrive_;
  std::shared_ptr<Device> cachedDevice_;
  TVolumeGeometry geometry_;
  TFatImage fatImage_;
  std::vector<std::uint32_t> chainList_;
  std::vector<std::uint64_t> listed_; // bitmap of clusters in chainList_, by FAT entry
  std::vector<std::uint8_t> probe_;
  std::optional<DeviceAccess> session_;
  std::shared_ptr<Device> sessionDevice_;
};

} // namespace orvanta
