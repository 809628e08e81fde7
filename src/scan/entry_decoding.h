#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scan/found_file_row.h"

namespace orvanta {

// Fields of a 32-byte directory entry.
namespace dir_entry {
inline constexpr std::size_t kSize = 32;
inline constexpr std::size_t kName = 0;         // 8 bytes, blank-padded
inline constexpr std::size_t kExtension = 8;    // 3 bytes, blank-padded
inline constexpr std::size_t kAttributes = 11;
inline constexpr std::size_t kCaseFlags = 12;   // 0x08 name, 0x10 extension in lower case
inline constexpr std::size_t kClusterHigh = 20; // FAT32 only
inline constexpr std::size_t kTime = 22;
inline constexpr std::size_t kDate = 24;
inline constexpr std::size_t kClusterLow = 26;
inline constexpr std::size_t kFileSize = 28;

inline constexpr std::uint8_t kEnd = 0x00;
inline constexpr std::uint8_t kDeleted = 0xE5;
inline constexpr std::uint8_t kLongNamePiece = 0x0F; // the whole attribute byte
inline constexpr std::uint8_t kVolumeLabel = 0x08;
inline constexpr std::uint8_t kDirectory = 0x10;
inline constexpr std::uint8_t kLowerCaseName = 0x08;
inline constexpr std::uint8_t kLowerCaseExtension = 0x10;
} // namespace dir_entry

// What the table makes of the deletion mark 0xE5 in the first place of a
// short name, in UTF-8: "х" (U+0445), shown where the lost letter was.
inline constexpr std::string_view kLostLetter = "\xD1\x85";

// Short-name bytes 0x80 to 0xFF (DOS Cyrillic) as Windows Cyrillic bytes,
// each stored less 0x80.
extern const std::array<std::uint8_t, 128> ShortNameCharTable;
std::uint8_t ShortNameChar(std::uint8_t byte);

// Decimal text of `number`, "0" prepended up to `width` characters.
std::string ZeroPad(std::int64_t number, int width);
// Eight "0"/"1" characters, most significant bit first.
std::string ByteToBits(std::uint8_t byte);
// Each "1" at 1-based position p of an n-character text adds 2^(n-p).
std::int64_t BitsToInt(std::string_view bits);
// 1 doubled n times (1 for n <= 0).
std::int64_t PowerOfTwo(int n);
// The collected long-name characters as UTF-8, terminating zeros dropped.
std::string LfnToText(std::u16string_view chars);

// Last-write date and time of an entry.
struct LastWrite {
  int YearOffset = 0; // years after 1980
  int Month = 0;
  int Day = 0;
  int Hours = 0;
  int Minutes = 0;
  int Seconds = 0; // kept in two-second steps: 0 to 62
};

LastWrite DecodeLastWrite(std::span<const std::uint8_t> entry);
// Month, day, hour and minute limits as FAT dates allow them loosely (month
// 0 and day 0 pass, hour 24 and minute 60 too); the year may not lie after
// `maxYearOffset` (the current year less 1980).
bool IsPlausible(const LastWrite &w, int maxYearOffset);
// The date and time to the minute, as a found file's row keeps them.
FoundDateTime FoundDateTimeOf(const LastWrite &w);
// The latest plausible year offset: this year less 1980, by the system clock.
int CurrentYearOffsetLimit();

// A short entry as the directory walks see it.
struct ShortEntry {
  std::string Name;  // the long name when one was pending, else name.extension
  bool HasLongName = false;
  std::uint8_t FirstByte = 0;
  std::uint8_t Attributes = 0;
  bool IsDirectory = false;
  std::uint32_t FirstCluster = 0;
  std::uint32_t Size = 0; // FAT sizes are unsigned: up to 4 GiB - 1

  bool IsDeleted() const { return FirstByte == dir_entry::kDeleted; }
  // The volume's label: a name, not a file.
  bool IsLabel() const { return (Attributes & dir_entry::kVolumeLabel) && !IsDirectory; }
  // A deleted entry without a long name has lost its first letter to the
  // deletion mark.
  bool FirstLetterLost() const { return IsDeleted() && !HasLongName; }
  // Empty, "." and ".." are not names of anything.
  bool Named() const { return !Name.empty() && Name != "." && Name != ".."; }
};

// First cluster of an entry: FAT32 adds the high word at 20.
std::uint32_t EntryFirstCluster(std::span<const std::uint8_t> entry, int fatType);

// The two parts of a short name in UTF-8, each trimmed: the eight name bytes
// through the table, and the three extension bytes as they are.
struct ShortName {
  std::string Base;
  std::string Extension;
};
ShortName ShortNameParts(std::span<const std::uint8_t> entry);

// The name of an entry without a long name: the short name through the
// table, a dot and the extension; in UTF-8, trimmed.
std::string ShortEntryName(std::span<const std::uint8_t> entry);
// The same with the lower-case flags of byte 12 applied, as Windows shows a
// short name that it wrote for an all-lower-case name.
std::string ShortEntryDisplayName(std::span<const std::uint8_t> entry);

// The state of one walk over a directory buffer: long-name pieces gathered
// until the short entry they belong to.
class EntryWalker {
public:
  explicit EntryWalker(int fatType) : fatType_(fatType) {}

  // Examines one 32-byte entry. A long-name piece is collected and gives
  // nothing; a short entry is decoded and empties the pending long name.
  std::optional<ShortEntry> Examine(std::span<const std::uint8_t> entry);
  void Reset() { pending_.clear(); }

private:
  int fatType_;
  std::u16string pending_;
};

} // namespace orvanta
