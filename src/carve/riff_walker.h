#pragma once

#include <cstdint>

#include "carve/walker.h"

namespace orvanta::carve {

// A RIFF file (AVI, WAV, WebP): the RIFF size gives its end; the chunks
// within it are followed to that end, each a printable identifier and a
// size. An AVI larger than 1 GiB goes on in further "RIFF…AVIX" parts,
// which are taken with it.
class RiffWalker final : public Walker {
public:
  explicit RiffWalker(std::uint64_t maxLength);

private:
  enum Step : int { kHeader, kChunk, kNextPart, kPart };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  void Stopped() override;

  std::uint64_t partEnd_ = 0;
  int chunks_ = 0;
};

} // namespace orvanta::carve
