#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace orvanta::test {

// How a file's clusters are taken.
enum class ExfatLayout {
  Contiguous, // the first free run that holds it, NoFatChain, as the Linux driver writes a file at once
  Fragmented, // free clusters with a gap after each, linked in the FAT
};

// An exFAT card made with mkfs.exfat and written as the Linux driver writes
// it: entry sets in the first free slots of a folder, NoFatChain for
// contiguous files, FAT chains otherwise; a deletion clears the sets' InUse
// bits and the files' bitmap bits and keeps their FAT chains. Paths are
// "a/b/name". The image is kept in memory; Save writes it out.
class ExfatCard {
public:
  // `mkfsWords` go to mkfs.exfat as well (-b 4K: a compact layout). With
  // `bytes` 0 the file is formatted where it is: a quick format, which
  // leaves the old data in the heap.
  ExfatCard(const std::filesystem::path &path, std::uint64_t bytes, std::uint32_t clusterBytes,
            const std::string &label = "", const std::vector<std::string> &mkfsWords = {});

  void MakeFolder(const std::string &path);
  void Put(const std::string &path, const std::vector<std::uint8_t> &bytes,
           ExfatLayout layout = ExfatLayout::Contiguous,
           std::optional<std::uint64_t> validLength = std::nullopt, std::uint32_t searchFrom = 2);
  // The next file or folder made gets this DOS date and time (local) and
  // these hundredths of a second, as a camera stamps what it takes.
  void StampNext(std::uint32_t dosDateTime, std::uint8_t centiseconds) {
    nextStamp_ = {dosDateTime, centiseconds};
  }
  // Deletes a file, or a folder with everything in it.
  void Delete(const std::string &path);
  // Writes the image to its file.
  void Save() const;

  const std::filesystem::path &Path() const { return path_; }
  std::vector<std::uint8_t> &Image() { return image_; }
  std::uint32_t ClusterBytes() const { return clusterBytes_; }
  // The first cluster of a file or folder in use.
  std::uint32_t FirstCluster(const std::string &path);
  // The byte offset of a cluster in the image.
  std::uint64_t ClusterOffset(std::uint32_t cluster) const;

private:
  struct Place; // where a set lies
  struct Dir {
    std::vector<std::uint32_t> Clusters;
    std::optional<std::size_t> SetIndex; // the folder's own set, none for the root
  };
  std::vector<std::uint8_t> ReadDir(const Dir &dir) const;
  void WriteDir(const Dir &dir, const std::vector<std::uint8_t> &bytes);
  Dir Folder(const std::string &path);
  struct Found {
    Dir Parent;
    std::size_t Offset = 0; // of the set in the parent's bytes
  };
  std::optional<Found> Find(const std::string &path);
  // Free clusters from `from` on, the first that fit.
  std::vector<std::uint32_t> Allocate(std::uint32_t count, ExfatLayout layout,
                                      std::uint32_t from = 2);
  void AddSet(const std::string &path, bool folder, const std::vector<std::uint32_t> &clusters,
              std::uint64_t length, std::uint64_t validLength, bool noFatChain);
  void Link(const std::vector<std::uint32_t> &clusters);
  bool Used(std::uint32_t cluster) const;
  void SetUsed(std::uint32_t cluster, bool used);
  std::uint32_t Fat(std::uint32_t cluster) const;
  void SetFat(std::uint32_t cluster, std::uint32_t value);
  std::uint16_t Upcase(std::uint16_t c) const;
  std::vector<std::uint32_t> Chain(std::uint32_t first) const;

  std::filesystem::path path_;
  std::vector<std::uint8_t> image_;
  std::uint32_t sectorBytes_ = 512, clusterBytes_ = 0;
  std::uint64_t fatOffset_ = 0, heapOffset_ = 0;
  std::uint32_t clusterCount_ = 0, rootCluster_ = 0, bitmapCluster_ = 0;
  std::vector<std::uint16_t> upcase_;
  std::uint32_t stamp_ = 0;
  std::optional<std::pair<std::uint32_t, std::uint8_t>> nextStamp_;
};

// The set checksum of entries in use, for crafting sets by hand.
std::uint16_t ExfatSetChecksum(const std::uint8_t *set, std::size_t bytes);

} // namespace orvanta::test
