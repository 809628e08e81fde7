#include "scan/directory_continuations.h"

#include <algorithm>
#include <string_view>

#include "scan/deep_scan.h"
#include "scan/directory_walk.h"
#include "volume/byte_reader.h"
#include "volume/fat_entries.h"

namespace orvanta {

namespace {

// Fields of a short entry beyond those the scans decode.
constexpr std::size_t kCreationTenths = 13; // 0-199: hundredths of a second to add
constexpr std::size_t kCreationTime = 14;
constexpr std::size_t kCreationDate = 16;
constexpr std::size_t kAccessDate = 18;
constexpr std::uint8_t kKnownAttributes = 0x01 | 0x02 | 0x04 | dir_entry::kDirectory | 0x20;
constexpr std::uint8_t kCaseFlags = dir_entry::kLowerCaseName | dir_entry::kLowerCaseExtension;

// Fields of a long-name piece.
constexpr std::size_t kPieceType = 12;
constexpr std::size_t kPieceChecksum = 13;
constexpr std::size_t kPieceCluster = 26;
constexpr std::uint8_t kFinalPiece = 0x40; // on the piece that holds the name's end
constexpr int kMaxPieces = 20;             // 255 characters
constexpr std::size_t kPieceChars[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
constexpr char16_t kPadding = 0xFFFF;
constexpr std::u16string_view kNotInLongNames = u"\"*/:<>?\\|";

bool RealDate(std::uint16_t date) {
  const int month = (date >> 5) & 0x0F, day = date & 0x1F;
  return month >= 1 && month <= 12 && day >= 1;
}

bool RealTime(std::uint16_t time) {
  return (time >> 11) <= 23 && ((time >> 5) & 0x3F) <= 59 && (time & 0x1F) <= 29;
}

// A byte that DOS lets stand in a short name (space aside): no control
// characters, no lower case, none of the separators.
bool ShortNameByte(std::uint8_t b) {
  if (b < 0x20 || b == 0x7F || (b >= 'a' && b <= 'z'))
    return false;
  constexpr std::string_view kSeparators = "\"*+,./:;<=>?[\\]| ";
  return kSeparators.find(static_cast<char>(b)) == std::string_view::npos;
}

// Name bytes [from, to), then nothing but blank padding.
bool PaddedField(std::span<const std::uint8_t> e, std::size_t from, std::size_t to) {
  bool padding = false;
  for (std::size_t i = from; i < to; ++i) {
    if (e[i] == ' ')
      padding = true;
    else if (padding || !ShortNameByte(e[i]))
      return false;
  }
  return true;
}

bool SoundShortEntry(std::span<const std::uint8_t> e, const EntryLimits &limits) {
  const ByteReader r(e);
  // 0xE5 marks a deleted entry, 0x05 a name that begins with 0xE5.
  const std::uint8_t first = e[dir_entry::kName];
  if (first != dir_entry::kDeleted && first != 0x05 && !ShortNameByte(first))
    return false;
  if (!PaddedField(e, 1, 8) || !PaddedField(e, dir_entry::kExtension, dir_entry::kAttributes))
    return false;
  const std::uint8_t attributes = e[dir_entry::kAttributes];
  if ((attributes & ~kKnownAttributes) != 0 || (e[dir_entry::kCaseFlags] & ~kCaseFlags) != 0)
    return false;
  if (e[kCreationTenths] > 199)
    return false;
  const std::uint16_t createdAt = r.Le16(kCreationTime), createdOn = r.Le16(kCreationDate),
                      accessedOn = r.Le16(kAccessDate);
  if ((createdAt && !RealTime(createdAt)) || (createdOn && !RealDate(createdOn)) ||
      (accessedOn && !RealDate(accessedOn)))
    return false;
  if (!RealTime(r.Le16(dir_entry::kTime)) || !RealDate(r.Le16(dir_entry::kDate)))
    return false;
  if (limits.FatType == kFat16 && r.Le16(dir_entry::kClusterHigh) != 0)
    return false;
  const std::uint32_t cluster = EntryFirstCluster(e, limits.FatType);
  const std::uint32_t size = r.Le32(dir_entry::kFileSize);
  const bool inDataArea = cluster >= 2 && cluster <= limits.MaxCluster;
  if (attributes & dir_entry::kDirectory)
    return size == 0 && inDataArea;
  return size == 0 ? cluster == 0 : (std::int64_t{size} <= limits.MaxSize && inDataArea);
}

struct PieceText {
  bool Sound = false;
  bool Whole = false;  // all 13 characters belong to the name
  bool Begins = false; // the first character belongs to the name
};

// A piece's fixed fields and characters: name characters, then possibly a
// 0 terminator and 0xFFFF padding to the end.
PieceText ReadPiece(std::span<const std::uint8_t> e) {
  const ByteReader r(e);
  if (e[kPieceType] != 0 || r.Le16(kPieceCluster) != 0)
    return {};
  bool ended = false;
  for (const std::size_t at : kPieceChars) {
    const char16_t c = r.Le16(at);
    if (ended) {
      if (c != kPadding)
        return {};
    } else if (c == 0) {
      ended = true;
    } else if (c == kPadding || c < 0x20 || kNotInLongNames.find(c) != std::u16string_view::npos) {
      return {};
    }
  }
  const char16_t first = r.Le16(kPieceChars[0]);
  return {true, !ended, first != 0 && first != kPadding};
}

std::uint8_t ShortNameChecksum(std::span<const std::uint8_t> e) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 11; ++i)
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + e[i]);
  return sum;
}

// Slots at the end of a full cluster that hold long-name pieces: the start
// of a name whose short entry lies in the directory's next cluster.
std::size_t OpenNameSlots(std::span<const std::uint8_t> cluster) {
  const std::size_t slots = cluster.size() / dir_entry::kSize;
  std::size_t k = slots;
  while (k > 0 && slots - k < std::size_t{kMaxPieces}) {
    const auto e = cluster.subspan((k - 1) * dir_entry::kSize, dir_entry::kSize);
    if (e[dir_entry::kName] == dir_entry::kEnd ||
        e[dir_entry::kAttributes] != dir_entry::kLongNamePiece)
      break;
    --k;
  }
  return slots - k;
}

} // namespace

EntryLimits EntryLimitsOf(const TVolumeGeometry &g) {
  EntryLimits limits;
  limits.FatType = g.FatType;
  if (g.SectorsPerCluster <= 0 || g.BytesPerCluster <= 0)
    return limits;
  const std::int64_t dataStart =
      std::int64_t{g.RootStartSector} + (g.FatType == kFat16 ? g.RootSectors : 0);
  const std::int64_t dataClusters =
      std::max<std::int64_t>(0, (std::int64_t{g.TotalSectors} - dataStart) / g.SectorsPerCluster);
  limits.MaxCluster =
      static_cast<std::uint32_t>(std::min<std::int64_t>(dataClusters + 1, kMaxFat32Cluster));
  limits.MaxSize = dataClusters * g.BytesPerCluster;
  return limits;
}

EntryRun ReadEntryRun(std::span<const std::uint8_t> bytes, const EntryLimits &limits) {
  EntryRun run;
  const std::size_t slots = bytes.size() / dir_entry::kSize;
  bool nameOpen = false; // live pieces wait for their short entry
  int nextOrdinal = 0;
  std::uint8_t checksum = 0;
  std::size_t i = 0;
  for (; i < slots; ++i) {
    const auto e = bytes.subspan(i * dir_entry::kSize, dir_entry::kSize);
    const std::uint8_t first = e[dir_entry::kName];
    if (first == dir_entry::kEnd) {
      if (i == 0)
        return {}; // nothing used (a zeroed cluster)
      break;
    }
    if (e[dir_entry::kAttributes] == dir_entry::kLongNamePiece) {
      const PieceText text = ReadPiece(e);
      if (!text.Sound)
        return {};
      if (run.ShortEntries == 0)
        ++run.LeadingPieces;
      if (first == dir_entry::kDeleted) {
        if (nameOpen)
          return {};
        continue;
      }
      const int ordinal = first & 0x1F;
      if ((first & 0xA0) != 0 || ordinal < 1 || ordinal > kMaxPieces)
        return {};
      if (nameOpen) {
        if ((first & kFinalPiece) || ordinal != nextOrdinal || e[kPieceChecksum] != checksum ||
            !text.Whole)
          return {};
      } else if (first & kFinalPiece) {
        if (!text.Begins)
          return {};
      } else {
        // Only the first slot may carry on a name from before the buffer.
        if (i != 0 || !text.Whole)
          return {};
        run.OpensMidName = true;
      }
      nameOpen = true;
      checksum = e[kPieceChecksum];
      nextOrdinal = ordinal - 1;
      continue;
    }
    if (!SoundShortEntry(e, limits))
      return {};
    if (nameOpen) {
      if (nextOrdinal != 0 || first == dir_entry::kDeleted || ShortNameChecksum(e) != checksum)
        return {};
      nameOpen = false;
      ++run.CheckedNames;
    }
    ++run.ShortEntries;
  }
  if (i < slots) {
    if (nameOpen)
      return {};
    const auto rest = bytes.subspan(i * dir_entry::kSize, (slots - i) * dir_entry::kSize);
    if (std::any_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b != 0; }))
      return {};
  }
  run.LastSlotUsed = i == slots && slots > 0;
  run.Sound = run.ShortEntries > 0;
  return run;
}

DirectoryContinuations::DirectoryContinuations(FindContext &ctx)
    : ctx_(ctx), limits_(EntryLimitsOf(ctx.State.Vol.Geometry())) {}

bool DirectoryContinuations::IsFree(std::uint32_t number) const {
  if (number < 2 || number > limits_.MaxCluster)
    return false;
  const auto entry = ctx_.State.Vol.FatEntry(number);
  return entry && IsFreeEntry(*entry, limits_.FatType);
}

void DirectoryContinuations::NoteFirstCluster(std::uint32_t number,
                                              std::span<const std::uint8_t> cluster,
                                              const std::string &folder) {
  // A directory whose chain the FAT holds was walked whole, and nothing
  // free continues it.
  if (IsFree(number))
    Remember(folder, cluster);
}

void DirectoryContinuations::Remember(std::string folder, std::span<const std::uint8_t> cluster) {
  Tail tail;
  tail.Folder = std::move(folder);
  tail.Full = cluster.size() >= dir_entry::kSize &&
              cluster[cluster.size() - dir_entry::kSize] != dir_entry::kEnd;
  if (tail.Full) {
    const std::size_t open = OpenNameSlots(cluster) * dir_entry::kSize;
    tail.OpenName.assign(cluster.end() - static_cast<std::ptrdiff_t>(open), cluster.end());
  }
  last_ = std::move(tail);
}

void DirectoryContinuations::Examine(std::uint32_t number, std::span<const std::uint8_t> cluster) {
  if (!IsFree(number))
    return;
  const EntryRun run = ReadEntryRun(cluster, limits_);
  if (!run.Sound)
    return;

  // It goes on from the last directory cluster of the pass when that one
  // is full and the two agree on any long name that crosses between them.
  bool continues = false;
  std::span<const std::uint8_t> entries = cluster;
  if (last_ && last_->Full) {
    if (last_->OpenName.empty()) {
      continues = !run.OpensMidName;
    } else {
      joined_.assign(last_->OpenName.begin(), last_->OpenName.end());
      joined_.insert(joined_.end(), cluster.begin(), cluster.end());
      const EntryRun across = ReadEntryRun(joined_, limits_);
      continues = across.Sound && !across.OpensMidName;
      if (continues)
        entries = joined_;
    }
  }
  // On its own a cluster must show more than one entry, or a long name
  // whose checksum fits: data rarely reads so.
  if (!continues && run.CheckedNames == 0 && run.ShortEntries < 2)
    return;

  std::string folder;
  if (continues) {
    folder = last_->Folder;
    RecordFiles(entries, 0, folder);
  } else {
    folder = LostFolder(number);
    // A name begun in a cluster not known is left to its short entry.
    RecordFiles(cluster, run.OpensMidName ? run.LeadingPieces * dir_entry::kSize : 0, folder);
  }
  Remember(std::move(folder), cluster);
}

std::string DirectoryContinuations::LostFolder(std::uint32_t number) {
  const auto &drive = ctx_.State.Vol.Geometry().DrivePath;
  return drive + "\\" + LostFolderName(ctx_, number) + "\\";
}

void DirectoryContinuations::RecordFiles(std::span<const std::uint8_t> entries, std::size_t from,
                                         const std::string &folder) {
  WalkDirectory(entries, from, limits_.FatType, ctx_.Host, /*stoppable=*/false,
                [&](const ShortEntry &e, std::span<const std::uint8_t> raw) {
                  if (e.IsDirectory || !e.Named())
                    return true;
                  if (ctx_.Live.FileExists(folder + e.Name))
                    return true;
                  if (auto row = FoundFileRowOf(ctx_, e, raw, e.IsDeleted() ? '1' : '0'))
                    RecordFoundFile(ctx_, folder, std::move(*row));
                  return true;
                });
}

} // namespace orvanta
