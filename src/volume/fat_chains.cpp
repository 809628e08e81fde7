#include "volume/volume.h"

#include "engine/operation_host.h"
#include "volume/fat_entries.h"

namespace orvanta {

bool Volume::LoadFatImage() {
  const auto &g = geometry_;
  fatImage_.clear();
  if (g.FatBytes < 0 || g.ReservedSectors < 0 || g.BytesPerSector <= 0)
    return false;
  // The FAT must lie on the device: a damaged sectors-per-FAT field must not
  // decide how much memory is taken.
  const auto size = DeviceSizeBytes();
  const std::uint64_t start = std::uint64_t(g.ReservedSectors) * std::uint64_t(g.BytesPerSector);
  if (!size || start > *size || std::uint64_t(g.FatBytes) > *size - start)
    return false;
  fatImage_.resize(static_cast<std::size_t>(g.FatBytes));
  return ReadSectors(static_cast<std::uint64_t>(g.ReservedSectors), fatImage_);
}

std::int64_t Volume::ClusterToSector(std::int64_t cluster) const {
  const auto &g = geometry_;
  std::int64_t sector = (cluster - 2) * g.SectorsPerCluster + g.RootStartSector;
  if (g.FatType == kFat16)
    sector += g.RootSectors;
  return sector;
}

std::uint64_t Volume::FatEntryCount() const {
  return fatImage_.size() / FatEntryWidth(geometry_.FatType);
}

std::optional<std::uint32_t> Volume::FatEntry(std::uint64_t n) const {
  return EntryOfWidth(FatEntryWidth(geometry_.FatType), n);
}

std::optional<std::uint32_t> Volume::EntryOfWidth(unsigned width, std::uint64_t n) const {
  return ReadFatEntry(fatImage_, width, n);
}

bool Volume::Listed(std::uint32_t cluster) const {
  return cluster / 64 < listed_.size() && (listed_[cluster / 64] >> (cluster % 64) & 1);
}

void Volume::ListCluster(std::uint32_t cluster) {
  chainList_.push_back(cluster);
  if (cluster / 64 < listed_.size())
    listed_[cluster / 64] |= std::uint64_t{1} << (cluster % 64);
}

void Volume::WalkEntries(unsigned width, std::int32_t first, OperationHost *host) {
  // Forget the previous walk's clusters; the bitmap is kept for the next.
  for (const auto c : chainList_)
    if (c / 64 < listed_.size())
      listed_[c / 64] = 0;
  chainList_.clear();
  const std::uint64_t words = (fatImage_.size() / width + 63) / 64;
  if (listed_.size() != words)
    listed_.assign(static_cast<std::size_t>(words), 0);

  if (first < 0 || first > geometry_.ClusterCount || !EntryOfWidth(width, std::uint64_t(first)))
    return;
  const int fatType = width == 2 ? kFat16 : kFat32;
  auto isEnd = [fatType](std::uint32_t next) {
    return next == 0 || IsAllOnesEndOfChain(next, fatType);
  };
  const std::size_t limit = geometry_.ClusterCount > 0 ? std::size_t(geometry_.ClusterCount) : 1;
  ListCluster(static_cast<std::uint32_t>(first));
  std::uint32_t current = static_cast<std::uint32_t>(first);
  for (;;) {
    if (host)
      host->Pump();
    // A next cluster whose own entry lies outside the image is listed and
    // ends the walk at the following round.
    const auto next = EntryOfWidth(width, current);
    if (!next || isEnd(*next) || Listed(*next) || chainList_.size() >= limit)
      break;
    ListCluster(*next);
    current = *next;
  }
}

void Volume::WalkFat16Chain(std::int32_t first, OperationHost *host) { WalkEntries(2, first, host); }

void Volume::WalkFat32Chain(std::int32_t first, OperationHost *host) { WalkEntries(4, first, host); }

void Volume::WalkChain(std::int32_t first, OperationHost *host) {
  if (geometry_.FatType == kFat16)
    WalkFat16Chain(first, host);
  else
    WalkFat32Chain(first, host);
}

} // namespace orvanta
