#include "platform/windows/windows_device.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <windows.h>
#include <winioctl.h>

#include "platform/boot_sector_probe.h"
#include "platform/windows/wide_text.h"

namespace orvanta {
namespace {

// The largest boot sector there is; a multiple of every sector size.
constexpr std::size_t kBootBytes = 4096;
// The piece of a transfer that goes through the device's own buffer when
// the caller's memory is not aligned, and the largest single request.
constexpr std::size_t kBounceBytes = 1 << 20;
constexpr std::size_t kMaxRequest = 1 << 26;
// A volume's lock is refused while a file of it is open; the shell and
// virus checkers hold files for a moment, so the lock is asked for again.
constexpr int kLockAttempts = 3;
constexpr DWORD kLockRetryMs = 200;

// Memory that starts on a boundary of 4096 bytes, which suits every sector
// size.
class AlignedBytes {
public:
  explicit AlignedBytes(std::size_t size)
      : bytes_(static_cast<std::uint8_t *>(::operator new(size, std::align_val_t{kBootBytes}))),
        size_(size) {
    std::memset(bytes_.get(), 0, size);
  }
  std::uint8_t *data() { return bytes_.get(); }
  std::span<std::uint8_t> Span() { return {bytes_.get(), size_}; }

private:
  struct Free {
    void operator()(std::uint8_t *p) const { ::operator delete(p, std::align_val_t{kBootBytes}); }
  };
  std::unique_ptr<std::uint8_t, Free> bytes_;
  std::size_t size_;
};

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

// One positioned request; a request that moves fewer bytes than asked
// fails.
bool ReadAt(HANDLE handle, std::uint64_t offset, std::uint8_t *out, std::size_t length) {
  OVERLAPPED position = At(offset);
  DWORD done = 0;
  return ::ReadFile(handle, out, static_cast<DWORD>(length), &done, &position) && done == length;
}

bool WriteAt(HANDLE handle, std::uint64_t offset, const std::uint8_t *data, std::size_t length) {
  OVERLAPPED position = At(offset);
  DWORD done = 0;
  return ::WriteFile(handle, data, static_cast<DWORD>(length), &done, &position) &&
         done == length;
}

// A whole transfer, in requests the system takes; memory that is not
// aligned to the sector size goes through an aligned buffer when the
// device needs it.
bool ReadAll(HANDLE handle, std::uint64_t offset, std::span<std::uint8_t> out, bool bounce) {
  if (!bounce) {
    for (std::size_t done = 0; done < out.size();) {
      const std::size_t n = std::min(out.size() - done, kMaxRequest);
      if (!ReadAt(handle, offset + done, out.data() + done, n))
        return false;
      done += n;
    }
    return true;
  }
  AlignedBytes buffer(std::min(out.size(), kBounceBytes));
  for (std::size_t done = 0; done < out.size();) {
    const std::size_t n = std::min(out.size() - done, kBounceBytes);
    if (!ReadAt(handle, offset + done, buffer.data(), n))
      return false;
    std::memcpy(out.data() + done, buffer.data(), n);
    done += n;
  }
  return true;
}

bool WriteAll(HANDLE handle, std::uint64_t offset, std::span<const std::uint8_t> data,
              bool bounce) {
  if (!bounce) {
    for (std::size_t done = 0; done < data.size();) {
      const std::size_t n = std::min(data.size() - done, kMaxRequest);
      if (!WriteAt(handle, offset + done, data.data() + done, n))
        return false;
      done += n;
    }
    return true;
  }
  AlignedBytes buffer(std::min(data.size(), kBounceBytes));
  for (std::size_t done = 0; done < data.size();) {
    const std::size_t n = std::min(data.size() - done, kBounceBytes);
    std::memcpy(buffer.data(), data.data() + done, n);
    if (!WriteAt(handle, offset + done, buffer.data(), n))
      return false;
    done += n;
  }
  return true;
}

bool Control(HANDLE handle, DWORD code, void *out = nullptr, DWORD outSize = 0) {
  DWORD returned = 0;
  return ::DeviceIoControl(handle, code, nullptr, 0, out, outSize, &returned, nullptr) != FALSE;
}

// The first bytes of the device, up to a boot sector's largest size; fewer
// when the device is smaller.
std::vector<std::uint8_t> BootBytes(HANDLE handle) {
  AlignedBytes buffer(kBootBytes);
  OVERLAPPED position = At(0);
  DWORD done = 0;
  if (!::ReadFile(handle, buffer.data(), kBootBytes, &done, &position))
    done = 0;
  return {buffer.data(), buffer.data() + done};
}

std::optional<std::uint64_t> FileSize(HANDLE handle) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle, &size) || size.QuadPart <= 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

// A volume's sector size and length, as the disk reports them; the file
// behind the handle (a volume that is a file to the system, as under Wine)
// and the boot sector stand in for what it does not report.
std::optional<WindowsDevice::Extent> MeasureVolume(HANDLE handle) {
  WindowsDevice::Extent e;
  std::optional<std::uint32_t> sectorSize;
  DISK_GEOMETRY_EX geometry{};
  if (Control(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, &geometry, sizeof geometry) &&
      geometry.Geometry.BytesPerSector != 0)
    sectorSize = geometry.Geometry.BytesPerSector;
  std::optional<std::uint64_t> size;
  GET_LENGTH_INFORMATION length{};
  if (Control(handle, IOCTL_DISK_GET_LENGTH_INFO, &length, sizeof length) &&
      length.Length.QuadPart > 0)
    size = static_cast<std::uint64_t>(length.Length.QuadPart);
  if (!size)
    size = FileSize(handle);
  if (!sectorSize || !size) {
    const auto boot = BootBytes(handle);
    if (!sectorSize)
      sectorSize = StatedSectorSize(boot);
    if (!size)
      size = StatedVolumeBytes(boot);
  }
  if (!size)
    return std::nullopt;
  e.Size = *size;
  e.SectorSize = *sectorSize;
  return e;
}

std::optional<WindowsDevice::Extent> MeasureImage(HANDLE handle,
                                                  std::optional<std::uint32_t> sectorSize) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle, &size) || size.QuadPart < 0)
    return std::nullopt;
  WindowsDevice::Extent e;
  e.Size = static_cast<std::uint64_t>(size.QuadPart);
  e.SectorSize = sectorSize ? *sectorSize : StatedSectorSize(BootBytes(handle));
  return e;
}

bool WholeSectorsInside(const WindowsDevice::Extent &e, std::uint64_t offset,
                        std::uint64_t length) {
  return e.SectorSize != 0 && offset % e.SectorSize == 0 && length % e.SectorSize == 0 &&
         offset <= e.Size && length <= e.Size - offset;
}

bool Unaligned(const void *memory, std::uint32_t sectorSize) {
  return reinterpret_cast<std::uintptr_t>(memory) % sectorSize != 0;
}

// Takes the volume for this program alone: locked, so that nobody else
// opens a file of it, and let go by its file system, so that nothing the
// system cached is written back over it. A dismount the device does not
// know (no file system driver stands behind it) leaves the lock enough.
bool LockVolume(HANDLE handle) {
  bool locked = false;
  for (int attempt = 0; attempt < kLockAttempts && !locked; ++attempt) {
    if (attempt > 0)
      ::Sleep(kLockRetryMs);
    locked = Control(handle, FSCTL_LOCK_VOLUME);
  }
  if (!locked)
    return false;
  if (!Control(handle, FSCTL_DISMOUNT_VOLUME)) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_INVALID_FUNCTION &&
        error != ERROR_NOT_SUPPORTED) {
      Control(handle, FSCTL_UNLOCK_VOLUME);
      return false;
    }
  }
  // A write-protected card is opened for writing all the same; the disk
  // says so when asked.
  if (!Control(handle, IOCTL_DISK_IS_WRITABLE) && ::GetLastError() == ERROR_WRITE_PROTECT) {
    Control(handle, FSCTL_UNLOCK_VOLUME);
    return false;
  }
  return true;
}

std::wstring FileSystemNameOfRoot(const std::filesystem::path &root) {
  wchar_t name[MAX_PATH + 1] = {};
  if (root.empty() || !::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr,
                                               nullptr, name, MAX_PATH + 1))
    return {};
  return name;
}

} // namespace

bool IsRawDevicePath(const std::filesystem::path &path) {
  const std::wstring text = path.wstring();
  return text.size() > 4 && (text.starts_with(L"\\\\.\\") || text.starts_with(L"\\\\?\\")) &&
         (text.size() == 6 ? text[5] == L':' : text.substr(4).starts_with(L"Volume{")) &&
         text.back() != L'\\';
}

std::filesystem::path RawVolumePath(char letter) {
  return std::wstring{L'\\', L'\\', L'.', L'\\', static_cast<wchar_t>(letter), L':'};
}

WindowsDevice::WindowsDevice(std::filesystem::path path,
                             std::optional<std::uint32_t> imageSectorSize)
    : path_(std::move(path)), imageSectorSize_(imageSectorSize), volume_(IsRawDevicePath(path_)) {}

std::wstring WindowsDevice::RootFolder() const {
  if (!volume_)
    return {};
  const std::wstring text = path_.wstring();
  if (text.size() == 6) // \\.\E:
    return text.substr(4) + L"\\";
  return text + L"\\";
}

UniqueHandle WindowsDevice::OpenHandle(bool writing) {
  const DWORD access = GENERIC_READ | (writing ? GENERIC_WRITE : 0);
  // The system and its file system hold a volume open all along; an image
  // is shared only between readers.
  const DWORD share =
      volume_ ? FILE_SHARE_READ | FILE_SHARE_WRITE : (writing ? 0 : FILE_SHARE_READ);
  UniqueHandle handle(::CreateFileW(path_.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = handle ? ERROR_SUCCESS : ::GetLastError();
  accessDenied_ = error == ERROR_ACCESS_DENIED;
  sharingRefused_ = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
  if (session_ && sharingRefused_)
    heldElsewhere_ = true;
  return handle;
}

std::optional<WindowsDevice::Opened> WindowsDevice::Open(bool writing) {
  Opened opened;
  if (writing) {
    opened.Handle = OpenHandle(true);
    // A device or file the user may only read is still read.
    if (!opened.Handle && !sharingRefused_)
      opened.Handle = OpenHandle(false);
    else
      opened.Writable = static_cast<bool>(opened.Handle);
  } else {
    opened.Handle = OpenHandle(false);
  }
  if (!opened.Handle)
    return std::nullopt;
  // The whole volume is read and written, also sectors that its file system
  // does not count as its own (where it ends before the partition does).
  if (volume_)
    Control(opened.Handle.get(), FSCTL_ALLOW_EXTENDED_DASD_IO);
  if (opened.Writable && volume_)
    opened.Writable = LockVolume(opened.Handle.get());
  const auto extent = volume_ ? MeasureVolume(opened.Handle.get())
                              : MeasureImage(opened.Handle.get(), imageSectorSize_);
  if (!extent)
    return std::nullopt;
  opened.Measured = *extent;
  return opened;
}

void WindowsDevice::BeginSession(DeviceAccess access) {
  EndSession();
  session_ = access;
  heldElsewhere_ = false;
}

bool WindowsDevice::EndSession() {
  CloseSession();
  session_.reset();
  const bool flushed = !flushFailed_;
  flushFailed_ = false;
  return flushed;
}

void WindowsDevice::CloseSession() {
  if (open_) {
    if (sessionWrote_ && !::FlushFileBuffers(open_->Handle.get()))
      flushFailed_ = true;
    if (open_->Writable && volume_)
      Control(open_->Handle.get(), FSCTL_UNLOCK_VOLUME);
    if (!open_->Handle.Close() && sessionWrote_)
      flushFailed_ = true;
  }
  sessionWrote_ = false;
  open_.reset();
}

bool WindowsDevice::SessionOpen() {
  if (open_)
    return true;
  open_ = Open(*session_ == DeviceAccess::ReadWrite);
  return open_.has_value();
}

bool WindowsDevice::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
  auto read = [&](Opened &o) {
    return ReadAll(o.Handle.get(), offset, out,
                   volume_ && Unaligned(out.data(), o.Measured.SectorSize));
  };
  if (session_) {
    if (!SessionOpen() || !WholeSectorsInside(open_->Measured, offset, out.size()))
      return false;
    if (read(*open_))
      return true;
    CloseSession(); // the next transfer opens the device again
    return false;
  }
  auto opened = Open(false);
  return opened && WholeSectorsInside(opened->Measured, offset, out.size()) && read(*opened);
}

bool WindowsDevice::Write(std::uint64_t offset, std::span<const std::uint8_t> data) {
  auto write = [&](Opened &o) {
    return WriteAll(o.Handle.get(), offset, data,
                    volume_ && Unaligned(data.data(), o.Measured.SectorSize));
  };
  if (session_) {
    if (!SessionOpen() || !open_->Writable ||
        !WholeSectorsInside(open_->Measured, offset, data.size()))
      return false;
    if (write(*open_)) {
      sessionWrote_ = true;
      return true;
    }
    CloseSession();
    return false;
  }
  auto opened = Open(true);
  if (!opened || !opened->Writable || !WholeSectorsInside(opened->Measured, offset, data.size()) ||
      !write(*opened))
    return false;
  const bool flushed = ::FlushFileBuffers(opened->Handle.get()) != FALSE;
  if (volume_)
    Control(opened->Handle.get(), FSCTL_UNLOCK_VOLUME);
  return opened->Handle.Close() && flushed;
}

std::optional<std::uint64_t> WindowsDevice::SizeBytes() {
  if (session_)
    return SessionOpen() ? std::optional(open_->Measured.Size) : std::nullopt;
  const auto opened = Open(false);
  return opened ? std::optional(opened->Measured.Size) : std::nullopt;
}

std::string WindowsDevice::FileSystemName() {
  // A volume this program holds locked has no file system mounted; like an
  // image, it is named by its boot sector.
  // The system names only a file system it has mounted at the drive's
  // root; where that root is no folder, it may still answer (Wine says
  // "NTFS" for any such drive), and the boot sector is asked instead.
  const bool held = open_ && open_->Writable;
  std::error_code ec;
  if (volume_ && !held && std::filesystem::is_directory(RootFolder(), ec)) {
    std::wstring name = FileSystemNameOfRoot(RootFolder());
    return name == L"exFAT" ? "exfat" : Narrow(name);
  }
  if (session_) {
    if (!SessionOpen())
      return {};
    return FileSystemNameOf(BootBytes(open_->Handle.get()));
  }
  const auto opened = Open(false);
  return opened ? FileSystemNameOf(BootBytes(opened->Handle.get())) : std::string{};
}

std::optional<std::filesystem::path> WindowsDevice::MountPoint() {
  // The system mounts a volume whose file system it knows at the drive's
  // root; while this program holds it locked, nothing is mounted.
  if (!volume_ || (open_ && open_->Writable))
    return std::nullopt;
  const std::filesystem::path root = RootFolder();
  std::error_code ec;
  if (FileSystemNameOfRoot(root).empty() || !std::filesystem::is_directory(root, ec))
    return std::nullopt;
  return root;
}

bool WindowsDevice::RootReachable() {
  // A drive whose file system is mounted is there; one whose file system
  // the system does not know (or that this program holds) is there when its
  // volume opens.
  if (MountPoint())
    return true;
  if (session_)
    return SessionOpen();
  return Open(false).has_value();
}

bool WindowsDevice::WritableExclusively() {
  if (session_ == DeviceAccess::ReadWrite)
    return SessionOpen() && open_->Writable;
  auto opened = Open(true);
  if (!opened || !opened->Writable)
    return false;
  if (volume_)
    Control(opened->Handle.get(), FSCTL_UNLOCK_VOLUME);
  return true;
}

} // namespace orvanta
