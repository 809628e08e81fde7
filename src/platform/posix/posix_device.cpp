#include "platform/posix/posix_device.h"

#include "platform/posix/system_files.h"
#include "platform/posix/unique_fd.h"
#include "platform/sector_size.h"

#include <blkid/blkid.h>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <string_view>
#include <type_traits>
#include <linux/fs.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace orvanta {
namespace {

int OpenWithCloexec(const std::filesystem::path &path, int flags) {
  return ::open(path.c_str(), flags | O_CLOEXEC);
}

bool IsBlockDevice(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISBLK(st.st_mode);
}

struct Extent {
  std::uint64_t size = 0;
  std::uint32_t sectorSize = 512;
  bool image = false; // a regular file
};

std::optional<Extent> Measure(int fd, std::optional<std::uint32_t> imageSectorSize) {
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return std::nullopt;
  Extent e;
  if (S_ISBLK(st.st_mode)) {
    int logical = 0;
    std::uint64_t bytes = 0;
    if (::ioctl(fd, BLKSSZGET, &logical) != 0 || logical <= 0 ||
        ::ioctl(fd, BLKGETSIZE64, &bytes) != 0)
      return std::nullopt;
    e.sectorSize = static_cast<std::uint32_t>(logical);
    e.size = bytes;
  } else if (S_ISREG(st.st_mode)) {
    e.sectorSize = imageSectorSize ? *imageSectorSize : StatedSectorSize(fd, 0);
    e.size = static_cast<std::uint64_t>(st.st_size);
    e.image = true;
  } else {
    return std::nullopt;
  }
  return e;
}

// Repeats a positioned transfer until `length` bytes are done; a
// transfer that fails or moves nothing fails the whole.
template <class Step> bool TransferAll(std::size_t length, Step step) {
  std::size_t done = 0;
  while (done < length) {
    const ssize_t n = step(done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WholeSectorsInside(const Extent &e, std::uint64_t offset, std::uint64_t length) {
  return e.sectorSize != 0 && offset % e.sectorSize == 0 && length % e.sectorSize == 0 &&
         offset <= e.size && length <= e.size - offset;
}

} // namespace

PosixDevice::PosixDevice(std::filesystem::path path,
                         std::optional<std::uint32_t> imageSectorSize, DeviceOpener opener)
    : path_(std::move(path)), imageSectorSize_(imageSectorSize),
      opener_(opener ? std::move(opener) : DeviceOpener(OpenWithCloexec)) {}

UniqueFd PosixDevice::OpenPath(int flags) {
  int fd;
  do {
    fd = opener_(path_, flags);
  } while (fd < 0 && errno == EINTR);
  accessDenied_ = fd < 0 && (errno == EACCES || errno == EPERM);
  return UniqueFd(fd);
}

void PosixDevice::BeginSession(DeviceAccess access) {
  EndSession();
  session_ = access;
  heldElsewhere_ = false;
}

bool PosixDevice::EndSession() {
  CloseSessionFd();
  window_.Reset();
  lockFd_.Close();
  session_.reset();
  const bool flushed = !flushFailed_;
  flushFailed_ = false;
  return flushed;
}

void PosixDevice::CloseSessionFd() {
  // Writes to a block device wait in the page cache; their write-back
  // errors are seen only here, not by the writes that were accepted.
  if (sessionFd_ && sessionWrote_ && ::fsync(sessionFd_.get()) != 0)
    flushFailed_ = true;
  sessionWrote_ = false;
  // A look taken before stays valid until the next look, which maps the
  // device anew.
  windowStale_ = static_cast<bool>(sessionFd_);
  sessionFd_.Close();
}

bool PosixDevice::SessionOpen() {
  if (sessionFd_)
    return true;
  sessionWritable_ = false;
  if (*session_ == DeviceAccess::ReadWrite) {
    // O_EXCL on a block device fails while the kernel has it mounted. The
    // node is looked at without opening it, so that a session costs one open.
    std::error_code ec;
    const bool block = std::filesystem::is_block_file(path_, ec);
    sessionFd_ = OpenPath(O_RDWR | (block ? O_EXCL : 0));
    sessionWritable_ = static_cast<bool>(sessionFd_);
  }
  if (!sessionFd_)
    sessionFd_ = OpenPath(O_RDONLY);
  if (!sessionFd_)
    return false;
  if (!LockImage(sessionFd_.get(), sessionWritable_)) {
    sessionFd_.Close();
    return false;
  }
  const auto extent = Measure(sessionFd_.get(), imageSectorSize_);
  if (!extent) {
    sessionFd_.Close();
    return false;
  }
  sessionSize_ = extent->size;
  sessionSectorSize_ = extent->sectorSize;
  sessionImage_ = extent->image;
  return true;
}

bool PosixDevice::LockImage(int fd, bool writing) {
  if (lockFd_)
    return true;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    return true;
  // A duplicate shares the descriptor's lock and keeps it while the
  // session's descriptor is closed and opened again.
  UniqueFd lock(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!lock)
    return false;
  int result;
  do {
    result = ::flock(lock.get(), (writing ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    heldElsewhere_ = errno == EWOULDBLOCK;
    return false;
  }
  lockFd_ = std::move(lock);
  return true;
}

bool PosixDevice::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
  auto read = [&](int fd) {
    return TransferAll(out.size(), [&](std::size_t done) {
      return ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
    });
  };
  if (session_) {
    if (!SessionOpen() ||
        !WholeSectorsInside({sessionSize_, sessionSectorSize_}, offset, out.size()))
      return false;
    if (read(sessionFd_.get()))
      return true;
    CloseSessionFd(); // the next transfer opens the device again
    return false;
  }
  UniqueFd fd = OpenPath(O_RDONLY);
  if (!fd)
    return false;
  const auto extent = Measure(fd.get(), imageSectorSize_);
  if (!extent || !WholeSectorsInside(*extent, offset, out.size()))
    return false;
  return read(fd.get());
}

std::span<const std::uint8_t> PosixDevice::Look(std::uint64_t offset, std::size_t length) {
  if (!session_ || !SessionOpen() || !sessionImage_ ||
      !WholeSectorsInside({sessionSize_, sessionSectorSize_}, offset, length))
    return {};
  if (windowStale_) {
    window_.Release();
    windowStale_ = false;
  }
  return window_.Look(sessionFd_.get(), sessionSize_, offset, length);
}

bool PosixDevice::Write(std::uint64_t offset, std::span<const std::uint8_t> data) {
  auto write = [&](int fd) {
    return TransferAll(data.size(), [&](std::size_t done) {
      return ::pwrite(fd, data.data() + done, data.size() - done,
                      static_cast<off_t>(offset + done));
    });
  };
  if (session_) {
    if (!SessionOpen() || !sessionWritable_ ||
        !WholeSectorsInside({sessionSize_, sessionSectorSize_}, offset, data.size()))
      return false;
    if (write(sessionFd_.get())) {
      sessionWrote_ = true;
      return true;
    }
    CloseSessionFd();
    return false;
  }
  // O_EXCL on a block device fails while the kernel has it mounted: writing
  // under a mounted file system would corrupt it. An image is opened for
  // reading too: its sector size is read from its boot sector.
  UniqueFd probe = OpenPath(O_RDONLY);
  if (!probe)
    return false;
  const bool block = IsBlockDevice(probe.get());
  probe.Close();
  UniqueFd fd = OpenPath(block ? O_WRONLY | O_EXCL : O_RDWR);
  if (!fd)
    return false;
  const auto extent = Measure(fd.get(), imageSectorSize_);
  if (!extent || !WholeSectorsInside(*extent, offset, data.size()))
    return false;
  if (!write(fd.get()))
    return false;
  return fd.Close();
}

std::optional<std::uint64_t> PosixDevice::SizeBytes() {
  if (session_)
    return SessionOpen() ? std::optional(sessionSize_) : std::nullopt;
  UniqueFd fd = OpenPath(O_RDONLY);
  if (!fd)
    return std::nullopt;
  const auto extent = Measure(fd.get(), imageSectorSize_);
  if (!extent)
    return std::nullopt;
  return extent->size;
}

std::string PosixDevice::FileSystemName() {
  // The probe reads through a descriptor of ours, so that it goes through
  // the opener, and in a session through the session's descriptor.
  UniqueFd own;
  int fd = -1;
  if (session_) {
    if (!SessionOpen())
      return {};
    fd = sessionFd_.get();
  } else {
    own = OpenPath(O_RDONLY);
    fd = own.get();
  }
  if (fd < 0)
    return {};
  return FileSystemNameAt(fd, 0, 0);
}

std::string FileSystemNameAt(int fd, std::uint64_t offset, std::uint64_t size) {
  struct ProbeDeleter {
    void operator()(blkid_probe pr) const { blkid_free_probe(pr); }
  };
  const std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter> pr(blkid_new_probe());
  if (!pr || blkid_probe_set_device(pr.get(), fd, static_cast<blkid_loff_t>(offset),
                                    static_cast<blkid_loff_t>(size)) != 0)
    return {};
  blkid_probe_enable_superblocks(pr.get(), 1);
  blkid_probe_set_superblocks_flags(pr.get(), BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
  std::string type, version;
  if (blkid_do_safeprobe(pr.get()) == 0) {
    const char *value = nullptr;
    if (blkid_probe_lookup_value(pr.get(), "TYPE", &value, nullptr) == 0 && value)
      type = value;
    if (blkid_probe_lookup_value(pr.get(), "VERSION", &value, nullptr) == 0 && value)
      version = value;
  }
  if (type == "vfat")
    return version == "FAT32" ? "FAT32" : "FAT";
  if (type == "ntfs")
    return "NTFS";
  return type;
}

std::uint32_t StatedSectorSize(int fd, std::uint64_t offset) {
  std::uint8_t field[2] = {};
  if (::pread(fd, field, sizeof field, static_cast<off_t>(offset + 11)) !=
      static_cast<ssize_t>(sizeof field))
    return 512;
  std::uint32_t size = field[0] | std::uint32_t{field[1]} << 8;
  // exFAT keeps zeros there and states the size as a power of two at 108.
  char name[8] = {};
  std::uint8_t shift = 0;
  if (size == 0 && ::pread(fd, name, sizeof name, static_cast<off_t>(offset + 3)) == 8 &&
      std::string_view(name, 8) == "EXFAT   " &&
      ::pread(fd, &shift, 1, static_cast<off_t>(offset + 108)) == 1 && shift >= 9 && shift <= 12)
    size = 1u << shift;
  return IsFatSectorSize(size) ? size : 512;
}

std::optional<std::filesystem::path> PosixDevice::MountPoint() { return FindMountPoint(path_); }

bool PosixDevice::RootReachable() {
  if (const auto mount = MountPoint()) {
    std::error_code ec;
    return std::filesystem::is_directory(*mount, ec);
  }
  if (session_)
    return SessionOpen();
  return static_cast<bool>(OpenPath(O_RDONLY));
}

bool PosixDevice::WritableExclusively() {
  if (MountPoint())
    return false;
  if (session_ == DeviceAccess::ReadWrite)
    return SessionOpen() && sessionWritable_;
  UniqueFd probe = OpenPath(O_RDONLY);
  if (!probe)
    return false;
  const bool block = IsBlockDevice(probe.get());
  probe.Close();
  return static_cast<bool>(OpenPath(O_WRONLY | (block ? O_EXCL : 0)));
}

std::optional<std::filesystem::path> FindMountPoint(const std::filesystem::path &device,
                                                    const KernelTables &tables) {
  const VolumeLocation location = LocateVolume(device, tables);
  if (location.MountPoints.empty())
    return std::nullopt;
  return location.MountPoints.front();
}

} // namespace orvanta
