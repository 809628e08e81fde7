#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvanta::test {

struct MkfsOptions {
  int FatBits = 32;                  // 16 or 32 (12 works as well)
  std::uint64_t SizeKiB = 64 * 1024; // image size
  int SectorsPerCluster = 0;         // 0: mkfs.fat chooses
  std::uint32_t SectorSize = 512;
  std::string Label = "ORVANTA";
  std::vector<std::string> Extra;    // further mkfs.fat words
};

// A FAT image file made with mkfs.fat and filled with mtools, as a camera or
// a computer would leave a card: real directories, long names, deletions.
class FatImageFile {
public:
  // Creates a fresh image at `path`.
  FatImageFile(std::filesystem::path path, const MkfsOptions &options);

  const std::filesystem::path &Path() const { return path_; }
  const MkfsOptions &Options() const { return options_; }

  // Folders are given as /a/b; missing parents are made too.
  void Mkdir(const std::string &path);
  // Writes a file with the given bytes; `mtime` sets its last-write time
  // (local time, as FAT keeps it).
  void Put(const std::string &path, const std::vector<std::uint8_t> &bytes,
           std::optional<std::time_t> mtime = std::nullopt);
  void Put(const std::string &path, const std::string &text,
           std::optional<std::time_t> mtime = std::nullopt);
  void Delete(const std::string &path);     // mdel
  void DeleteTree(const std::string &path); // mdeltree
  // The first cluster of a live file or folder, as mshowfat lists it.
  std::uint32_t FirstCluster(const std::string &path);
  // Reads a live file back with mtools.
  std::vector<std::uint8_t> Get(const std::string &path);
  // Runs mkfs.fat again over the image with the same geometry (a quick format).
  void Reformat();

  std::vector<std::uint8_t> Bytes() const;

private:
  std::string Target(const std::string &path) const;

  std::filesystem::path path_;
  MkfsOptions options_;
  int scratch_ = 0;
};

// A local time as FAT stores it: year, month, day, hour, minute.
std::time_t LocalTime(int year, int month, int day, int hour, int minute);

// Deterministic pseudo-random bytes, different for each seed.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed);

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path &path);
void WriteFileBytes(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes);

} // namespace orvanta::test
