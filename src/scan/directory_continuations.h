#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scan/find_context.h"

namespace orvanta {

// Bounds that a sound entry of this volume keeps to.
struct EntryLimits {
  int FatType = 0;
  std::uint32_t MaxCluster = 0; // the last data cluster
  std::int64_t MaxSize = 0;     // the data area in bytes
};

EntryLimits EntryLimitsOf(const TVolumeGeometry &g);

// How a buffer of 32-byte slots reads as directory entries.
struct EntryRun {
  // Every used slot is a sound short entry or a long-name piece that fits
  // its neighbours, every byte after the end mark is zero, and at least one
  // short entry is there.
  bool Sound = false;
  // The buffer opens with long-name pieces whose first part lies before it.
  bool OpensMidName = false;
  std::size_t LeadingPieces = 0; // piece slots before the first short entry
  int ShortEntries = 0;
  int CheckedNames = 0;          // live short entries whose long name's checksum fits
  bool LastSlotUsed = false;
};

// Reads `bytes` as directory entries that carry no "." pair: the later
// clusters of a directory. Short names are upper-case DOS names padded at
// the end, attributes hold no label or unknown bits, dates and times are
// real ones, clusters lie in the data area, files have a size that fits it
// (0 only with no cluster) and folders none. Long-name pieces descend to
// ordinal 1 with the checksum of the short entry after them; only the
// buffer's first slots may continue a name begun before it, and its last
// slots may leave one for after it. Deleted pieces are checked field by
// field only, since deletion overwrites their ordinal.
EntryRun ReadEntryRun(std::span<const std::uint8_t> bytes, const EntryLimits &limits);

// The deep scan's second look at the clusters of its pass: a cluster that
// the FAT calls free, has no "." pair and holds only sound entries is a
// later cluster of an old directory whose chain the FAT has lost (a
// formatted card; a deleted folder). Its files are recorded like those of
// a directory's first cluster: in the folder of the nearest earlier free
// directory cluster of the pass when that one's last slot is in use (a
// directory grows only once its clusters are full) and a long name cut at
// the border goes on across it; otherwise in a lost folder named after the
// cluster. Clusters of chains the FAT holds are never read this way.
class DirectoryContinuations {
public:
  explicit DirectoryContinuations(FindContext &ctx);

  // A directory's first cluster (a "." pair), whose files were recorded
  // under `folder`.
  void NoteFirstCluster(std::uint32_t number, std::span<const std::uint8_t> cluster,
                        const std::string &folder);
  // Any other cluster of the pass.
  void Examine(std::uint32_t number, std::span<const std::uint8_t> cluster);

private:
  struct Tail {
    std::string Folder;
    bool Full = false;
    std::vector<std::uint8_t> OpenName; // the long-name pieces its last slots leave open
  };

  bool IsFree(std::uint32_t number) const;
  void Remember(std::string folder, std::span<const std::uint8_t> cluster);
  std::string LostFolder(std::uint32_t number);
  void RecordFiles(std::span<const std::uint8_t> entries, std::size_t from,
                   const std::string &folder);

  FindContext &ctx_;
  EntryLimits limits_;
  std::optional<Tail> last_;
  std::vector<std::uint8_t> joined_;
};

} // namespace orvanta
