#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/operation_host.h"
#include "scan/find_state.h"
#include "volume/aligned_buffer.h"
#include "wipe/directory_queue.h"

namespace orvanta {

// The two tools of a wipe, over the volume selected in the engine state
// (geometry and FAT loaded):
//
// - the directory purge, WipeFATCluster, which blanks the entries of
//   deleted files of one directory where they lie (0xE5, then zero bytes),
//   and zeroes everything after the last surviving entry;
// - the free-space pass, WipeFAT16 and WipeFAT32, which overwrites every
//   free cluster of the data area with zero bytes and hands every used
//   cluster to the purge, which changes only clusters that begin a
//   directory.
//
// Nothing but free clusters and directory blocks is ever written; the FAT
// and the boot sector never are. Every unit of work pumps the host first and
// stops quietly when its running flag is cleared: a directory is then left
// as it was. A directory is written one changed sector at a time, and no
// live entry ever moves: whichever of its writes reach the volume, every
// live entry is there once.
class WipeEngine {
public:
  static constexpr std::uint32_t kMaxRunClusters = 32;

  WipeEngine(FindState &state, OperationHost &host);

  // Purges one directory. Index 0 is the root directory (the fixed region
  // on FAT16; on FAT32 the directory of the root cluster). Any other index is a
  // cluster that is purged only when it begins a directory: a "." entry for
  // a directory at that very cluster, then a ".." entry. A directory whose
  // chain in the FAT is intact is purged along its whole chain; one whose
  // first cluster is free (a deleted directory) in its first cluster only.
  // Deleted files are logged and counted in FoundCount; directories met are
  // appended to Queue().
  void WipeFATCluster(std::int32_t index);

  // The free-space pass over a FAT of 16-bit or 32-bit entries. True when
  // it visited its whole range (no Stop).
  bool WipeFAT16();
  bool WipeFAT32();

  DirectoryQueue &Queue() { return queue_; }
  const DirectoryQueue &Queue() const { return queue_; }
  // Writes the volume refused during this engine's life, those outside the
  // write fence (see InsideWriteFence) included.
  std::int64_t FailedWrites() const { return failedWrites_; }
  // The last percentage the free-space pass computed.
  std::int64_t PassPercent() const { return passPercent_; }
  // The last cluster of the data area: it ends at TotalSectors or at the
  // device's end, whichever comes first. 1 when there is no data cluster.
  std::uint32_t LastDataCluster() const { return lastDataCluster_; }

private:
  bool FreeSpacePass(unsigned entryWidth);
  std::uint32_t EntryOfWidth(unsigned width, std::uint64_t n) const;
  bool PurgeEntries(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out);
  bool ScanEntries(std::span<const std::uint8_t> bytes);
  bool BlankEntries(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out);
  void WriteChangedSectors(std::span<const std::int64_t> starts, std::size_t partBytes,
                           std::span<const std::uint8_t> before,
                           std::span<const std::uint8_t> after);
  bool WriteZeros(std::int32_t cluster, std::uint32_t clusters);
  void QueueZeros(std::int32_t cluster, std::uint32_t clusters);
  void FlushZeros();

  FindState &state_;
  OperationHost &host_;
  DirectoryQueue queue_;
  std::int64_t failedWrites_ = 0;
  std::int64_t passPercent_ = 0;
  std::uint32_t lastDataCluster_ = 1;
  AlignedBuffer zeros_;
  // Free runs measured but not yet written: they follow one another from
  // pendingFirst_ on, and go out together in one transfer.
  std::int32_t pendingFirst_ = 0;
  std::vector<std::uint32_t> pendingRuns_;
};

// The checksum of a short entry's 11 name bytes that its long-name pieces
// carry at byte 13.
std::uint8_t ShortNameChecksum(std::span<const std::uint8_t> entry);

// How many of the long-name pieces that lie directly before a short entry
// (given in disk order) form that entry's long name: the last pieces, with
// ordinals counting up from 1 towards the short entry's end and the final
// one flagged 0x40, each carrying the entry's checksum. 0 when they form
// none.
std::size_t OwnLongNamePieces(const std::vector<std::span<const std::uint8_t>> &pieces,
                              std::span<const std::uint8_t> shortEntry);

} // namespace orvanta
