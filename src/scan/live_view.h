#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "volume/volume.h"

namespace orvanta {

// One existing entry of a folder on the live volume.
struct LiveEntry {
  std::string Name;
  bool IsDirectory = false;
  std::uint64_t Identity = 0; // the same for every path that leads to the same directory
};

// The volume as the file system shows it now: its existing files and
// folders, named as Windows names them and compared without regard to case.
// Paths are volume paths: the drive text and backslash-separated names
// ("E:\DCIM\100MEDIA\", the trailing backslash optional).
class LiveView {
public:
  virtual ~LiveView() = default;
  virtual bool FolderExists(std::string_view folderPath) = 0;
  virtual bool FileExists(std::string_view filePath) = 0;
  // The entries of a folder, or nothing when it does not exist.
  virtual std::optional<std::vector<LiveEntry>> List(std::string_view folderPath) = 0;
};

// The names of a volume path below its drive: "E:\a\b\" gives a, b.
std::vector<std::string> PathComponents(std::string_view volumePath);

// The view through the kernel's mount of the volume.
class MountedView final : public LiveView {
public:
  explicit MountedView(std::filesystem::path mountPoint) : mount_(std::move(mountPoint)) {}
  bool FolderExists(std::string_view folderPath) override;
  bool FileExists(std::string_view filePath) override;
  std::optional<std::vector<LiveEntry>> List(std::string_view folderPath) override;

private:
  std::optional<std::filesystem::path> HostPath(std::string_view volumePath) const;
  std::filesystem::path mount_;
};

// The view built from the volume itself when nothing has it mounted: the
// existing (not deleted) entries of its directories, read along their whole
// cluster chains in the loaded FAT. Listings are kept for the life of the view.
class BuiltInView final : public LiveView {
public:
  explicit BuiltInView(Volume &volume) : volume_(volume) {}
  bool FolderExists(std::string_view folderPath) override;
  bool FileExists(std::string_view filePath) override;
  std::optional<std::vector<LiveEntry>> List(std::string_view folderPath) override;

private:
  struct Listing {
    std::vector<LiveEntry> Entries;
    // Folded names of folders and of files: the first entry of each name.
    std::unordered_map<std::string, std::size_t> Folders, Files;
  };
  // The listing of a directory by its identity: 0 is the root.
  const Listing &ListingOf(std::uint64_t identity);
  std::optional<std::uint64_t> Resolve(const std::vector<std::string> &names);

  Volume &volume_;
  std::unordered_map<std::uint64_t, Listing> listings_;
};

// The view for the selected drive: its mount point when the kernel has it
// mounted, else the built-in view.
std::unique_ptr<LiveView> MakeLiveView(Volume &volume);

} // namespace orvanta
