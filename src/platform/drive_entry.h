#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace orvanta {

// One entry of the drive table: a letter and the device behind it.
struct DriveEntry {
  char Letter = 0;
  std::filesystem::path Path;              // device or image; on Windows a raw volume, "\\.\E:"
  std::optional<std::uint32_t> SectorSize; // images only; devices report their own
  std::optional<int> Partition;            // a partition of a partitioned image, by number
};

} // namespace orvanta
