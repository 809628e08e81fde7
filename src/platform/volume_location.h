#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

// Where the system keeps a volume, to tell whether a folder lies on it. Each
// system answers behind these declarations (posix/ on Linux, windows/ on
// Windows).

namespace orvanta {

// Where the system keeps a volume: the identities of the file systems its
// files are on when it is mounted (as FileSystemDeviceOf gives them) and
// every folder it is mounted on.
struct VolumeLocation {
  std::vector<std::uint64_t> Devices;
  std::vector<std::filesystem::path> MountPoints;
};

// The location of the volume on `device`, a device or an image file, as the
// system has it now. An image that is not mounted has none.
VolumeLocation LocateVolume(const std::filesystem::path &device);

// The identity of the file system that holds `path` (the same for every
// file of one mounted volume), or, when `path` does not exist yet, holds its
// nearest existing parent.
std::optional<std::uint64_t> FileSystemDeviceOf(const std::filesystem::path &path);

} // namespace orvanta
