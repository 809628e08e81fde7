#include "exfat/exfat_volume.h"

#include <algorithm>
#include <bit>
#include <unordered_set>

#include "exfat/exfat_format.h"
#include "volume/byte_reader.h"
#include "volume/device_session.h"

namespace orvanta::exfat {
namespace {

std::uint64_t ClustersFor(std::uint64_t length, std::uint64_t clusterBytes) {
  return length / clusterBytes + (length % clusterBytes != 0 ? 1 : 0);
}

// The sectors of a run of clusters.
std::pair<std::uint64_t, std::uint64_t> SectorsOf(const BootGeometry &boot, std::uint32_t first,
                                                  std::uint64_t length) {
  const std::uint64_t count = std::max<std::uint64_t>(1, ClustersFor(length, boot.BytesPerCluster()));
  return {boot.ClusterSector(first), count * boot.SectorsPerCluster()};
}

void FillGeometry(TVolumeGeometry &g, const BootGeometry &boot) {
  g.FatType = kExfat;
  g.BytesPerSector = static_cast<std::int32_t>(boot.BytesPerSector());
  g.SectorsPerCluster = static_cast<std::int32_t>(boot.SectorsPerCluster());
  g.BytesPerCluster = static_cast<std::int32_t>(
      std::min<std::uint64_t>(boot.BytesPerCluster(), std::uint64_t{1} << 30));
  g.TotalSectors = static_cast<std::int64_t>(std::min<std::uint64_t>(boot.VolumeLength, std::uint64_t{1} << 62));
  g.ClusterCount = g.TotalSectors / g.SectorsPerCluster;
  g.ReservedSectors = boot.FatOffset;
  g.FatCount = boot.NumberOfFats;
  g.SectorsPerFat = boot.FatLength;
  g.RootStartSector = boot.ClusterHeapOffset;
  g.RootSectors = g.SectorsPerCluster;
  g.RootCluster = boot.RootCluster;
  g.FatBytes = std::int64_t{boot.FatLength} * g.BytesPerSector;
  g.HeapClusters = boot.ClusterCount;
  g.ShieldedSectors.clear();
}

} // namespace

BootGeometry BootOf(const TVolumeGeometry &g) {
  BootGeometry boot;
  boot.BytesPerSectorShift = static_cast<std::uint32_t>(std::countr_zero(std::uint32_t(std::max(g.BytesPerSector, 1))));
  boot.SectorsPerClusterShift =
      static_cast<std::uint32_t>(std::countr_zero(std::uint32_t(std::max(g.SectorsPerCluster, 1))));
  boot.VolumeLength = static_cast<std::uint64_t>(std::max<std::int64_t>(g.TotalSectors, 0));
  boot.FatOffset = static_cast<std::uint32_t>(g.ReservedSectors);
  boot.FatLength = static_cast<std::uint32_t>(g.SectorsPerFat);
  boot.NumberOfFats = static_cast<std::uint32_t>(g.FatCount);
  boot.ClusterHeapOffset = static_cast<std::uint32_t>(g.RootStartSector);
  boot.ClusterCount = g.HeapClusters;
  boot.RootCluster = g.RootCluster;
  return boot;
}

VolumeCheck OpenExfatVolume(Volume &volume, bool loadFat) {
  const DeviceSession session(volume, DeviceAccess::Read);
  auto &g = volume.Geometry();
  if (!volume.ProbeSectorSize())
    return VolumeCheck::BootSectorDenied;
  const auto bytesPerSector = static_cast<std::size_t>(g.BytesPerSector);
  std::vector<std::uint8_t> regions(bytesPerSector * 2 * boot::kRegionSectors);
  if (!volume.ReadSectors(0, regions))
    return VolumeCheck::BootSectorDenied;
  // The regions' own sector size must be the device's: otherwise every
  // offset would be read wrong.
  const auto boot = ReadBootRegions(regions, bytesPerSector);
  if (!boot)
    return VolumeCheck::BootSectorDenied;
  FillGeometry(g, *boot);
  const auto deviceBytes = volume.DeviceSizeBytes();
  g.DeviceSectors = deviceBytes ? static_cast<std::int64_t>(*deviceBytes / bytesPerSector) : 0;
  if (!loadFat)
    return VolumeCheck::Ok;
  // Only the entries of the heap's clusters are kept: a FAT may be far
  // longer than the clusters it serves.
  const std::uint64_t entriesBytes = (std::uint64_t{boot->ClusterCount} + 2) * 4;
  const std::uint64_t sectors = ClustersFor(entriesBytes, bytesPerSector);
  auto &fat = volume.FatImage();
  fat.assign(sectors * bytesPerSector, 0);
  const std::uint64_t fatStart =
      boot->FatOffset + std::uint64_t{boot->ActiveFat} * boot->FatLength;
  if (!volume.ReadSectors(fatStart, fat))
    return VolumeCheck::BootSectorDenied;
  const auto metadata = ReadMetadata(volume);
  if (!metadata)
    return VolumeCheck::BootSectorDenied;
  // Nothing writes the bitmap or the up-case table; the root directory's
  // own clusters are written only as a directory.
  for (const auto &[first, length] : {std::pair{metadata->BitmapCluster, metadata->BitmapBytes},
                                      std::pair{metadata->UpcaseCluster, metadata->UpcaseBytes}}) {
    if (first == 0)
      continue;
    const auto clusters =
        ClustersOf(volume, first, length, false, nullptr, boot->ClusterCount);
    for (const auto c : clusters.List)
      g.ShieldedSectors.push_back(SectorsOf(*boot, c, 1));
    // What the chain does not reach is shielded as a run from its first cluster.
    g.ShieldedSectors.push_back(SectorsOf(*boot, first, length));
  }
  return VolumeCheck::Ok;
}

Clusters ClustersOf(const Volume &volume, std::uint32_t first, std::uint64_t length,
                    bool noFatChain, const AllocationBitmap *freeOnly, std::size_t limit) {
  const BootGeometry boot = BootOf(volume.Geometry());
  Clusters out;
  const std::uint64_t wanted =
      std::min<std::uint64_t>(std::max<std::uint64_t>(1, ClustersFor(length, boot.BytesPerCluster())), limit);
  auto usable = [&](std::uint64_t c) {
    return boot.IsHeapCluster(c) && (!freeOnly || !freeOnly->InUse(c));
  };
  if (!usable(first)) {
    out.Short = true;
    return out;
  }
  if (noFatChain) {
    for (std::uint64_t c = first; out.List.size() < wanted && usable(c); ++c)
      out.List.push_back(static_cast<std::uint32_t>(c));
  } else {
    std::unordered_set<std::uint32_t> seen;
    std::uint64_t c = first;
    bool contiguous = false; // the FAT no longer links the clusters
    while (out.List.size() < wanted && usable(c) && seen.insert(std::uint32_t(c)).second) {
      out.List.push_back(static_cast<std::uint32_t>(c));
      if (contiguous) {
        ++c;
        continue;
      }
      const auto next = volume.FatEntry(c);
      if (!next || *next == kEndOfChain || *next == kBadCluster)
        break;
      if (*next == 0 && freeOnly) {
        contiguous = true;
        ++c;
      } else {
        c = *next;
      }
    }
  }
  out.Short = out.List.size() < wanted;
  return out;
}

std::vector<std::uint32_t> RootClusters(const Volume &volume) {
  const auto &g = volume.Geometry();
  return ClustersOf(volume, g.RootCluster, kMaxDirectoryBytes, false, nullptr,
                    static_cast<std::size_t>(kMaxDirectoryBytes / std::max(g.BytesPerCluster, 1)))
      .List;
}

bool ReadClusterList(Volume &volume, const std::vector<std::uint32_t> &clusters,
                     std::vector<std::uint8_t> &out) {
  const BootGeometry boot = BootOf(volume.Geometry());
  const std::size_t clusterBytes = boot.BytesPerCluster();
  out.assign(clusters.size() * clusterBytes, 0);
  bool any = false;
  for (std::size_t i = 0; i < clusters.size();) {
    std::size_t n = 1;
    while (i + n < clusters.size() && clusters[i + n] == clusters[i + n - 1] + 1 &&
           n * clusterBytes < (4u << 20))
      ++n;
    const std::span<std::uint8_t> piece(out.data() + i * clusterBytes, n * clusterBytes);
    any = volume.ReadSectors(boot.ClusterSector(clusters[i]), piece) || any;
    i += n;
  }
  return any || clusters.empty();
}

std::optional<Metadata> ReadMetadata(Volume &volume) {
  std::vector<std::uint8_t> root;
  if (!ReadClusterList(volume, RootClusters(volume), root))
    return std::nullopt;
  Metadata m;
  for (std::size_t at = 0; at + kEntryBytes <= root.size(); at += kEntryBytes) {
    const std::uint8_t type = root[at];
    if (type == entry::kEndOfDirectory)
      break;
    const ByteReader r(std::span<const std::uint8_t>(root).subspan(at, kEntryBytes));
    const std::uint64_t length =
        std::uint64_t{r.Le32(entry::kDataLength)} | std::uint64_t{r.Le32(entry::kDataLength + 4)} << 32;
    // The first bitmap is that of the first FAT (two only with two FATs).
    if (type == entry::kAllocationBitmap && m.BitmapCluster == 0) {
      m.BitmapCluster = r.Le32(entry::kFirstCluster);
      m.BitmapBytes = length;
    } else if (type == entry::kUpcaseTable && m.UpcaseCluster == 0) {
      m.UpcaseCluster = r.Le32(entry::kFirstCluster);
      m.UpcaseBytes = length;
    }
  }
  if (m.BitmapCluster == 0)
    return std::nullopt;
  return m;
}

AllocationBitmap ReadAllocationBitmap(Volume &volume, const Metadata &m) {
  const BootGeometry boot = BootOf(volume.Geometry());
  const std::uint64_t needed = (std::uint64_t{boot.ClusterCount} + 7) / 8;
  const std::uint64_t length = std::min(m.BitmapBytes, needed);
  const auto clusters = ClustersOf(volume, m.BitmapCluster, length, false, nullptr,
                                   boot.ClusterCount);
  std::vector<std::uint8_t> bits;
  if (!ReadClusterList(volume, clusters.List, bits))
    return {};
  bits.resize(std::min<std::uint64_t>(bits.size(), length));
  return AllocationBitmap(std::move(bits), boot.ClusterCount);
}

std::optional<AllocationBitmap> ReadAllocationBitmap(Volume &volume) {
  const auto metadata = ReadMetadata(volume);
  if (!metadata)
    return std::nullopt;
  return ReadAllocationBitmap(volume, *metadata);
}

} // namespace orvanta::exfat
