#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "carve/cluster_run.h"
#include "carve/walker.h"

namespace orvanta::carve {

// A file recognised by its content.
struct CarvedFile {
  Kind FileKind = Kind::Photo;
  std::string Extension;
  // Its clusters in order; the first is where it begins.
  std::vector<ClusterRun> Runs;
  std::uint64_t Size = 0;
  // Its structure ended where it should; otherwise it was cut off where
  // it broke, met a live file's cluster or the end of the volume.
  bool Whole = false;
  std::optional<FileStamp> Stamp;

  std::uint32_t FirstCluster() const { return Runs.empty() ? 0 : Runs.front().First; }
};

// Reads whole clusters from `first` on into `out` (a multiple of the
// cluster size); false when they cannot be read.
using ClusterReader = std::function<bool(std::uint32_t first, std::span<std::uint8_t> out)>;

// Finds files by their content in the clusters of one pass over a volume,
// given in the order of their numbers: a free cluster that is not part of
// a file being followed is looked at for the start of one (Recognise), and
// a file that starts there is fed the clusters that follow until its walker
// says where it ends. A file does not pass over a cluster that a live file
// holds, a cluster the pass did not read, or the end of the volume: it is
// cut off there. Clusters a walk took beyond its file's end are read again
// through the reader and looked at as any other.
//
// A baseline JPEG whose entropy data breaks may go on after a gap (a
// fragmented file): where its data really stops is found by decoding it
// again (the clusters are read once more through the reader), and the
// following free clusters that no other file claims are tried with the
// decoder's state at that point; one that decodes whole continues it. A
// file is given at most kMaxGaps such gaps, each of at most kMaxGapBytes.
class Carver {
public:
  struct Volume {
    std::uint32_t ClusterBytes = 0;
    std::uint32_t LastCluster = 0;    // the last cluster of the data area
    // The largest file the volume can hold; left out, only the end of the
    // data area bounds a file.
    std::uint64_t MaxFileBytes = std::numeric_limits<std::uint64_t>::max();
    ClusterReader Read;               // for fragments; none: no fragments
  };
  static constexpr int kMaxGaps = 4;
  static constexpr std::uint64_t kMaxGapBytes = std::uint64_t{64} << 20;
  static constexpr std::size_t kMaxWaiting = 8;

  explicit Carver(Volume volume);
  ~Carver();
  Carver(const Carver &) = delete;
  Carver &operator=(const Carver &) = delete;

  // One cluster of the pass; `free` when the FAT gives it to nothing.
  void Cluster(std::uint32_t number, bool free, std::span<const std::uint8_t> bytes);
  // The pass is over: files still open end where their bytes ended.
  void Finish();

  // The files found so far, in the order they ended.
  std::vector<CarvedFile> &Found() { return found_; }

private:
  struct Open;

  // A free cluster: fed to the file being followed, else tried as the next
  // part of a waiting fragment or the start of a file.
  void Examine(std::uint32_t number, std::span<const std::uint8_t> bytes);
  // Settles a file whose walk ended or broke; true when `number` (the
  // cluster being fed) is not part of it.
  bool Settle(std::unique_ptr<Open> file, std::uint32_t number);
  // A walk may have read past the end of its file (a TIFF's head, the
  // look past a box or a frame): the clusters it took beyond the end, save
  // `number`, are read again and looked at in their turn.
  void ReplayAfter(const Open &file, std::uint64_t end, std::uint32_t number);
  void Replay();
  void Record(Open &file, std::uint64_t size, bool whole);
  bool TryWaiting(std::uint32_t number, std::span<const std::uint8_t> bytes);
  void Suspend(std::unique_ptr<Open> file);

  Volume volume_;
  std::unique_ptr<Open> open_;
  std::vector<std::unique_ptr<Open>> waiting_; // fragments waiting for their next part
  std::vector<CarvedFile> found_;
  std::vector<std::uint8_t> reread_;
  std::vector<std::uint32_t> replay_;
};

} // namespace orvanta::carve
