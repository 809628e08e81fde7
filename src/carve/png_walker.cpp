#include "carve/png_walker.h"

#include <algorithm>
#include <array>

namespace orvanta::carve {
namespace {

constexpr std::uint8_t kSignatureBytes[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kMaxChunk = 0x7FFFFFFF;
// Chunk data up to this size is gathered and read; longer data (IDAT) is
// only summed.
constexpr std::size_t kSmallChunk = 4096;

constexpr std::uint32_t Tag(char a, char b, char c, char d) {
  return std::uint32_t(std::uint8_t(a)) << 24 | std::uint32_t(std::uint8_t(b)) << 16 |
         std::uint32_t(std::uint8_t(c)) << 8 | std::uint8_t(d);
}
constexpr std::uint32_t kIhdr = Tag('I', 'H', 'D', 'R'), kIend = Tag('I', 'E', 'N', 'D'),
                        kTime = Tag('t', 'I', 'M', 'E');

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
         std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

bool Letter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

} // namespace

std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  static const std::array<std::uint32_t, 256> table = MakeCrcTable();
  crc = ~crc;
  for (const std::uint8_t b : bytes)
    crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

PngWalker::PngWalker(std::uint64_t maxLength) : Walker(Kind::Photo, "png", maxLength) {}

void PngWalker::Start() { Gather(8, kSignature); }

void PngWalker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  switch (step) {
  case kSignature:
    if (!std::equal(bytes.begin(), bytes.end(), kSignatureBytes))
      return Break();
    return Gather(8, kChunk);
  case kChunk: {
    const std::uint32_t length = Be32(bytes, 0);
    type_ = Be32(bytes, 4);
    if (length > kMaxChunk || !std::all_of(bytes.begin() + 4, bytes.end(), Letter))
      return Break();
    if ((chunks_ == 0) != (type_ == kIhdr) || (type_ == kIhdr && length != 13))
      return Break();
    crc_ = Crc32(0, bytes.subspan(4));
    if (length <= kSmallChunk)
      return Gather(length, kSmallData);
    left_ = length;
    return Scan(kLargeData);
  }
  case kSmallData:
    crc_ = Crc32(crc_, bytes);
    if (type_ == kTime && bytes.size() == 7)
      SetStamp(FileStamp::Checked(bytes[0] << 8 | bytes[1], bytes[2], bytes[3], bytes[4],
                                  bytes[5], bytes[6]));
    return Gather(4, kCrc);
  case kCrc:
    if (Be32(bytes, 0) != crc_)
      return Break();
    return ChunkDone();
  default:
    return Break();
  }
}

std::size_t PngWalker::Scanned(int, std::span<const std::uint8_t> bytes) {
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, bytes.size()));
  crc_ = Crc32(crc_, bytes.first(n));
  left_ -= n;
  if (left_ == 0)
    Gather(4, kCrc);
  return n;
}

void PngWalker::ChunkDone() {
  ++chunks_;
  MarkGood();
  Confirm(); // the IHDR with its CRC
  if (type_ == kIend)
    return End();
  Gather(8, kChunk);
}

} // namespace orvanta::carve
