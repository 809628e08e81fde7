#include "platform/windows/system_error.h"

#include <cerrno>

namespace orvanta {

int ErrnoOf(DWORD error) {
  switch (error) {
  case ERROR_SUCCESS:
    return 0;
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_INVALID_DRIVE:
  case ERROR_BAD_NETPATH:
    return ENOENT;
  case ERROR_ACCESS_DENIED:
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return EACCES;
  case ERROR_FILE_EXISTS:
  case ERROR_ALREADY_EXISTS:
    return EEXIST;
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return ENOSPC;
  case ERROR_WRITE_PROTECT:
    return EROFS;
  case ERROR_INVALID_NAME:
  case ERROR_BAD_PATHNAME:
  case ERROR_DIRECTORY:
  case ERROR_INVALID_PARAMETER:
    return EINVAL;
  case ERROR_FILENAME_EXCED_RANGE:
    return ENAMETOOLONG;
  case ERROR_NOT_ENOUGH_MEMORY:
  case ERROR_OUTOFMEMORY:
    return ENOMEM;
  case ERROR_NOT_READY:
  case ERROR_DEV_NOT_EXIST:
    return ENODEV;
  default:
    return EIO;
  }
}

} // namespace orvanta
