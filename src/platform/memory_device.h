#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/device.h"

namespace orvanta {

// A device held in memory, with optional faults: transfers that touch chosen
// sector ranges fail, or the device disappears after a number of transfers.
// It counts the opens a real device would see: one per transfer or query
// outside a session; in a session one at its first use and one more after
// every transfer that failed. Used by the tests and the fuzz targets.
class MemoryDevice final : public Device {
public:
  explicit MemoryDevice(std::vector<std::uint8_t> image, std::uint32_t sectorSize = 512);

  void BeginSession(DeviceAccess access) override;
  bool EndSession() override;
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  std::optional<std::uint64_t> SizeBytes() override;
  std::string FileSystemName() override { return fileSystemName_; }
  std::optional<std::filesystem::path> MountPoint() override { return mountPoint_; }
  bool RootReachable() override { return Opened(); }
  bool WritableExclusively() override { return writable_ && !mountPoint_ && Opened(); }
  bool AccessDenied() const override { return denied_; }

  // Sector ranges [first, last] whose reads (or writes) fail.
  void FailReads(std::uint64_t firstSector, std::uint64_t lastSector);
  void FailWrites(std::uint64_t firstSector, std::uint64_t lastSector);
  // Every transfer after the first `transfers` fails, and the device is gone.
  void VanishAfter(std::uint64_t transfers) { vanishAfter_ = transfers; }
  // Every transfer after the `writes`-th write that reached the medium
  // fails: a process killed or a card pulled right after that write.
  void VanishAfterWrites(std::uint64_t writes) { vanishAfterWrites_ = writes; }
  void SetFileSystemName(std::string name) { fileSystemName_ = std::move(name); }
  void SetMountPoint(std::optional<std::filesystem::path> p) { mountPoint_ = std::move(p); }
  void SetWritable(bool writable) { writable_ = writable; }
  // Every open is refused as one the user has no rights for.
  void DenyAccess() { denied_ = true; }
  // The end of a session that wrote something reports a failed flush.
  void FailFlushes() { failFlushes_ = true; }

  const std::vector<std::uint8_t> &Bytes() const { return image_; }
  std::vector<std::uint8_t> &Bytes() { return image_; }
  std::uint32_t SectorSize() const { return sectorSize_; }
  std::uint64_t Reads() const { return reads_; }
  std::uint64_t Writes() const { return writes_; }
  std::uint64_t WritesDone() const { return written_; } // those that reached the medium
  std::uint64_t Opens() const { return opens_; }
  bool InSession() const { return session_.has_value(); }

private:
  struct Range {
    std::uint64_t first, last;
  };
  bool Vanished() const {
    return (vanishAfter_ && reads_ + writes_ >= *vanishAfter_) ||
           (vanishAfterWrites_ && written_ >= *vanishAfterWrites_);
  }
  // Whether the device is (or could be made) open for the next use.
  bool Opened();
  bool Aligned(std::uint64_t offset, std::uint64_t length) const;
  bool Transferable(std::uint64_t offset, std::uint64_t length,
                    const std::vector<Range> &faults);

  std::vector<std::uint8_t> image_;
  std::uint32_t sectorSize_;
  std::vector<Range> readFaults_, writeFaults_;
  bool failFlushes_ = false;
  bool sessionWrote_ = false;
  std::optional<std::uint64_t> vanishAfter_;
  std::optional<std::uint64_t> vanishAfterWrites_;
  std::string fileSystemName_;
  std::optional<std::filesystem::path> mountPoint_;
  bool writable_ = true;
  bool denied_ = false;
  std::uint64_t reads_ = 0, writes_ = 0, written_ = 0, opens_ = 0;
  std::optional<DeviceAccess> session_;
  bool open_ = false;
};

} // namespace orvanta
