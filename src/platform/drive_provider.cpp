#include "platform/drive_provider.h"

#include <algorithm>
#include <cctype>

namespace orvanta {

bool SameDriveText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) ==
                  std::toupper(static_cast<unsigned char>(y));
         });
}

void FixedDrives::Add(std::string drivePath, std::shared_ptr<Device> device) {
  drives_.emplace_back(std::move(drivePath), std::move(device));
  std::stable_sort(drives_.begin(), drives_.end(),
                   [](const auto &x, const auto &y) { return x.first < y.first; });
}

std::vector<std::string> FixedDrives::RemovableDrives() {
  std::vector<std::string> out;
  for (const auto &[path, device] : drives_)
    if (!SameDriveText(path, "A:"))
      out.push_back(path);
  return out;
}

std::shared_ptr<Device> FixedDrives::DeviceFor(std::string_view drivePath) {
  for (const auto &[path, device] : drives_)
    if (SameDriveText(path, drivePath))
      return device;
  return nullptr;
}

} // namespace orvanta
