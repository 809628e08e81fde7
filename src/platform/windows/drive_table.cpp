#include "platform/windows/drive_table.h"

#include <algorithm>
#include <cctype>

#include <windows.h>
#include <winioctl.h>

#include "platform/windows/unique_handle.h"
#include "platform/windows/windows_device.h"

namespace orvanta {
namespace {

// The bus of the disk behind a volume; asking needs no rights on the disk.
std::optional<unsigned> BusTypeOf(char letter) {
  UniqueHandle volume(::CreateFileW(RawVolumePath(letter).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
  if (!volume)
    return std::nullopt;
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  STORAGE_DEVICE_DESCRIPTOR descriptor{};
  DWORD returned = 0;
  if (!::DeviceIoControl(volume.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                         &descriptor, sizeof descriptor, &returned, nullptr) ||
      returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof descriptor.BusType)
    return std::nullopt;
  return static_cast<unsigned>(descriptor.BusType);
}

char SystemDriveLetter() {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH + 1);
  return length >= 2 && windows[1] == L':'
             ? static_cast<char>(std::toupper(static_cast<unsigned char>(windows[0])))
             : 0;
}

} // namespace

bool ListedDrive(const DriveFacts &facts) {
  if (facts.DriveType == DRIVE_REMOVABLE)
    return true;
  if (facts.DriveType != DRIVE_FIXED || facts.HoldsSystem || !facts.BusType)
    return false;
  return *facts.BusType == BusTypeUsb || *facts.BusType == BusTypeSd ||
         *facts.BusType == BusTypeMmc;
}

WindowsDriveTable::WindowsDriveTable(std::vector<DriveEntry> drives)
    : fixed_(true), drives_(std::move(drives)) {
  std::sort(drives_.begin(), drives_.end(),
            [](const DriveEntry &a, const DriveEntry &b) { return a.Letter < b.Letter; });
}

void WindowsDriveTable::Refresh() {
  if (fixed_)
    return;
  drives_.clear();
  const DWORD present = ::GetLogicalDrives();
  const char system = SystemDriveLetter();
  // Bit 0 is A:, which is never listed.
  for (int bit = 1; bit < 26; ++bit) {
    if ((present & (1u << bit)) == 0)
      continue;
    const char letter = static_cast<char>('A' + bit);
    const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', L'\0'};
    DriveFacts facts;
    facts.DriveType = ::GetDriveTypeW(root);
    facts.HoldsSystem = letter == system;
    // Only a fixed drive needs its bus asked for.
    if (facts.DriveType == DRIVE_FIXED && !facts.HoldsSystem)
      facts.BusType = BusTypeOf(letter);
    if (ListedDrive(facts))
      drives_.push_back({letter, RawVolumePath(letter), std::nullopt, std::nullopt});
  }
}

std::vector<std::string> WindowsDriveTable::RemovableDrives() {
  Refresh();
  std::vector<std::string> out;
  for (const auto &d : drives_)
    out.push_back(std::string{d.Letter, ':'});
  return out;
}

std::shared_ptr<Device> WindowsDriveTable::DeviceFor(std::string_view drivePath) {
  if (drivePath.size() != 2 || drivePath[1] != ':')
    return nullptr;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drivePath[0])));
  for (const auto &d : drives_)
    if (d.Letter == letter)
      return std::make_shared<WindowsDevice>(d.Path, d.SectorSize);
  return nullptr;
}

} // namespace orvanta
