#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>

namespace orvanta {

// What the host's file system says of one entry of a folder, the entry
// itself and not what a symbolic link points to.
struct HostEntryStatus {
  bool IsDirectory = false;
  std::uint64_t Identity = 0; // the same for two names of one file
};
std::optional<HostEntryStatus> HostEntryStatusOf(const std::filesystem::path &path);

// The calendar fields of `when` in the system's time zone.
std::tm LocalTime(std::time_t when);

} // namespace orvanta
