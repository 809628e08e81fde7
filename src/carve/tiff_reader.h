#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "carve/walker.h"

namespace orvanta::carve {

// Tags of TIFF and Exif that the walkers read.
namespace tiff_tag {
inline constexpr std::uint16_t kStripOffsets = 0x0111;
inline constexpr std::uint16_t kStripByteCounts = 0x0117;
inline constexpr std::uint16_t kMake = 0x010F;
inline constexpr std::uint16_t kDateTime = 0x0132;
inline constexpr std::uint16_t kSubIfds = 0x014A;
inline constexpr std::uint16_t kTileOffsets = 0x0144;
inline constexpr std::uint16_t kTileByteCounts = 0x0145;
inline constexpr std::uint16_t kJpegOffset = 0x0201;
inline constexpr std::uint16_t kJpegLength = 0x0202;
inline constexpr std::uint16_t kExifIfd = 0x8769;
inline constexpr std::uint16_t kGpsIfd = 0x8825;
inline constexpr std::uint16_t kDateTimeOriginal = 0x9003;
inline constexpr std::uint16_t kDateTimeDigitized = 0x9004;
inline constexpr std::uint16_t kMakerNote = 0x927C;
inline constexpr std::uint16_t kDngVersion = 0xC612;
} // namespace tiff_tag

// A TIFF structure (a TIFF file's head, or the Exif block of a JPEG) read
// from bytes that begin with its "II*\0" or "MM\0*" header. Offsets are
// from that header; every field read is checked against the bytes held.
class TiffReader {
public:
  explicit TiffReader(std::span<const std::uint8_t> bytes);

  bool Valid() const { return valid_; }
  std::uint32_t FirstIfd() const { return first_; }

  struct Entry {
    std::uint16_t Tag = 0;
    std::uint16_t Type = 0;
    std::uint32_t Count = 0;
    std::uint32_t Field = 0; // the value itself when it fits 4 bytes, else its offset
    std::size_t FieldAt = 0; // where the 4-byte field lies
  };
  // The entries of the IFD at `offset` and the offset of the next IFD (0
  // when none); nothing when the IFD does not lie within the bytes held or
  // claims more than 1024 entries.
  struct Ifd {
    std::vector<Entry> Entries;
    std::uint32_t Next = 0;
  };
  std::optional<Ifd> ReadIfd(std::uint32_t offset) const;
  // Where an IFD at `offset` ends (entries and next pointer), from its count
  // alone; nothing when the count cannot be read.
  std::optional<std::uint64_t> IfdEnd(std::uint32_t offset) const;

  // Bytes of an entry's value: count times the size of its type.
  static std::uint64_t ValueBytes(const Entry &e);
  // Where the value lies: at FieldAt when it fits there, else at Field.
  static std::uint64_t ValueOffset(const Entry &e);
  // The value's bytes, when they lie within the bytes held.
  std::optional<std::span<const std::uint8_t>> Value(const Entry &e) const;
  // The i-th number of a SHORT or LONG value; nothing when outside.
  std::optional<std::uint32_t> Number(const Entry &e, std::uint32_t i) const;

  std::uint16_t U16(std::size_t at) const;
  std::uint32_t U32(std::size_t at) const;

private:
  std::span<const std::uint8_t> bytes_;
  bool little_ = true;
  bool valid_ = false;
  std::uint32_t first_ = 0;
};

// The date a TIFF structure records for its picture: DateTimeOriginal of
// its Exif IFD, else DateTimeDigitized, else DateTime of its first IFD.
std::optional<FileStamp> TiffPictureDate(const TiffReader &tiff);

// The thumbnail a TIFF structure carries in its second IFD (the Exif
// thumbnail of a photo): a JPEG within the bytes held.
std::optional<std::span<const std::uint8_t>> TiffThumbnail(const TiffReader &tiff);

// The Exif thumbnail of a JPEG whose first bytes are given: the APP1 Exif
// segment among the segments before the picture's data, then its thumbnail.
std::optional<std::span<const std::uint8_t>> JpegExifThumbnail(std::span<const std::uint8_t> head);

} // namespace orvanta::carve
