#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace orvanta {

// What a session opens the device for.
enum class DeviceAccess { Read, ReadWrite };

// One drive as the operating system offers it: a raw device, plus what the
// system knows about the volume on it. Outside a session every transfer
// opens the device, does its work and closes it again. A transfer whose
// offset or length is not a whole number of logical sectors fails, as does
// one that does not lie wholly inside the device.
class Device {
public:
  virtual ~Device() = default;

  // A session keeps the device open from its first use until EndSession, so
  // that one operation opens it once rather than once per transfer. A
  // transfer that fails closes it and the next use opens it again, so that a
  // card pulled out is still noticed. ReadWrite opens it for writing as
  // well; where writing is refused the session still reads, and its writes
  // fail. A device without sessions ignores both calls. EndSession flushes
  // what the session wrote to the device and is false when that failed:
  // writes that were taken in but never reached the medium.
  virtual void BeginSession(DeviceAccess access) { (void)access; }
  virtual bool EndSession() { return true; }

  virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

  // The bytes of a transfer looked at in place, without copying them out,
  // where the system offers that cheaply (an image file, in a session):
  // valid until the next look or the session's end, whatever is read or
  // written meanwhile. Empty where it does not, or when the bytes cannot be
  // had; the caller reads them then.
  virtual std::span<const std::uint8_t> Look(std::uint64_t offset, std::size_t length) {
    (void)offset;
    (void)length;
    return {};
  }
  virtual bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;

  // Size of the device in bytes; empty when it cannot be opened.
  virtual std::optional<std::uint64_t> SizeBytes() = 0;

  // The system's name for the volume's file system: "FAT" (FAT12 and FAT16),
  // "FAT32", "NTFS", another name, or empty when the system cannot tell.
  virtual std::string FileSystemName() = 0;

  // Where the system has the volume mounted, if it has.
  virtual std::optional<std::filesystem::path> MountPoint() = 0;

  // The directory test of the drive's root: a mounted volume needs its mount
  // point, an unmounted one a device that can be opened.
  virtual bool RootReachable() = 0;

  // Whether the device can be opened for writing right now without sharing
  // it with a mounted file system.
  virtual bool WritableExclusively() = 0;

  // Whether the session could not open the device because another session
  // holds it: a wipe holds an image alone, finds and restores share it.
  virtual bool HeldElsewhere() { return false; }

  // Whether the last attempt to open the device was refused because the user
  // may not open it (no rights, and no authorisation given): the drive is
  // there, it is not for this user.
  virtual bool AccessDenied() const { return false; }
};

} // namespace orvanta
