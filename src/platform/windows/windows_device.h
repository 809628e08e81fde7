#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/device.h"
#include "platform/windows/unique_handle.h"

namespace orvanta {

// A raw volume ("\\.\E:") or a disk image file, read and written with
// positioned transfers. Outside a session every transfer opens the device
// and closes it again; a session holds one handle, measured once, until it
// ends or a transfer fails.
//
// A volume's sector size and length come from the disk's own answers, else
// from the size of the file behind the handle and the volume's boot sector;
// an image's sector size is the one given, else the one its boot sector
// states, else 512. Transfers to a volume go through memory aligned to its
// sector size, copied through a buffer of the device's when the caller's is
// not aligned.
//
// A volume is written only while this program holds it locked: the lock is
// refused while any file of it is open, and once it is held the file
// system lets go of the volume (dismount), so nothing it caches is written
// over what the program wrote. A session that writes takes the lock when it
// first opens the volume and holds it to its end; one that cannot have it
// only reads. An image is shared by sessions that read and held alone by one
// that writes; a session that cannot have it at once opens nothing.
class WindowsDevice final : public Device {
public:
  explicit WindowsDevice(std::filesystem::path path,
                         std::optional<std::uint32_t> imageSectorSize = std::nullopt);

  void BeginSession(DeviceAccess access) override;
  bool EndSession() override;

  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  std::optional<std::uint64_t> SizeBytes() override;
  std::string FileSystemName() override;
  std::optional<std::filesystem::path> MountPoint() override;
  bool RootReachable() override;
  bool WritableExclusively() override;
  bool HeldElsewhere() override { return heldElsewhere_; }
  bool AccessDenied() const override { return accessDenied_; }

  const std::filesystem::path &Path() const { return path_; }
  // Whether the path names a raw volume of the system rather than a file.
  bool IsVolume() const { return volume_; }

  struct Extent {
    std::uint64_t Size = 0;
    std::uint32_t SectorSize = 512;
  };

private:
  struct Opened {
    UniqueHandle Handle;
    Extent Measured;
    bool Writable = false;
  };
  // Opens the device; for writing, a volume is locked and let go by its
  // file system, and an image is taken alone.
  std::optional<Opened> Open(bool writing);
  UniqueHandle OpenHandle(bool writing);
  bool SessionOpen();
  void CloseSession();
  // The drive's root folder ("E:\") of a volume path.
  std::wstring RootFolder() const;

  std::filesystem::path path_;
  std::optional<std::uint32_t> imageSectorSize_;
  bool volume_ = false;
  std::optional<DeviceAccess> session_;
  std::optional<Opened> open_;
  bool sessionWrote_ = false;
  bool flushFailed_ = false;
  bool accessDenied_ = false;   // the last open was refused for lack of rights
  bool sharingRefused_ = false; // the last open was refused: another holds it
  bool heldElsewhere_ = false;
};

// Whether `path` names a raw volume or device ("\\.\E:", "\\?\Volume{...}")
// rather than a file.
bool IsRawDevicePath(const std::filesystem::path &path);

// The raw volume of a drive text ("E:" → "\\.\E:").
std::filesystem::path RawVolumePath(char letter);

} // namespace orvanta
