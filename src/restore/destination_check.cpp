#include "restore/destination_check.h"

#include <algorithm>

namespace orvanta {
namespace {

std::filesystem::path Resolved(const std::filesystem::path &path) {
  std::error_code ec;
  auto resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
  return ec ? path.lexically_normal() : resolved;
}

// Whether `path` is `folder` or lies below it, name by name.
bool AtOrBelow(const std::filesystem::path &path, const std::filesystem::path &folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) // the empty name after a trailing separator
      continue;
    if (p == path.end() || *p != *f)
      return false;
  }
  return true;
}

} // namespace

bool DestinationOnVolume(const std::filesystem::path &destination, const VolumeLocation &volume) {
  if (const auto dev = FileSystemDeviceOf(destination))
    if (std::ranges::find(volume.Devices, *dev) != volume.Devices.end())
      return true;
  const auto target = Resolved(destination);
  return std::ranges::any_of(volume.MountPoints, [&](const std::filesystem::path &mount) {
    return AtOrBelow(target, Resolved(mount));
  });
}

bool DestinationOnVolume(const std::filesystem::path &destination,
                         const std::filesystem::path &device) {
  return DestinationOnVolume(destination, LocateVolume(device));
}

std::string DestinationOnVolumeMessage(const LanguageFile &language) {
  return language.Text("Errors", "Message7",
                       "The destination is on the drive being recovered. Restoring there can "
                       "overwrite the files you want back: please choose a folder on another drive.");
}

} // namespace orvanta
