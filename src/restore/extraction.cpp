#include "restore/extraction.h"

#include <algorithm>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/operation_host.h"
#include "volume/volume.h"

namespace orvanta {
namespace {

// The largest piece of a contiguous run read in one request.
constexpr std::int64_t kRunPieceBytes = 4 * 1024 * 1024;

struct Copy {
  Volume &Vol;
  OperationHost &Host;
  OutputFile &Out;
  std::int64_t ClusterBytes;
  std::int64_t SectorBytes;
  ExtractResult Result;

  // Writes up to `length` bytes of `bytes` (nothing for a length of 0 or less).
  bool Put(std::span<const std::uint8_t> bytes, std::int64_t length) {
    if (length <= 0)
      return true;
    return Out.Write(bytes.first(static_cast<std::size_t>(std::min<std::int64_t>(length, std::int64_t(bytes.size())))));
  }

  bool ChainCopy(const std::vector<std::uint32_t> &chain, std::int64_t size, bool stoppable) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(ClusterBytes));
    std::int64_t written = 0;
    for (const std::uint32_t cluster : chain) {
      Host.Pump();
      if (stoppable && !Host.Running())
        continue;
      const bool read =
          Vol.ReadSectors(Vol.ClusterSector(static_cast<std::int32_t>(cluster)), buffer);
      const std::int64_t length = written + ClusterBytes < size ? ClusterBytes : size - written;
      if (!read && length > 0)
        Result.UnreadableParts = true;
      if (!Put(buffer, length))
        return false;
      written += ClusterBytes;
    }
    return true;
  }

  // The run of (size div S + 1) sectors from the first cluster, cut to the
  // size. It is read in pieces of whole clusters; a piece that cannot be
  // read is read again cluster by cluster, and what still fails stays zero.
  bool ContiguousCopy(std::int32_t firstCluster, std::int64_t size) {
    if (size < 0)
      return true; // no bytes to write
    const std::int64_t run = (size / SectorBytes + 1) * SectorBytes;
    const std::int64_t piece =
        std::min(run, std::max(ClusterBytes, kRunPieceBytes / ClusterBytes * ClusterBytes));
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(piece));
    const std::int64_t firstSector = Vol.ClusterToSector(firstCluster);
    for (std::int64_t at = 0; at < run; at += piece) {
      if (at > 0)
        Host.Pump();
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
      const auto part = bytes.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(length));
      if (!Vol.ReadSectors(SectorAt(firstSector, at + from), part) && at + from < size)
        Result.UnreadableParts = true;
    }
  }

  // The sector `offset` bytes into the run; the low 32 bits name it.
  std::uint32_t SectorAt(std::int64_t firstSector, std::int64_t offset) const {
    return static_cast<std::uint32_t>(firstSector + offset / SectorBytes);
  }
};

bool UseChain(const std::vector<std::uint32_t> &chain, std::int64_t size, std::int64_t clusterBytes) {
  if (chain.size() <= 1 || std::find(chain.begin(), chain.end(), 0u) != chain.end())
    return false;
  return std::llabs(std::int64_t(chain.size()) * clusterBytes - size) <= clusterBytes;
}

} // namespace

ExtractResult ExtractFoundFile(Volume &vol, OperationHost &host, const FoundEntry &entry,
                               OutputFile &out, bool stoppable) {
  const auto &g = vol.Geometry();
  Copy copy{vol, host, out, g.BytesPerCluster, g.BytesPerSector, {}};
  if (copy.ClusterBytes > 0 && copy.SectorBytes > 0) {
    const std::int64_t size = entry.Size;
    bool chained = false;
    if (size >= copy.ClusterBytes) {
      vol.WalkChain(entry.FirstCluster, &host);
      const std::vector<std::uint32_t> chain = vol.ChainList();
      chained = UseChain(chain, size, copy.ClusterBytes);
      if (chained)
        copy.ChainCopy(chain, size, stoppable);
    }
    if (!chained)
      copy.ContiguousCopy(entry.FirstCluster, size);
  }
  out.Close();
  copy.Result.WriteError = out.Error();
  return copy.Result;
}

} // namespace orvanta
