#pragma once

#include <cstdint>

#include "carve/walker.h"

namespace orvanta::carve {

// A PNG picture: the signature, then chunks (length, type, data, CRC) from
// IHDR to IEND, each checked against its CRC. The tIME chunk is its date.
class PngWalker final : public Walker {
public:
  explicit PngWalker(std::uint64_t maxLength);

private:
  enum Step : int { kSignature, kChunk, kSmallData, kLargeData, kCrc };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  std::size_t Scanned(int step, std::span<const std::uint8_t> bytes) override;
  void ChunkDone();

  int chunks_ = 0;
  std::uint32_t type_ = 0;
  std::uint64_t left_ = 0; // data bytes of a large chunk still to come
  std::uint32_t crc_ = 0;
};

// The CRC-32 of ISO 3309 that PNG and ZIP use, going on from `crc` (0 to
// begin with).
std::uint32_t Crc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);

} // namespace orvanta::carve
