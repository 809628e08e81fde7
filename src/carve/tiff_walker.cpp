#include "carve/tiff_walker.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "carve/tiff_reader.h"

namespace orvanta::carve {
namespace {

constexpr int kMaxIfds = 64;
// The head read whole: the IFDs of a raw photo lie within it.
constexpr std::size_t kHeadBytes = std::size_t{1} << 17;

std::string_view RawExtension(const TiffReader &tiff, const TiffReader::Ifd &first,
                           std::span<const std::uint8_t> head, bool dng) {
  if (head.size() > 10 && head[8] == 'C' && head[9] == 'R')
    return "cr2";
  if (dng)
    return "dng";
  const std::uint16_t magic = tiff.U16(2);
  if (magic == 0x55)
    return "rw2";
  if (magic == 0x4F52 || magic == 0x5352)
    return "orf";
  for (const auto &e : first.Entries) {
    if (e.Tag != tiff_tag::kMake || e.Type != 2)
      continue;
    const auto value = tiff.Value(e);
    if (!value)
      break;
    const std::string_view make(reinterpret_cast<const char *>(value->data()), value->size());
    if (make.starts_with("NIKON"))
      return "nef";
    if (make.starts_with("SONY"))
      return "arw";
    if (make.starts_with("PENTAX") || make.starts_with("RICOH"))
      return "pef";
    break;
  }
  return "tif";
}

} // namespace

TiffWalker::TiffWalker(std::uint64_t maxLength) : Walker(Kind::Photo, "tif", maxLength) {}

void TiffWalker::Start() {
  Gather(static_cast<std::size_t>(std::min<std::uint64_t>(kHeadBytes, Room())), kHead);
}

void TiffWalker::Gathered(int step, std::span<const std::uint8_t> head) {
  if (step == kTail)
    return End();
  const TiffReader tiff(head);
  if (!tiff.Valid())
    return Break();
  const auto first = tiff.ReadIfd(tiff.FirstIfd());
  if (!first || first->Entries.size() < 4)
    return Break();

  std::uint64_t end = 8;
  bool picture = false, dng = false;
  std::vector<std::uint32_t> pending{tiff.FirstIfd()};
  std::unordered_set<std::uint32_t> seen;
  auto extend = [&](std::uint64_t offset, std::uint64_t bytes) {
    end = std::max(end, offset + bytes);
  };
  // Pairs of offset and byte-count arrays: the picture's pieces.
  auto pieces = [&](const TiffReader::Ifd &ifd, std::uint16_t offsetsTag, std::uint16_t countsTag) {
    const TiffReader::Entry *offsets = nullptr, *counts = nullptr;
    for (const auto &e : ifd.Entries) {
      offsets = e.Tag == offsetsTag ? &e : offsets;
      counts = e.Tag == countsTag ? &e : counts;
    }
    if (!offsets || !counts)
      return;
    const std::uint32_t n = std::min(offsets->Count, counts->Count);
    for (std::uint32_t i = 0; i < n; ++i) {
      const auto at = tiff.Number(*offsets, i), bytes = tiff.Number(*counts, i);
      if (!at || !bytes)
        break;
      extend(*at, *bytes);
      picture = true;
    }
  };
  while (!pending.empty() && int(seen.size()) < kMaxIfds) {
    const std::uint32_t offset = pending.back();
    pending.pop_back();
    if (offset == 0 || !seen.insert(offset).second)
      continue;
    const auto ifd = tiff.ReadIfd(offset);
    if (const auto ifdEnd = tiff.IfdEnd(offset))
      extend(*ifdEnd, 0);
    if (!ifd)
      continue; // beyond the head: its own bytes are all that is known of it
    for (const auto &e : ifd->Entries) {
      if (TiffReader::ValueBytes(e) > 4)
        extend(e.Field, TiffReader::ValueBytes(e));
      if (e.Tag == tiff_tag::kDngVersion)
        dng = true;
      if (e.Tag == tiff_tag::kSubIfds || e.Tag == tiff_tag::kExifIfd || e.Tag == tiff_tag::kGpsIfd)
        for (std::uint32_t i = 0; i < std::min<std::uint32_t>(e.Count, kMaxIfds); ++i)
          if (const auto sub = tiff.Number(e, i))
            pending.push_back(*sub);
    }
    pieces(*ifd, tiff_tag::kStripOffsets, tiff_tag::kStripByteCounts);
    pieces(*ifd, tiff_tag::kTileOffsets, tiff_tag::kTileByteCounts);
    pieces(*ifd, tiff_tag::kJpegOffset, tiff_tag::kJpegLength);
    pending.push_back(ifd->Next);
  }
  if (!picture)
    return Break();
  Confirm();
  SetExtension(RawExtension(tiff, *first, head, dng));
  SetStamp(TiffPictureDate(tiff));
  MarkGood(std::min<std::uint64_t>(end, Position()));
  if (end <= Position())
    return EndAt(end);
  Skip(end - Position(), 0, kTail);
}

} // namespace orvanta::carve
