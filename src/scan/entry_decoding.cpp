#include "scan/entry_decoding.h"

#include <chrono>
#include <ctime>

#include "engine/text.h"
#include "platform/host_system.h"
#include "volume/byte_reader.h"

namespace orvanta {

namespace {

constexpr std::array<std::uint8_t, 128> MakeShortNameCharTable() {
  std::array<std::uint8_t, 128> t{};
  for (int b = 0x80; b <= 0xFF; ++b) {
    int v = b;
    if (b <= 0xAF)
      v = b + 0x40;
    else if (b <= 0xDF)
      v = b == 0xC4 ? 0x97 : b;
    else if (b <= 0xEF)
      v = b + 0x10;
    else if (b == 0xF0)
      v = 0xA8;
    else if (b == 0xF1)
      v = 0xB8;
    else if (b == 0xFF)
      v = 0xA9;
    t[static_cast<std::size_t>(b - 0x80)] = static_cast<std::uint8_t>(v - 0x80);
  }
  return t;
}

} // namespace

const std::array<std::uint8_t, 128> ShortNameCharTable = MakeShortNameCharTable();

std::uint8_t ShortNameChar(std::uint8_t byte) {
  return byte < 0x80 ? byte : static_cast<std::uint8_t>(ShortNameCharTable[byte - 0x80] + 0x80);
}

std::string ZeroPad(std::int64_t number, int width) {
  std::string text = std::to_string(number);
  while (static_cast<int>(text.size()) < width)
    text.insert(text.begin(), '0');
  return text;
}

std::string ByteToBits(std::uint8_t byte) {
  std::string bits(8, '0');
  for (int i = 0; i < 8; ++i)
    if (byte & (0x80 >> i))
      bits[static_cast<std::size_t>(i)] = '1';
  return bits;
}

std::int64_t PowerOfTwo(int n) {
  std::int64_t v = 1;
  for (int i = 0; i < n && i < 62; ++i)
    v *= 2;
  return v;
}

std::int64_t BitsToInt(std::string_view bits) {
  std::int64_t v = 0;
  const int n = static_cast<int>(bits.size());
  for (int p = 1; p <= n; ++p)
    if (bits[static_cast<std::size_t>(p - 1)] == '1')
      v += PowerOfTwo(n - p);
  return v;
}

std::string LfnToText(std::u16string_view chars) {
  std::u16string kept;
  kept.reserve(chars.size());
  for (const char16_t c : chars)
    if (c != 0)
      kept += c;
  return Utf16ToUtf8(kept);
}

LastWrite DecodeLastWrite(std::span<const std::uint8_t> entry) {
  // The date word read as 16 bits, most significant first: 7 bits of year,
  // 4 of month, 5 of day; the time word: 5 bits of hours, 6 of minutes and
  // 5 of two-second steps.
  const ByteReader r(entry);
  const std::uint16_t date = r.Le16(dir_entry::kDate);
  const std::uint16_t time = r.Le16(dir_entry::kTime);
  return {date >> 9,  (date >> 5) & 0x0F, date & 0x1F,
          time >> 11, (time >> 5) & 0x3F, (time & 0x1F) * 2};
}

bool IsPlausible(const LastWrite &w, int maxYearOffset) {
  return w.YearOffset <= maxYearOffset && w.Month <= 12 && w.Day <= 31 && w.Hours <= 24 &&
         w.Minutes <= 60;
}

FoundDateTime FoundDateTimeOf(const LastWrite &w) {
  return {static_cast<std::uint16_t>(1980 + w.YearOffset), static_cast<std::uint8_t>(w.Month),
          static_cast<std::uint8_t>(w.Day), static_cast<std::uint8_t>(w.Hours),
          static_cast<std::uint8_t>(w.Minutes)};
}

int CurrentYearOffsetLimit() {
  return LocalTime(std::time(nullptr)).tm_year + 1900 - 1980;
}

std::uint32_t EntryFirstCluster(std::span<const std::uint8_t> entry, int fatType) {
  const ByteReader r(entry);
  const std::uint32_t low = r.Le16(dir_entry::kClusterLow);
  if (fatType == 16)
    return low;
  return std::uint32_t{r.Le16(dir_entry::kClusterHigh)} * 65536u + low;
}

ShortName ShortNameParts(std::span<const std::uint8_t> entry) {
  std::string base, ext;
  for (std::size_t i = 0; i < 8 && i < entry.size(); ++i)
    base += static_cast<char>(ShortNameChar(entry[i]));
  for (std::size_t i = 8; i < 11 && i < entry.size(); ++i)
    ext += static_cast<char>(entry[i]);
  return {Cp1251ToUtf8(TrimControl(base)), Cp1251ToUtf8(TrimControl(ext))};
}

namespace {

std::string Join(const std::string &base, const std::string &ext) {
  return std::string(TrimControl(ext.empty() ? base : base + "." + ext));
}

} // namespace

std::string ShortEntryName(std::span<const std::uint8_t> entry) {
  const auto [base, ext] = ShortNameParts(entry);
  return Join(base, ext);
}

std::string ShortEntryDisplayName(std::span<const std::uint8_t> entry) {
  auto [base, ext] = ShortNameParts(entry);
  const std::uint8_t flags = ByteReader(entry).U8(dir_entry::kCaseFlags);
  if (flags & dir_entry::kLowerCaseName)
    base = ToLower(base);
  if (flags & dir_entry::kLowerCaseExtension)
    ext = ToLower(ext);
  return Join(base, ext);
}

std::optional<ShortEntry> EntryWalker::Examine(std::span<const std::uint8_t> entry) {
  const ByteReader r(entry);
  if (r.U8(dir_entry::kAttributes) == dir_entry::kLongNamePiece) {
    // Pieces lie on disk last piece first: each goes in front.
    static constexpr std::size_t kSlots[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::u16string piece;
    for (const std::size_t at : kSlots) {
      const char16_t c = r.Le16(at);
      if (c != 0xFFFF)
        piece += c;
    }
    pending_.insert(0, piece);
    return std::nullopt;
  }
  ShortEntry e;
  // A long name of nothing but padding names nothing: the short name stands.
  if (!pending_.empty())
    e.Name = TrimControl(LfnToText(pending_));
  e.HasLongName = !e.Name.empty();
  if (!e.HasLongName)
    e.Name = ShortEntryName(entry);
  pending_.clear();
  e.FirstByte = r.U8(dir_entry::kName);
  e.Attributes = r.U8(dir_entry::kAttributes);
  e.IsDirectory = (e.Attributes & dir_entry::kDirectory) != 0;
  e.FirstCluster = EntryFirstCluster(entry, fatType_);
  e.Size = r.Le32(dir_entry::kFileSize);
  return e;
}

} // namespace orvanta
