#pragma once

#include <filesystem>
#include <optional>

#include "platform/device.h"
#include "platform/posix/mapped_window.h"
#include "platform/posix/volume_location.h"
#include "platform/device_opener.h"
#include "platform/posix/unique_fd.h"

namespace orvanta {

// A block device or a disk image file, read and written with positioned
// transfers. Outside a session every transfer opens the file and closes it
// again; a session holds one descriptor, measured once, until it ends or a
// transfer fails. The logical sector size is the kernel's for block
// devices; for images it is the one given, else the boot sector's
// bytes-per-sector field when that is 512, 1024, 2048 or 4096, else 512.
// Every open goes through the opener (by default open(2) with O_CLOEXEC).
// Sessions on an image file lock it (flock): a session that writes holds it
// alone, sessions that read share it, and one that cannot have its lock at
// once opens nothing. A block device is written only through O_EXCL.
class PosixDevice final : public Device {
public:
  explicit PosixDevice(std::filesystem::path path,
                       std::optional<std::uint32_t> imageSectorSize = std::nullopt,
                       DeviceOpener opener = {});

  void BeginSession(DeviceAccess access) override;
  bool EndSession() override;

  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;
  // Image files only: a block device stays read, so that a card pulled out
  // is a failed read rather than a signal.
  std::span<const std::uint8_t> Look(std::uint64_t offset, std::size_t length) override;
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  std::optional<std::uint64_t> SizeBytes() override;
  std::string FileSystemName() override;
  std::optional<std::filesystem::path> MountPoint() override;
  bool RootReachable() override;
  bool WritableExclusively() override;
  bool HeldElsewhere() override { return heldElsewhere_; }
  bool AccessDenied() const override { return accessDenied_; }

  const std::filesystem::path &Path() const { return path_; }

private:
  UniqueFd OpenPath(int flags);
  // The session's descriptor, opened when there is none.
  bool SessionOpen();
  // Closes the session's descriptor, first flushing what was written
  // through it; a flush that fails is remembered for EndSession.
  void CloseSessionFd();
  // Takes the session's lock on an image file, once per session: exclusive
  // when the session writes, shared when it only reads.
  bool LockImage(int fd, bool writing);

  std::filesystem::path path_;
  std::optional<std::uint32_t> imageSectorSize_;
  DeviceOpener opener_;
  std::optional<DeviceAccess> session_;
  UniqueFd sessionFd_;
  bool sessionWritable_ = false;
  bool sessionWrote_ = false;   // written through since the last flush
  bool flushFailed_ = false;    // a flush of this session failed
  bool accessDenied_ = false;   // the last open was refused for lack of rights
  std::uint64_t sessionSize_ = 0;
  std::uint32_t sessionSectorSize_ = 0;
  bool sessionImage_ = false; // the session's device is a regular file
  MappedWindow window_;       // the session's looks at an image
  bool windowStale_ = false;  // mapped through a descriptor since closed
  // An image's lock is held through a duplicate of the session's first
  // descriptor for the whole session, so that reopening after a failed
  // transfer does not let it go.
  UniqueFd lockFd_;
  bool heldElsewhere_ = false;
};

// The system's name for the file system that libblkid finds in `size`
// bytes from `offset` of an open device (size 0: up to its end): "FAT" for
// FAT12 and FAT16, "FAT32", "NTFS", another name, or empty.
std::string FileSystemNameAt(int fd, std::uint64_t offset, std::uint64_t size);

// The sector size that a FAT boot sector at `offset` of an open image
// states (bytes per sector, at byte 11), when it is one a FAT volume can
// have; else 512. An image has no sector size of its own.
std::uint32_t StatedSectorSize(int fd, std::uint64_t offset);

// A mount point of a block device (or of its partitions) or of an image
// mounted through a loop device or FUSE, from the kernel's tables (see
// LocateVolume).
std::optional<std::filesystem::path>
FindMountPoint(const std::filesystem::path &device,
               const KernelTables &tables = KernelTables::OfThisProcess());

} // namespace orvanta
