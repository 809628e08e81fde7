#pragma once

#include <filesystem>
#include <functional>

namespace orvanta {

// Opens a device file with open(2) flags and returns an owned file
// descriptor, or -1 with errno set. The desktop program hands the device
// one that asks the system's disk service when the user may not open the
// device node directly.
using DeviceOpener = std::function<int(const std::filesystem::path &path, int openFlags)>;

} // namespace orvanta
