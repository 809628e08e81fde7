#include "platform/volume_location.h"

#include <string>
#include <vector>

#include <windows.h>

#include "platform/windows/windows_device.h"

// On Windows a volume is known by its GUID name ("\\?\Volume{...}\"), which
// every folder mounted from it shares, whatever drive letter or folder it is
// reached through.
namespace orvanta {
namespace {

namespace fs = std::filesystem;

// The identity of a volume: its GUID, folded into 64 bits.
std::optional<std::uint64_t> IdentityOf(const std::wstring &volumeName) {
  const auto open = volumeName.find(L'{');
  const auto close = volumeName.find(L'}', open == std::wstring::npos ? 0 : open);
  if (open == std::wstring::npos || close == std::wstring::npos)
    return std::nullopt;
  std::uint64_t halves[2] = {0, 0};
  int digits = 0;
  for (std::size_t i = open + 1; i < close; ++i) {
    const wchar_t c = volumeName[i];
    int value;
    if (c >= L'0' && c <= L'9')
      value = c - L'0';
    else if (c >= L'a' && c <= L'f')
      value = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
      value = c - L'A' + 10;
    else
      continue;
    if (digits >= 32)
      return std::nullopt;
    std::uint64_t &half = halves[digits / 16];
    half = half << 4 | static_cast<std::uint64_t>(value);
    ++digits;
  }
  if (digits != 32)
    return std::nullopt;
  return halves[0] ^ halves[1];
}

// The GUID name of the volume mounted at a root folder ("E:\", or a folder
// a volume is mounted on).
std::wstring VolumeNameOfRoot(const std::wstring &root) {
  wchar_t name[MAX_PATH + 1] = {};
  if (!::GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH + 1))
    return {};
  return name;
}

// Every folder the volume is mounted on.
std::vector<fs::path> MountPointsOf(const std::wstring &volumeName) {
  std::vector<wchar_t> names(MAX_PATH + 1);
  DWORD length = 0;
  if (!::GetVolumePathNamesForVolumeNameW(volumeName.c_str(), names.data(),
                                          static_cast<DWORD>(names.size()), &length)) {
    if (::GetLastError() != ERROR_MORE_DATA || length == 0)
      return {};
    names.resize(length);
    if (!::GetVolumePathNamesForVolumeNameW(volumeName.c_str(), names.data(),
                                            static_cast<DWORD>(names.size()), &length))
      return {};
  }
  std::vector<fs::path> out;
  for (const wchar_t *p = names.data(); *p != L'\0'; p += std::wcslen(p) + 1)
    out.emplace_back(p);
  return out;
}

} // namespace

VolumeLocation LocateVolume(const fs::path &device) {
  VolumeLocation location;
  if (!IsRawDevicePath(device))
    return location; // an image file is mounted nowhere
  std::wstring text = device.wstring();
  // "\\.\E:" is mounted at "E:\"; a GUID name is its own root.
  const std::wstring root = text.size() == 6 ? text.substr(4) + L"\\" : text + L"\\";
  const std::wstring volumeName = VolumeNameOfRoot(root);
  if (volumeName.empty()) {
    // A drive letter the volume manager does not know (as under Wine) is
    // still reached through its root.
    if (text.size() == 6)
      location.MountPoints.emplace_back(root);
    return location;
  }
  if (const auto identity = IdentityOf(volumeName))
    location.Devices.push_back(*identity);
  location.MountPoints = MountPointsOf(volumeName);
  return location;
}

std::optional<std::uint64_t> FileSystemDeviceOf(const fs::path &path) {
  std::error_code ec;
  fs::path at = fs::absolute(path, ec);
  if (ec)
    return std::nullopt;
  // The nearest existing folder: the volume path of a name that is not
  // there yet would be that of the folder above it anyway, except across a
  // mount point inside the missing part, which cannot exist.
  while (!fs::exists(at, ec) && at.has_relative_path())
    at = at.parent_path();
  wchar_t mount[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(at.c_str(), mount, MAX_PATH + 1))
    return std::nullopt;
  const std::wstring volumeName = VolumeNameOfRoot(mount);
  if (volumeName.empty())
    return std::nullopt;
  return IdentityOf(volumeName);
}

} // namespace orvanta
