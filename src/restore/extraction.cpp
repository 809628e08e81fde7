#include "restore/extraction.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <span>
#include <vector>

#include "engine/operation_host.h"
#include "volume/file_clusters.h"
#include "volume/salvaging_read.h"
#include "volume/volume.h"

namespace orvanta {
namespace {

// The largest piece of a contiguous run read in one request.
constexpr std::int64_t kRunPieceBytes = 4 * 1024 * 1024;

// Where a copy's bytes go: a file, or memory.
class Sink {
public:
  virtual ~Sink() = default;
  // False ends the copy: the write failed, or nothing more is wanted.
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
};

class FileSink final : public Sink {
public:
  explicit FileSink(OutputFile &file) : file_(file) {}
  bool Write(std::span<const std::uint8_t> bytes) override { return file_.Write(bytes); }

private:
  OutputFile &file_;
};

// Keeps the first `limit` bytes.
class MemorySink final : public Sink {
public:
  MemorySink(std::vector<std::uint8_t> &bytes, std::size_t limit) : bytes_(bytes), limit_(limit) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    const std::size_t n = std::min(bytes.size(), limit_ - bytes_.size());
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
    return bytes_.size() < limit_;
  }

private:
  std::vector<std::uint8_t> &bytes_;
  std::size_t limit_;
};

struct Copy {
  Volume &Vol;
  OperationHost &Host;
  Sink &Out;
  std::int64_t ClusterBytes;
  std::int64_t SectorBytes;
  bool Stoppable;
  // Bytes wanted from the start of the file; a run is read no further.
  std::int64_t Wanted = std::numeric_limits<std::int64_t>::max();
  ExtractResult Result = {};

  // Pumps the host; true when a stoppable copy has to end here.
  bool StopHere() {
    Host.Pump();
    if (Stoppable && !Host.Running())
      Result.Stopped = true;
    return Result.Stopped;
  }

  // Writes up to `length` bytes of `bytes` (nothing for a length of 0 or less).
  bool Put(std::span<const std::uint8_t> bytes, std::int64_t length) {
    if (length <= 0)
      return true;
    return Out.Write(bytes.first(
        static_cast<std::size_t>(std::min<std::int64_t>(length, std::int64_t(bytes.size())))));
  }

  // Writes `count` zero bytes.
  bool Zeros(std::int64_t count) {
    const std::vector<std::uint8_t> zeros(
        std::size_t(std::min<std::int64_t>(count, std::max<std::int64_t>(ClusterBytes, 1 << 16))), 0);
    for (std::int64_t left = count; left > 0; left -= std::int64_t(zeros.size())) {
      if (StopHere())
        return true;
      if (!Put(zeros, left))
        return false;
    }
    return true;
  }

  // Clusters that follow one another on the volume are read in one request
  // (up to a piece of a run); the host is still pumped, and Stop tested,
  // before each cluster, and each cluster writes its own share.
  bool ChainCopy(const std::vector<std::uint32_t> &chain, std::int64_t size) {
    const std::size_t maxBatch =
        std::size_t(std::max<std::int64_t>(1, kRunPieceBytes / ClusterBytes));
    std::vector<std::uint8_t> buffer(std::size_t(ClusterBytes) * std::min(maxBatch, chain.size()));
    std::vector<std::int64_t> readable;
    std::size_t batchStart = 0, batchEnd = 0;
    std::int64_t written = 0;
    for (std::size_t i = 0; i < chain.size(); ++i) {
      if (StopHere())
        return true;
      if (i >= batchEnd) {
        batchStart = i;
        batchEnd = i + 1;
        while (batchEnd < chain.size() && batchEnd - batchStart < maxBatch &&
               chain[batchEnd] == chain[batchEnd - 1] + 1)
          ++batchEnd;
        readable = ReadClusters(chain, batchStart, batchEnd - batchStart, buffer);
      }
      const std::int64_t length = written + ClusterBytes < size ? ClusterBytes : size - written;
      if (readable[i - batchStart] < length)
        Result.UnreadableParts = true;
      const std::span<const std::uint8_t> cluster(
          buffer.data() + (i - batchStart) * std::size_t(ClusterBytes), std::size_t(ClusterBytes));
      if (!Put(cluster, length))
        return false;
      written += ClusterBytes;
    }
    return true;
  }

  // Reads `count` clusters that follow one another from chain[first] on;
  // when that fails, each on its own, sector by sector. For each, the
  // offset of its first byte that could not be read (ClusterBytes when none).
  std::vector<std::int64_t> ReadClusters(const std::vector<std::uint32_t> &chain, std::size_t first,
                                         std::size_t count, std::vector<std::uint8_t> &buffer) {
    std::vector<std::int64_t> readable(count, ClusterBytes);
    const std::span<std::uint8_t> all(buffer.data(), count * std::size_t(ClusterBytes));
    if (Vol.ReadSectors(Vol.ClusterSector(static_cast<std::int32_t>(chain[first])), all))
      return readable;
    for (std::size_t k = 0; k < count; ++k)
      readable[k] =
          ReadSalvaging(Vol.ClusterSector(static_cast<std::int32_t>(chain[first + k])),
                        all.subspan(k * std::size_t(ClusterBytes), std::size_t(ClusterBytes)));
    return readable;
  }

  // Reads whole sectors from `sector`, sector by sector where that fails;
  // the offset of the first byte that could not be read.
  std::int64_t ReadSalvaging(std::uint64_t sector, std::span<std::uint8_t> bytes) {
    return static_cast<std::int64_t>(
        orvanta::ReadSalvaging(Vol, sector, bytes, [this] { return StopHere(); }));
  }

  // The run of (size div S + 1) sectors from the first cluster, cut to the
  // size. It is read in pieces of whole clusters; a piece that cannot be
  // read is read again cluster by cluster, and what still fails stays zero.
  bool ContiguousCopy(std::int32_t firstCluster, std::int64_t size) {
    if (size < 0)
      return true; // no bytes to write
    const std::int64_t run = (std::min(size, Wanted) / SectorBytes + 1) * SectorBytes;
    const std::int64_t piece =
        std::min(run, std::max(ClusterBytes, kRunPieceBytes / ClusterBytes * ClusterBytes));
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(piece));
    const std::int64_t firstSector = Vol.ClusterToSector(firstCluster);
    for (std::int64_t at = 0; at < run; at += piece) {
      if (at > 0 && StopHere())
        return true;
      const std::int64_t length = std::min(piece, run - at);
      const std::span<std::uint8_t> bytes(buffer.data(), static_cast<std::size_t>(length));
      if (!Vol.ReadSectors(SectorAt(firstSector, at), bytes))
        ReadByClusters(firstSector, at, bytes, size);
      if (!Put(bytes, size - at))
        return false;
    }
    return true;
  }

  void ReadByClusters(std::int64_t firstSector, std::int64_t at, std::span<std::uint8_t> bytes,
                      std::int64_t size) {
    for (std::int64_t from = 0; from < std::int64_t(bytes.size()); from += ClusterBytes) {
      const auto length = std::min<std::int64_t>(ClusterBytes, std::int64_t(bytes.size()) - from);
      const auto part =
          bytes.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(length));
      if (ReadSalvaging(SectorAt(firstSector, at + from), part) < std::min(length, size - (at + from)))
        Result.UnreadableParts = true;
    }
  }

  // The sector `offset` bytes into the run; one before the device's start
  // becomes one that no device has.
  std::uint64_t SectorAt(std::int64_t firstSector, std::int64_t offset) const {
    const std::int64_t sector = firstSector + offset / SectorBytes;
    return sector < 0 ? ~std::uint64_t{0} : static_cast<std::uint64_t>(sector);
  }
};

} // namespace

namespace {

void CopyFoundFile(Copy &copy, const FoundEntry &entry) {
  Volume &vol = copy.Vol;
  const auto &g = vol.Geometry();
  if (!g.ClustersFitInMemory()) {
    // A damaged cluster-size field: nothing of the file can be read.
    copy.Result.UnreadableParts = entry.Size > 0;
    return;
  }
  // No volume holds 2^62 bytes; a size past that is cut there, where the
  // run's arithmetic still holds.
  const auto size =
      static_cast<std::int64_t>(std::min<std::uint64_t>(entry.Size, std::uint64_t{1} << 62));
  // FAT cluster numbers have 28 bits; anything larger wraps to a number
  // the volume treats as out of range.
  const auto first = static_cast<std::int32_t>(entry.FirstCluster);
  if (!entry.Runs.empty()) {
    // A file found by its content in pieces, or an exFAT file: its clusters
    // as they were found, as far as the size goes (and no more than the
    // volume has). Past its valid length a file holds zeros, whatever its
    // clusters hold.
    const std::int64_t valid =
        entry.ValidLength ? std::min<std::int64_t>(size, std::int64_t(std::min<std::uint64_t>(
                                                             *entry.ValidLength, std::uint64_t{1} << 62)))
                          : size;
    std::vector<std::uint32_t> clusters;
    const std::int64_t needed = std::min((valid + copy.ClusterBytes - 1) / copy.ClusterBytes,
                                         std::max<std::int64_t>(0, LastDataCluster(g)));
    for (const auto &run : entry.Runs)
      for (std::uint32_t i = 0; i < run.Count && std::int64_t(clusters.size()) < needed; ++i)
        clusters.push_back(run.First + i);
    if (copy.ChainCopy(clusters, valid) && !copy.Result.Stopped && valid < size)
      copy.Zeros(size - valid);
    return;
  }
  if (size >= copy.ClusterBytes) {
    vol.WalkChain(first, &copy.Host);
    const std::vector<std::uint32_t> chain = vol.ChainList();
    if (ChainFitsSize(chain, size, copy.ClusterBytes)) {
      copy.ChainCopy(chain, size);
      return;
    }
  }
  if (size > copy.ClusterBytes && !ClusterInUse(vol, entry.FirstCluster)) {
    // A deleted file's run: clusters that live files hold now are passed
    // over. A run that meets none is read as one below.
    const FreeRun run = FreeClusterRun(vol, size, first, /*listClusters=*/true);
    if (run.PassedUsed) {
      copy.ChainCopy(run.Clusters, size);
      return;
    }
  }
  copy.ContiguousCopy(first, size);
}

} // namespace

ExtractResult ExtractFoundFile(Volume &vol, OperationHost &host, const FoundEntry &entry,
                               OutputFile &out, bool stoppable) {
  const auto &g = vol.Geometry();
  FileSink sink(out);
  Copy copy{vol, host, sink, g.BytesPerCluster, g.BytesPerSector, stoppable};
  CopyFoundFile(copy, entry);
  out.Close();
  copy.Result.WriteError = out.Error();
  return copy.Result;
}

std::vector<std::uint8_t> ReadFoundFileStart(Volume &vol, OperationHost &host,
                                             const FoundEntry &entry, std::size_t limit) {
  std::vector<std::uint8_t> bytes;
  if (limit == 0)
    return bytes;
  const auto &g = vol.Geometry();
  MemorySink sink(bytes, limit);
  Copy copy{vol, host, sink, g.BytesPerCluster, g.BytesPerSector, /*Stoppable=*/true,
            static_cast<std::int64_t>(std::min<std::size_t>(limit, std::uint64_t{1} << 62))};
  CopyFoundFile(copy, entry);
  return bytes;
}

} // namespace orvanta
