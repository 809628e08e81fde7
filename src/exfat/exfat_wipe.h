#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/operation_host.h"
#include "exfat/exfat_volume.h"
#include "scan/find_state.h"

namespace orvanta::exfat {

// The two wipes of an exFAT volume opened with its FAT.
//
// The purge reads every folder from the root down. In a live folder the
// entries in use keep their order and move to its front, and everything
// after them becomes zeros: an end-of-directory entry never comes before a
// live set, so no live file is hidden. The directories of deleted folders,
// as far as the bitmap shows their clusters free, become zeros. Every file
// whose set goes (deleted files, and the files of deleted folders) is
// logged and counted in FoundCount. The free-space pass then writes zeros
// over every cluster the bitmap shows free. Nothing is written outside the
// heap, and the bitmap and the up-case table are shielded as well; the
// boot regions and the FATs never change. Each unit of work (a directory,
// a run of free clusters) pumps the host first and ends quietly after Stop:
// a directory is written front to back, sector by sector, and the first
// write that fails ends it there, so that an interruption can only leave
// an entry twice, never lose one.
class ExfatWipe {
public:
  ExfatWipe(FindState &state, OperationHost &host);

  // The purge of every folder. False after Stop.
  bool PurgeDirectories();
  // The free-space pass over the heap. False after Stop.
  bool WipeFreeClusters();

  std::int64_t FailedWrites() const { return failedWrites_; }
  std::int64_t PassPercent() const { return passPercent_; }

private:
  struct Folder {
    std::string Path;
    std::vector<std::uint32_t> Clusters;
    bool Deleted = false;
  };
  void Purge(const Folder &folder, std::vector<Folder> &queue);
  void WriteChanged(const std::vector<std::uint32_t> &clusters,
                    const std::vector<std::uint8_t> &before, const std::vector<std::uint8_t> &after);
  void CountGone(const std::string &path, const std::string &name);

  FindState &state_;
  OperationHost &host_;
  AllocationBitmap bitmap_;
  bool haveBitmap_ = false;
  std::unordered_set<std::uint32_t> purged_;
  std::int64_t failedWrites_ = 0;
  std::int64_t passPercent_ = 0;
};

} // namespace orvanta::exfat
