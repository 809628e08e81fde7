#include "carve/tiff_reader.h"

#include <algorithm>
#include <string_view>

namespace orvanta::carve {
namespace {

constexpr std::uint32_t kMaxIfdEntries = 1024;
constexpr std::size_t kEntryBytes = 12;

// Bytes of one value of each TIFF type (BYTE … IFD8); 0 for unknown types.
std::uint64_t TypeBytes(std::uint16_t type) {
  switch (type) {
  case 1: case 2: case 6: case 7:
    return 1;
  case 3: case 8:
    return 2;
  case 4: case 9: case 11: case 13:
    return 4;
  case 5: case 10: case 12: case 16: case 17: case 18:
    return 8;
  default:
    return 0;
  }
}

} // namespace

TiffReader::TiffReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {
  if (bytes.size() < 8)
    return;
  if (bytes[0] == 'I' && bytes[1] == 'I')
    little_ = true;
  else if (bytes[0] == 'M' && bytes[1] == 'M')
    little_ = false;
  else
    return;
  // 42 for TIFF; Panasonic (0x55) and Olympus ("RO", "RS") raw files
  // differ from it only here.
  const std::uint16_t magic = U16(2);
  if (magic != 42 && magic != 0x55 && magic != 0x4F52 && magic != 0x5352)
    return;
  first_ = U32(4);
  valid_ = true;
}

std::uint16_t TiffReader::U16(std::size_t at) const {
  if (at > bytes_.size() || bytes_.size() - at < 2)
    return 0;
  return little_ ? static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8)
                 : static_cast<std::uint16_t>(bytes_[at] << 8 | bytes_[at + 1]);
}

std::uint32_t TiffReader::U32(std::size_t at) const {
  if (at > bytes_.size() || bytes_.size() - at < 4)
    return 0;
  const std::uint32_t a = bytes_[at], b = bytes_[at + 1], c = bytes_[at + 2], d = bytes_[at + 3];
  return little_ ? (a | b << 8 | c << 16 | d << 24) : (a << 24 | b << 16 | c << 8 | d);
}

std::optional<std::uint64_t> TiffReader::IfdEnd(std::uint32_t offset) const {
  if (offset < 8 || std::uint64_t{offset} + 2 > bytes_.size())
    return std::nullopt;
  const std::uint32_t count = U16(offset);
  return std::uint64_t{offset} + 2 + count * kEntryBytes + 4;
}

std::optional<TiffReader::Ifd> TiffReader::ReadIfd(std::uint32_t offset) const {
  const auto end = IfdEnd(offset);
  const std::uint32_t count = U16(offset);
  if (!end || count > kMaxIfdEntries || *end > bytes_.size())
    return std::nullopt;
  Ifd ifd;
  ifd.Entries.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = offset + 2 + i * kEntryBytes;
    ifd.Entries.push_back(Entry{U16(at), U16(at + 2), U32(at + 4), U32(at + 8), at + 8});
  }
  ifd.Next = U32(offset + 2 + count * kEntryBytes);
  return ifd;
}

std::uint64_t TiffReader::ValueBytes(const Entry &e) { return TypeBytes(e.Type) * e.Count; }

std::uint64_t TiffReader::ValueOffset(const Entry &e) {
  return ValueBytes(e) <= 4 ? e.FieldAt : e.Field;
}

std::optional<std::span<const std::uint8_t>> TiffReader::Value(const Entry &e) const {
  const std::uint64_t length = ValueBytes(e), at = ValueOffset(e);
  if (length == 0 || at > bytes_.size() || length > bytes_.size() - at)
    return std::nullopt;
  return bytes_.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(length));
}

std::optional<std::uint32_t> TiffReader::Number(const Entry &e, std::uint32_t i) const {
  if (i >= e.Count || (e.Type != 3 && e.Type != 4 && e.Type != 13))
    return std::nullopt;
  const std::uint64_t width = TypeBytes(e.Type);
  const std::uint64_t at = ValueOffset(e) + i * width;
  if (at + width > bytes_.size())
    return std::nullopt;
  return width == 2 ? U16(static_cast<std::size_t>(at)) : U32(static_cast<std::size_t>(at));
}

namespace {

const TiffReader::Entry *FindTag(const TiffReader::Ifd &ifd, std::uint16_t tag) {
  for (const auto &e : ifd.Entries)
    if (e.Tag == tag)
      return &e;
  return nullptr;
}

std::optional<FileStamp> DateOf(const TiffReader &tiff, const TiffReader::Ifd &ifd,
                                std::uint16_t tag) {
  const auto *e = FindTag(ifd, tag);
  if (!e || e->Type != 2)
    return std::nullopt;
  const auto value = tiff.Value(*e);
  if (!value)
    return std::nullopt;
  return FileStamp::FromExifText(
      std::string_view(reinterpret_cast<const char *>(value->data()), value->size()));
}

} // namespace

std::optional<FileStamp> TiffPictureDate(const TiffReader &tiff) {
  if (!tiff.Valid())
    return std::nullopt;
  const auto first = tiff.ReadIfd(tiff.FirstIfd());
  if (!first)
    return std::nullopt;
  if (const auto *exif = FindTag(*first, tiff_tag::kExifIfd)) {
    if (const auto number = tiff.Number(*exif, 0); number && *number != tiff.FirstIfd()) {
      if (const auto ifd = tiff.ReadIfd(*number)) {
        if (auto date = DateOf(tiff, *ifd, tiff_tag::kDateTimeOriginal))
          return date;
        if (auto date = DateOf(tiff, *ifd, tiff_tag::kDateTimeDigitized))
          return date;
      }
    }
  }
  return DateOf(tiff, *first, tiff_tag::kDateTime);
}

std::optional<std::span<const std::uint8_t>> TiffThumbnail(const TiffReader &tiff) {
  if (!tiff.Valid())
    return std::nullopt;
  const auto first = tiff.ReadIfd(tiff.FirstIfd());
  if (!first || first->Next == 0 || first->Next == tiff.FirstIfd())
    return std::nullopt;
  const auto second = tiff.ReadIfd(first->Next);
  if (!second)
    return std::nullopt;
  const auto *offset = FindTag(*second, tiff_tag::kJpegOffset);
  const auto *length = FindTag(*second, tiff_tag::kJpegLength);
  if (!offset || !length)
    return std::nullopt;
  const auto at = tiff.Number(*offset, 0), bytes = tiff.Number(*length, 0);
  if (!at || !bytes || *bytes < 4)
    return std::nullopt;
  // The thumbnail's bytes as a value of BYTE type at that offset.
  const auto value = tiff.Value(TiffReader::Entry{0, 7, *bytes, *at, 0});
  if (!value || (*value)[0] != 0xFF || (*value)[1] != 0xD8)
    return std::nullopt;
  return value;
}

std::optional<std::span<const std::uint8_t>> JpegExifThumbnail(std::span<const std::uint8_t> head) {
  if (head.size() < 4 || head[0] != 0xFF || head[1] != 0xD8)
    return std::nullopt;
  std::size_t at = 2;
  // The Exif segment comes among the first segments; a handful is enough.
  for (int segments = 0; segments < 32 && at + 4 <= head.size(); ++segments) {
    if (head[at] != 0xFF)
      return std::nullopt;
    const std::uint8_t marker = head[at + 1];
    if (marker == 0xDA || marker == 0xD9)
      return std::nullopt; // the picture's data begins: no Exif before it
    const std::size_t length = std::size_t(head[at + 2]) << 8 | head[at + 3];
    if (length < 2 || at + 2 + length > head.size())
      return std::nullopt;
    const auto body = head.subspan(at + 4, length - 2);
    constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && body.size() > 6 && std::equal(kExif, kExif + 6, body.begin()))
      return TiffThumbnail(TiffReader(body.subspan(6)));
    at += 2 + length;
  }
  return std::nullopt;
}

} // namespace orvanta::carve
