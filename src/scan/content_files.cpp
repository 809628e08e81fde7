#include "scan/content_files.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "scan/found_file_row.h"
#include "settings/language_file.h"
#include "volume/fat_entries.h"
#include "volume/file_clusters.h"

namespace orvanta {
namespace {

carve::Carver::Volume CarverVolume(Volume &volume) {
  const auto &g = volume.Geometry();
  carve::Carver::Volume v;
  if (!g.ClustersFitInMemory() || g.BytesPerCluster <= 0)
    return v;
  v.ClusterBytes = static_cast<std::uint32_t>(g.BytesPerCluster);
  // The last cluster the FAT has an entry for and the data area holds.
  const std::uint64_t entries = volume.FatEntryCount();
  const std::int64_t last = std::min<std::int64_t>(
      {LastDataCluster(g), std::int64_t{kMaxFat32Cluster}, std::int64_t(entries) - 1});
  v.LastCluster = static_cast<std::uint32_t>(std::max<std::int64_t>(last, 0));
  // The largest file FAT holds: 4 GiB - 1.
  v.MaxFileBytes = std::numeric_limits<std::uint32_t>::max();
  v.Read = [&volume](std::uint32_t first, std::span<std::uint8_t> out) {
    return volume.ReadSectors(volume.ClusterSector(static_cast<std::int32_t>(first)), out);
  };
  return v;
}

FoundDateTime DateTimeOf(const carve::FileStamp &s) {
  return {static_cast<std::uint16_t>(s.Year), static_cast<std::uint8_t>(s.Month),
          static_cast<std::uint8_t>(s.Day), static_cast<std::uint8_t>(s.Hour),
          static_cast<std::uint8_t>(s.Minute)};
}

} // namespace

ContentFiles::ContentFiles(FindContext &ctx)
    : ctx_(ctx), carver_(CarverVolume(ctx.State.Vol)) {
  lastCluster_ = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(ctx.State.Vol.FatEntryCount(), std::numeric_limits<std::uint32_t>::max()));
}

ContentFiles::ContentFiles(FindContext &ctx, carve::Carver::Volume volume)
    : ctx_(ctx), listRuns_(true), carver_(std::move(volume)) {}

bool ContentFiles::IsFree(std::uint32_t number) const {
  const auto &vol = ctx_.State.Vol;
  if (number < 2 || number >= lastCluster_)
    return false;
  const auto entry = vol.FatEntry(number);
  return entry && IsFreeEntry(*entry, vol.Geometry().FatType);
}

void ContentFiles::Cluster(std::uint32_t number, std::span<const std::uint8_t> bytes) {
  carver_.Cluster(number, IsFree(number), bytes);
}

std::string ContentFolder(FindContext &ctx, carve::Kind kind) {
  std::string folder = ctx.Text("Drive", "FoundByContent", "Found by content") + "\\";
  switch (kind) {
  case carve::Kind::Photo:
    return folder + ctx.Text("Drive", "Photos", "Photos");
  case carve::Kind::Video:
    return folder + ctx.Text("Drive", "Videos", "Videos");
  case carve::Kind::Document:
    return folder + ctx.Text("Drive", "Documents", "Documents");
  case carve::Kind::Music:
    return folder + ctx.Text("Drive", "Music", "Music");
  }
  return folder;
}

std::string ContentFileName(std::uint32_t firstCluster, std::string_view extension) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "f%08u.", static_cast<unsigned>(firstCluster));
  return digits + std::string(extension);
}

void ContentFiles::Record() {
  carver_.Finish();
  auto &found = carver_.Found();
  std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
    return a.FirstCluster() < b.FirstCluster();
  });
  const std::string drive = ctx_.State.Vol.Geometry().DrivePath + "\\";
  for (const auto &file : found) {
    const std::uint32_t first = file.FirstCluster();
    if (ctx_.EntryFirstClusters.count(first))
      continue;
    FoundFileRow row;
    row.Name = ContentFileName(first, file.Extension);
    if (!ctx_.AdmitsAll && !ctx_.Mask.Matches(row.Name))
      continue;
    row.Size = file.Size;
    row.Written = file.Stamp ? DateTimeOf(*file.Stamp) : FoundDateTime::None();
    if (file.Stamp)
      row.Seconds = file.Stamp->Second;
    row.FirstCluster = first;
    row.Mark = '0';
    row.Condition = file.Whole ? FileCondition::Intact : FileCondition::Partly;
    // On FAT one run from the first cluster is what a restore reads anyway.
    if (file.Runs.size() > 1 || listRuns_)
      row.Runs = file.Runs;
    RecordFoundFile(ctx_, drive + ContentFolder(ctx_, file.FileKind) + "\\",
                    std::move(row));
  }
  found.clear();
}

} // namespace orvanta
