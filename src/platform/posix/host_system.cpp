#include "platform/host_system.h"

#include <sys/stat.h>

namespace orvanta {

std::optional<HostEntryStatus> HostEntryStatusOf(const std::filesystem::path &path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0)
    return std::nullopt;
  return HostEntryStatus{S_ISDIR(st.st_mode) != 0, static_cast<std::uint64_t>(st.st_ino)};
}

std::tm LocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

} // namespace orvanta
