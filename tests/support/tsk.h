#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvanta::test {

// One entry as The Sleuth Kit's fls lists it.
struct TskEntry {
  std::string Path;  // "DCIM/100MEDIA/_MG_1003.JPG", relative to the root
  bool Deleted = false;
  bool Directory = false;
  std::uint64_t Inode = 0;
  std::int64_t Size = 0;
  std::string Written; // "2019-05-07 09:05:00", as stored (no time zone applied)
};

// `fls -r -p -l` (with -d: deleted entries only) over an image.
std::vector<TskEntry> Fls(const std::filesystem::path &image, bool deletedOnly,
                          std::uint32_t sectorSize = 512);

// `icat` of an inode: the file's bytes as The Sleuth Kit recovers them.
std::vector<std::uint8_t> Icat(const std::filesystem::path &image, std::uint64_t inode,
                               std::uint32_t sectorSize = 512);

} // namespace orvanta::test
