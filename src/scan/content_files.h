#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "carve/carver.h"
#include "scan/find_context.h"

namespace orvanta {

class LanguageFile;

// The deep scan's look at the content of free clusters: each cluster of its
// pass goes to a Carver, with whether the FAT leaves it free; once the pass
// is over, every file recognised by its content is recorded under
// "Found by content" in a folder of its kind ("Photos", "Videos",
// "Documents", "Music"), named after its first cluster ("f00012345.jpg"),
// with the date it records of itself (none otherwise). A file that starts
// at the first cluster of a file found by its entry is that file, and is
// not listed twice. The clusters of a file in pieces are read again, once,
// to find where a piece ends.
class ContentFiles {
public:
  // On a FAT volume: free is what the FAT gives to nothing.
  explicit ContentFiles(FindContext &ctx);
  // On a volume that says itself which clusters are free (Cluster with
  // `free`); every row lists its runs, as its extraction follows no FAT chain.
  ContentFiles(FindContext &ctx, carve::Carver::Volume volume);

  // A cluster of the pass, in the order of their numbers.
  void Cluster(std::uint32_t number, std::span<const std::uint8_t> bytes);
  void Cluster(std::uint32_t number, bool free, std::span<const std::uint8_t> bytes) {
    carver_.Cluster(number, free, bytes);
  }
  // The pass is over (or was stopped): records what was found.
  void Record();

private:
  bool IsFree(std::uint32_t number) const;

  FindContext &ctx_;
  std::uint32_t lastCluster_ = 0;
  bool listRuns_ = false;
  carve::Carver carver_;
};

// "Found by content" and the folder of a kind, in the language of the file.
std::string ContentFolder(FindContext &ctx, carve::Kind kind);
// The name of a file found by its content: "f" and its first cluster in
// eight digits, then its extension ("f00012345.jpg").
std::string ContentFileName(std::uint32_t firstCluster, std::string_view extension);

} // namespace orvanta
