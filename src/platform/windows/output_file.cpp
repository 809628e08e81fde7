#include "platform/output_file.h"

#include <cerrno>
#include <io.h>
#include <fcntl.h>
#include <random>
#include <string>

#include <windows.h>
#include <sddl.h>

#include "platform/windows/system_error.h"
#include "platform/windows/wide_text.h"

// The output file keeps its handle as a C runtime descriptor (_open_osfhandle),
// so that the class is the same on every system; the writes, the times and the
// names go through the handle behind it.
namespace orvanta {
namespace {

// Seconds between 1601-01-01, where file times count from, and 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600;

std::wstring RandomPart() {
  static thread_local std::mt19937_64 random{std::random_device{}() ^
                                             (std::uint64_t(::GetCurrentProcessId()) << 32)};
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring part(12, L'0');
  for (wchar_t &c : part)
    c = kDigits[random() % 16];
  return part;
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// The handle's error as the class keeps it: an errno value, set as errno.
int Failed(DWORD error) {
  const int code = ErrnoOf(error);
  errno = code;
  return code;
}

} // namespace

void OutputFile::Discard() {
  if (fd_ >= 0) {
    ::_close(fd_);
    fd_ = -1;
  }
  if (!named_) {
    ::DeleteFileW(temporary_.c_str());
    named_ = true;
  }
}

bool OutputFile::WriteThrough(std::span<const std::uint8_t> bytes) {
  const HANDLE handle = HandleOf(fd_);
  std::size_t done = 0;
  while (error_ == 0 && done < bytes.size()) {
    const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data() + done, asked, &written, nullptr))
      error_ = ErrnoOf(::GetLastError());
    else if (written == 0)
      error_ = EIO;
    else
      done += written;
  }
  return error_ == 0;
}

bool OutputFile::Close() {
  if (fd_ < 0)
    return error_ == 0;
  Flush();
  if (error_ == 0 && modificationTime_) {
    // The other times are left as they are; a failure here loses only the date.
    const std::int64_t ticks = (std::int64_t{*modificationTime_} + kEpochDifference) * 10000000;
    if (ticks >= 0) {
      FILETIME when{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
      ::SetFileTime(HandleOf(fd_), nullptr, nullptr, &when);
    }
  }
  const int fd = fd_;
  fd_ = -1;
  if (::_close(fd) != 0 && error_ == 0)
    error_ = EIO;
  return error_ == 0;
}

OutputFile::Naming OutputFile::Name(const std::string &name) {
  if (named_ || fd_ >= 0 || error_ != 0) {
    if (error_ == 0)
      error_ = EINVAL;
    return Naming::Failed;
  }
  const std::filesystem::path target = folder_ / Widen(name);
  // Without MOVEFILE_REPLACE_EXISTING the move never replaces a file; the
  // folder's file system compares the names as it always does.
  if (!::MoveFileExW(temporary_.c_str(), target.c_str(), 0)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
      return Naming::Taken;
    error_ = Failed(error);
    return Naming::Failed;
  }
  named_ = true;
  temporary_.clear();
  // The file was hidden while it had no name; a failure here leaves it
  // whole, only hidden.
  ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
  return Naming::Named;
}

std::optional<OutputFile> CreateOutputFile(const std::filesystem::path &folder) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path temporary = folder / (L".orvanta-" + RandomPart() + L".part");
    // CREATE_NEW never opens or replaces a file that is there.
    const HANDLE handle = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        continue;
      Failed(error);
      return std::nullopt;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_WRONLY);
    if (fd < 0) {
      ::CloseHandle(handle);
      ::DeleteFileW(temporary.c_str());
      errno = EMFILE;
      return std::nullopt;
    }
    return OutputFile(fd, folder, std::move(temporary));
  }
  errno = EEXIST;
  return std::nullopt;
}

std::optional<std::filesystem::path> MakePrivateFolder(const std::filesystem::path &parent) {
  // Only its owner may enter it: a protected list of one entry, for the
  // owner, that the folder's files inherit.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;OW)",
                                                             SDDL_REVISION_1, &descriptor, nullptr))
    attributes.lpSecurityDescriptor = descriptor;
  std::optional<std::filesystem::path> made;
  for (int attempt = 0; attempt < 100 && !made; ++attempt) {
    std::filesystem::path folder = parent / (L"orvanta-" + RandomPart());
    if (::CreateDirectoryW(folder.c_str(), &attributes))
      made = std::move(folder);
    else if (::GetLastError() != ERROR_ALREADY_EXISTS)
      break;
  }
  if (descriptor)
    ::LocalFree(descriptor);
  return made;
}

} // namespace orvanta
