#include "platform/host_system.h"

#include <windows.h>

#include "platform/windows/unique_handle.h"

namespace orvanta {

std::optional<HostEntryStatus> HostEntryStatusOf(const std::filesystem::path &path) {
  // The entry itself: a junction or link is opened as what it is, and a
  // folder needs backup semantics to be opened at all.
  UniqueHandle handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle || !::GetFileInformationByHandle(handle.get(), &info))
    return std::nullopt;
  return HostEntryStatus{
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0,
      std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  ::localtime_s(&local, &when);
  return local;
}

} // namespace orvanta
