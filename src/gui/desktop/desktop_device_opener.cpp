#include "gui/desktop/desktop_device_opener.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace orvanta::gui {

DesktopDeviceOpener::DesktopDeviceOpener(DeviceOpenerService *service, DirectOpen direct,
                                         std::function<bool(const std::filesystem::path &)> isBlockDevice)
    : service_(service), direct_(std::move(direct)), isBlockDevice_(std::move(isBlockDevice)) {
  if (!direct_)
    direct_ = [](const std::filesystem::path &path, int flags) { return ::open(path.c_str(), flags | O_CLOEXEC); };
  if (!isBlockDevice_)
    isBlockDevice_ = [](const std::filesystem::path &path) {
      struct stat st {};
      return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
    };
}

int DesktopDeviceOpener::operator()(const std::filesystem::path &path, int flags) {
  const int fd = direct_(path, flags);
  if (fd >= 0 || (errno != EACCES && errno != EPERM) || !service_ || !isBlockDevice_(path))
    return fd;
  const int denied = errno;
  const int viaService = service_->OpenDescriptor(path, flags);
  if (viaService < 0)
    errno = denied;
  return viaService;
}

} // namespace orvanta::gui
