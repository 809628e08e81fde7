#include "wipe/wipe_engine.h"

#include "scan/directory_walk.h"

#include <algorithm>
#include <cstring>

#include "engine/text.h"
#include "scan/entry_decoding.h"
#include "volume/byte_reader.h"
#include "volume/directory_reads.h"
#include "volume/fat_entries.h"

namespace orvanta {

namespace {

constexpr std::size_t kEntry = dir_entry::kSize;

// A run of free clusters goes out in one transfer; only a cluster size that
// no FAT volume has (a damaged boot sector) splits it into transfers of at
// most this many bytes, so that a wrong number cannot take the memory.
constexpr std::size_t kMaxTransferBytes = std::size_t{16} << 20;

// Free runs that follow one another are written together up to this many
// bytes: the device then moves about a megabyte per transfer.
constexpr std::size_t kZeroTransferBytes = std::size_t{1} << 20;

// Long names hold at most 20 pieces (255 characters).
constexpr std::size_t kMaxLongNamePieces = 20;

// Whether a block begins the directory that lives at `cluster`: a "."
// directory entry that names this very cluster, then "..". File data that
// merely starts with dots (or a disk image kept as a file, whose directories
// name clusters of another volume) does not.
bool BeginsDirectoryAt(std::span<const std::uint8_t> block, std::uint32_t cluster, int fatType) {
  if (block.size() < 2 * kEntry)
    return false;
  if (block[0] != '.' || block[kEntry] != '.' || block[kEntry + 1] != '.')
    return false;
  if (!(block[dir_entry::kAttributes] & dir_entry::kDirectory))
    return false;
  return EntryFirstCluster(block.first(kEntry), fatType) == cluster;
}

} // namespace

std::uint8_t ShortNameChecksum(std::span<const std::uint8_t> entry) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 11 && i < entry.size(); ++i)
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + entry[i]);
  return sum;
}

std::size_t OwnLongNamePieces(const std::vector<std::span<const std::uint8_t>> &pieces,
                              std::span<const std::uint8_t> shortEntry) {
  constexpr std::size_t kChecksum = 13;
  constexpr std::uint8_t kLastPiece = 0x40;
  const std::uint8_t sum = ShortNameChecksum(shortEntry);
  std::size_t count = 0;
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    const auto &piece = *it;
    if (piece.size() < kEntry || piece[kChecksum] != sum || ++count > kMaxLongNamePieces)
      return 0;
    const std::uint8_t ordinal = piece[0];
    if (ordinal & kLastPiece)
      return (ordinal & ~kLastPiece) == count ? count : 0;
    if (ordinal != count)
      return 0;
  }
  return 0; // no piece flagged as the name's last
}

WipeEngine::WipeEngine(FindState &state, OperationHost &host) : state_(state), host_(host) {
  auto &vol = state_.Vol;
  const auto &g = vol.Geometry();
  if (g.SectorsPerCluster <= 0 || g.BytesPerSector <= 0)
    return;
  const std::int64_t dataStart = vol.ClusterToSector(2);
  std::int64_t dataEnd = g.TotalSectors;
  if (const auto size = vol.DeviceSizeBytes())
    dataEnd = std::min<std::int64_t>(dataEnd,
                                     static_cast<std::int64_t>(*size / std::uint64_t(g.BytesPerSector)));
  if (dataStart < 0 || dataEnd <= dataStart)
    return;
  std::int64_t last = (dataEnd - dataStart) / g.SectorsPerCluster + 1;
  // A cluster needs its FAT entry.
  last = std::min<std::int64_t>(last, static_cast<std::int64_t>(vol.FatEntryCount()) - 1);
  last = std::min<std::int64_t>(last, kFat32EntryMask);
  if (last >= 2)
    lastDataCluster_ = static_cast<std::uint32_t>(last);
}

void WipeEngine::WipeFATCluster(std::int32_t index) {
  auto &vol = state_.Vol;
  const auto &g = vol.Geometry();
  if (index < 0 || g.BytesPerSector <= 0 || g.BytesPerCluster <= 0)
    return;

  if (index == 0 && g.FatType == kFat16) {
    // The fixed root region, as one block.
    if (g.RootSectors <= 0 || g.RootStartSector < 0)
      return;
    const auto sector = static_cast<std::uint64_t>(g.RootStartSector);
    std::vector<std::uint8_t> block(std::size_t(g.RootSectors) * std::size_t(g.BytesPerSector));
    std::vector<std::uint8_t> out;
    if (!vol.ReadSectors(sector, block) || !PurgeEntries(block, out))
      return;
    const std::int64_t start = g.RootStartSector;
    WriteChangedSectors({&start, 1}, block.size(), block, out);
    return;
  }

  // The FAT32 root is the directory of the root cluster; it has no dot entries.
  const std::uint32_t first = index == 0 ? g.RootCluster : static_cast<std::uint32_t>(index);
  if (first >= 2 && first > lastDataCluster_)
    return; // past the data area: not a cluster
  const auto clusterBytes = static_cast<std::size_t>(g.BytesPerCluster);
  std::vector<std::uint8_t> bytes(clusterBytes);
  if (!vol.ReadSectors(vol.ClusterSector(static_cast<std::int32_t>(first)), bytes))
    return;
  if (index != 0 && !BeginsDirectoryAt(bytes, first, g.FatType))
    return;

  const auto entry = vol.FatEntry(first);
  if (first < 2 || !entry || *entry == 0) {
    // The block before the data area, or a deleted directory: its first
    // cluster is all that can be told of it.
    std::vector<std::uint8_t> out;
    if (!PurgeEntries(bytes, out))
      return;
    const std::int64_t start = vol.ClusterToSector(static_cast<std::int32_t>(first));
    WriteChangedSectors({&start, 1}, clusterBytes, bytes, out);
    return;
  }

  // A live directory: the whole of it, so that the entries after its last
  // survivor are known. A directory whose chain is damaged, reaches past
  // the data area or cannot be read whole is left as it is.
  const auto chain = DirectoryChain(vol, first);
  const auto lastEntry = vol.FatEntry(chain.back());
  if (!lastEntry || !IsEndOfChain(*lastEntry, g.FatType) ||
      std::any_of(chain.begin(), chain.end(), [&](std::uint32_t c) { return c > lastDataCluster_; }))
    return;
  if (chain.size() > 1) {
    const std::vector<std::uint32_t> rest(chain.begin() + 1, chain.end());
    std::vector<std::uint8_t> more;
    if (!ReadClusters(vol, rest, more) || more.size() != rest.size() * clusterBytes)
      return;
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  std::vector<std::uint8_t> out;
  if (!PurgeEntries(bytes, out))
    return;
  std::vector<std::int64_t> starts;
  for (const auto c : chain)
    starts.push_back(vol.ClusterToSector(static_cast<std::int32_t>(c)));
  WriteChangedSectors(starts, clusterBytes, bytes, out);
}

bool WipeEngine::PurgeEntries(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out) {
  return ScanEntries(bytes) && BlankEntries(bytes, out);
}

// The scan: deleted files are logged and counted, directories queued. The
// first entry is always looked at; an entry whose first byte is 0x00 ends
// the directory after it.
bool WipeEngine::ScanEntries(std::span<const std::uint8_t> bytes) {
  const auto &g = state_.Vol.Geometry();
  const auto end = WalkDirectory(bytes, 0, g.FatType, host_, /*stoppable=*/true,
                                 [&](const ShortEntry &entry, std::span<const std::uint8_t> raw) {
    // Without a long name, the base name alone decides whether the entry
    // names anything.
    const ShortName shortName = entry.HasLongName ? ShortName{} : ShortNameParts(raw);
    std::string name = entry.HasLongName ? entry.Name : shortName.Base;
    if (name.empty() || name == "." || name == "..")
      return true;
    if (!entry.HasLongName && !shortName.Extension.empty())
      name += "." + shortName.Extension;
    if (entry.IsDirectory && std::int64_t{entry.FirstCluster} < g.ClusterCount) {
      queue_.Add(entry.FirstCluster);
    } else if (entry.IsDeleted()) {
      host_.Log(name);
      ++state_.FoundCount;
      host_.SetCounter(state_.FoundCount);
    }
    return true;
  });
  return end != WalkEnd::Stopped;
}

// Every entry stays in its slot: a deleted entry becomes 0xE5 and zero
// bytes, and so do long-name pieces that belong to no surviving entry (a
// deleted file's pieces left unmarked, pieces cut off by a deleted entry,
// pieces of another checksum), so that no survivor gains a name it did not
// have. Everything after the last survivor, whatever lay behind the end
// marker included, becomes zero bytes. No live entry moves, so any subset
// of the changed sectors on the volume is a sound directory.
bool WipeEngine::BlankEntries(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out) {
  out.assign(bytes.begin(), bytes.end());
  auto blank = [&](std::size_t at) {
    out[at] = dir_entry::kDeleted;
    std::fill(out.begin() + std::ptrdiff_t(at + 1), out.begin() + std::ptrdiff_t(at + kEntry), 0);
  };
  std::vector<std::size_t> pieces; // live pieces since the last short entry
  auto blankPieces = [&](std::size_t kept) {
    for (std::size_t i = 0; i + kept < pieces.size(); ++i)
      blank(pieces[i]);
    pieces.clear();
  };
  std::size_t survivorsEnd = 0;
  for (std::size_t at = 0; at + kEntry <= bytes.size(); at += kEntry) {
    const auto raw = bytes.subspan(at, kEntry);
    if (at > 0 && raw[0] == dir_entry::kEnd)
      break;
    host_.Pump();
    if (!host_.Running())
      return false;
    if (raw[0] == dir_entry::kDeleted) {
      blankPieces(0);
      blank(at);
      continue;
    }
    if (raw[dir_entry::kAttributes] == dir_entry::kLongNamePiece) {
      pieces.push_back(at);
      continue;
    }
    std::vector<std::span<const std::uint8_t>> own;
    for (const auto p : pieces)
      own.push_back(bytes.subspan(p, kEntry));
    blankPieces(OwnLongNamePieces(own, raw));
    survivorsEnd = at + kEntry;
  }
  std::fill(out.begin() + std::ptrdiff_t(survivorsEnd), out.end(), 0);
  return true;
}

// Writes the sectors whose bytes changed, one sector per write, front to
// back. `bytes` lie on the volume in parts of `partBytes` each, part i
// from sector starts[i]. Each sector's change stands on its own, so an
// interruption between any two writes leaves every live entry once in its
// directory. The first write that fails ends the directory there; it is
// counted.
void WipeEngine::WriteChangedSectors(std::span<const std::int64_t> starts, std::size_t partBytes,
                                     std::span<const std::uint8_t> before,
                                     std::span<const std::uint8_t> after) {
  auto &vol = state_.Vol;
  const auto sectorBytes = static_cast<std::size_t>(vol.Geometry().BytesPerSector);
  for (std::size_t part = 0; part < starts.size(); ++part) {
    for (std::size_t s = 0; (s + 1) * sectorBytes <= partBytes; ++s) {
      const std::size_t at = part * partBytes + s * sectorBytes;
      const auto now = after.subspan(at, sectorBytes);
      if (std::equal(now.begin(), now.end(), before.begin() + std::ptrdiff_t(at)))
        continue;
      const std::int64_t sector = starts[part] + std::int64_t(s);
      if (sector < 0 || !vol.WriteSectors(static_cast<std::uint64_t>(sector), now)) {
        ++failedWrites_;
        return;
      }
    }
  }
}

bool WipeEngine::WipeFAT16() { return FreeSpacePass(2); }
bool WipeEngine::WipeFAT32() { return FreeSpacePass(4); }

std::uint32_t WipeEngine::EntryOfWidth(unsigned width, std::uint64_t n) const {
  // Outside the image: nothing to treat as free.
  return ReadFatEntry(state_.Vol.FatImage(), width, n).value_or(0xFFFFFFFF);
}

bool WipeEngine::FreeSpacePass(unsigned width) {
  const auto &g = state_.Vol.Geometry();
  if (g.BytesPerCluster <= 0)
    return host_.Running();
  // Indexes below ClusterCount - 1 that the image holds, up to the last
  // cluster of the data area: the FAT's entries beyond it are not clusters.
  std::int64_t end = std::int64_t{g.ClusterCount} - 1;
  end = std::min<std::int64_t>(end, static_cast<std::int64_t>(state_.Vol.FatImage().size() / width));
  end = std::min<std::int64_t>(end, std::int64_t{lastDataCluster_} + 1);
  // Runs already measured are written whatever happens next, as if each
  // had been written at once.
  struct Flush {
    WipeEngine &Engine;
    ~Flush() { Engine.FlushZeros(); }
  } flush{*this};
  for (std::int64_t n = 0; n < end;) {
    host_.Pump();
    if (!host_.Running())
      return false;
    if (g.ClusterCount > 0) {
      passPercent_ = ProgressPercent({n, g.ClusterCount});
      host_.MoveProgress(n, g.ClusterCount);
    }
    host_.SetCounter(n);
    // The two reserved entries are never free space, whatever they hold.
    if (n < 2 || EntryOfWidth(width, std::uint64_t(n)) != 0) {
      FlushZeros();
      WipeFATCluster(static_cast<std::int32_t>(n));
      ++n;
      continue;
    }
    std::uint32_t run = 1;
    while (run < kMaxRunClusters && n + run < end) {
      host_.Pump();
      if (!host_.Running())
        return false;
      if (EntryOfWidth(width, std::uint64_t(n + run)) != 0)
        break;
      ++run;
    }
    QueueZeros(static_cast<std::int32_t>(n), run);
    n += run;
  }
  FlushZeros();
  return host_.Running();
}

void WipeEngine::QueueZeros(std::int32_t cluster, std::uint32_t clusters) {
  const auto clusterBytes = static_cast<std::size_t>(state_.Vol.Geometry().BytesPerCluster);
  std::size_t pending = 0;
  for (const auto run : pendingRuns_)
    pending += run;
  if (!pendingRuns_.empty() &&
      (std::int64_t{pendingFirst_} + std::int64_t(pending) != cluster ||
       (pending + clusters) * clusterBytes > kZeroTransferBytes))
    FlushZeros();
  if (pendingRuns_.empty())
    pendingFirst_ = cluster;
  pendingRuns_.push_back(clusters);
}

// One transfer for all pending runs; when the volume refuses it, each run on
// its own, so that a refused run fails alone and counts once.
void WipeEngine::FlushZeros() {
  if (pendingRuns_.empty())
    return;
  std::uint32_t total = 0;
  for (const auto run : pendingRuns_)
    total += run;
  if (pendingRuns_.size() == 1 || !WriteZeros(pendingFirst_, total)) {
    std::int32_t cluster = pendingFirst_;
    for (const auto run : pendingRuns_) {
      if (!WriteZeros(cluster, run))
        ++failedWrites_;
      cluster += static_cast<std::int32_t>(run);
    }
  }
  pendingRuns_.clear();
}

bool WipeEngine::WriteZeros(std::int32_t cluster, std::uint32_t clusters) {
  auto &vol = state_.Vol;
  const auto &g = vol.Geometry();
  const auto sectorBytes = static_cast<std::size_t>(g.BytesPerSector);
  std::size_t remaining = std::size_t{clusters} * static_cast<std::size_t>(g.BytesPerCluster);
  const std::size_t chunk = std::max(sectorBytes, kMaxTransferBytes / sectorBytes * sectorBytes);
  if (zeros_.size() < std::min(remaining, chunk))
    zeros_.Resize(std::min(remaining, chunk));
  std::uint64_t sector = vol.ClusterSector(cluster);
  while (remaining > 0) {
    const std::size_t bytes = std::min(remaining, chunk);
    if (!vol.WriteSectors(sector, std::span<const std::uint8_t>(zeros_.data(), bytes)))
      return false;
    sector += bytes / sectorBytes;
    remaining -= bytes;
  }
  return true;
}

} // namespace orvanta
