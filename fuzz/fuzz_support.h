#pragma once

// What every fuzz target shares: an input is a small header and the leading
// bytes of a volume image. The image is the start of a device whose
// remaining bytes read as zeros, so that the leading part of a real card
// (boot sector, FATs, the first directories) is enough.
//
//   byte 0     bit 0: the system names the file system "FAT32" (else "FAT")
//              bit 1: the system does not name it (the boot-sector probe decides)
//              bit 2: the device has 4096-byte sectors (else 512)
//              bit 3: the target's other mode (deep scan, free-space wipe)
//   bytes 1-2  press Stop after this many pumps (little-endian; 0: never)
//   byte 3     size of the device in MiB, up to 15 (at least the image)
//   bytes 4-   the image

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "jobs/engine_state.h"
#include "engine/operation_host.h"
#include "platform/device.h"
#include "platform/drive_provider.h"
#include "jobs/find_job.h"

namespace orvanta::fuzz {

inline constexpr std::size_t kHeader = 4;

class PaddedDevice final : public Device {
public:
  PaddedDevice(const std::uint8_t *data, std::size_t size, std::uint32_t sectorSize,
               std::string systemName, std::uint64_t deviceSize)
      : image_(data, data + size), sectorSize_(sectorSize), name_(std::move(systemName)) {
    size_ = std::max<std::uint64_t>(deviceSize, (size + sectorSize - 1) / sectorSize * sectorSize);
  }
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
    if (!Fits(offset, out.size()))
      return false;
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    if (offset < image_.size() && !out.empty())
      std::memcpy(out.data(), image_.data() + offset,
                  std::min<std::uint64_t>(out.size(), image_.size() - offset));
    return true;
  }
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override {
    if (!Fits(offset, data.size()))
      return false;
    if (offset < image_.size() && !data.empty())
      std::memcpy(image_.data() + offset, data.data(),
                  std::min<std::uint64_t>(data.size(), image_.size() - offset));
    return true;
  }
  std::optional<std::uint64_t> SizeBytes() override { return size_; }
  std::string FileSystemName() override { return name_; }
  std::optional<std::filesystem::path> MountPoint() override { return std::nullopt; }
  bool RootReachable() override { return true; }
  bool WritableExclusively() override { return true; }

  const std::vector<std::uint8_t> &Image() const { return image_; }

private:
  bool Fits(std::uint64_t offset, std::uint64_t length) const {
    return offset % sectorSize_ == 0 && length % sectorSize_ == 0 && offset <= size_ &&
           length <= size_ - offset;
  }
  std::vector<std::uint8_t> image_;
  std::uint64_t size_;
  std::uint32_t sectorSize_;
  std::string name_;
};

// A host that presses Stop after a given number of pumps, if told.
class FuzzHost final : public OperationHost {
public:
  explicit FuzzHost(std::uint32_t stopAfter) : stopAfter_(stopAfter) {}
  void Pump() override {
    if (stopAfter_ && ++pumps_ >= stopAfter_)
      SetRunning(false);
  }

private:
  std::uint32_t stopAfter_;
  std::uint64_t pumps_ = 0;
};

// One drive E: over the input's image, and the engine around it.
struct FuzzEngine {
  static std::unique_ptr<FuzzEngine> From(const std::uint8_t *data, std::size_t size) {
    if (size < kHeader)
      return nullptr;
    return std::unique_ptr<FuzzEngine>(new FuzzEngine(data, size));
  }

  bool OtherMode() const { return otherMode_; }

  // A Find over the whole drive, every date a FAT entry can hold accepted.
  FindOutcome Find(bool deep) {
    FindOptions options;
    options.Deep = deep;
    options.MaxYearOffset = 127;
    return RunFind(State, Host, options);
  }

  std::shared_ptr<PaddedDevice> Drive;
  FixedDrives Drives;
  EngineState State;
  FuzzHost Host;

private:
  FuzzEngine(const std::uint8_t *data, std::size_t size)
      : Drive(std::make_shared<PaddedDevice>(
            data + kHeader, size - kHeader, (data[0] & 4) ? 4096 : 512,
            (data[0] & 2) ? "" : ((data[0] & 1) ? "FAT32" : "FAT"), std::uint64_t(data[3] & 15) << 20)),
        State(Drives, {}, LanguageFile{}), Host(std::uint32_t(data[1] | data[2] << 8)) {
    Drives.Add("E:", Drive);
    otherMode_ = (data[0] & 8) != 0;
  }
  bool otherMode_ = false;
};

} // namespace orvanta::fuzz
