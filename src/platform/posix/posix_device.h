#pragma once

#include <filesystem>
#include <optional>

#include "platform/device.h"

namespace orvanta {

// A block device or a disk image file. Every transfer opens the file, does
// one positioned read or write and closes it again, so a card pulled between
// transfers only makes the next transfer fail. The logical sector size is
// the kernel's for block devices; for images it is the one given, else the
// boot sector's bytes-per-sector field when that is 512, 1024, 2048 or 4096,
// else 512.
class PosixDevice final : public Device {
public:
  explicit PosixDevice(std::filesystem::path path,
                       std::optional<std::uint32_t> imageSectorSize = std::nullopt);

  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override;
  bool Write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
  std::optional<std::uint64_t> SizeBytes() override;
  std::string FileSystemName() override;
  std::optional<std::filesystem::path> MountPoint() override;
  bool RootReachable() override;
  bool WritableExclusively() override;

  const std::filesystem::path &Path() const { return path_; }

private:
  std::filesystem::path path_;
  std::optional<std::uint32_t> imageSectorSize_;
};

// Mount point of a block device or of an image mounted through a loop
// device, from the kernel's mount table; `mountInfo` lets tests supply one.
std::optional<std::filesystem::path>
FindMountPoint(const std::filesystem::path &device,
               const std::filesystem::path &mountInfo = "/proc/self/mountinfo");

} // namespace orvanta
