#pragma once

#include <cstdint>

#include "carve/walker.h"

namespace orvanta::carve {

// A GIF picture: header and logical screen, the colour table, then blocks
// (extensions and images, each with its data sub-blocks) to the trailer.
class GifWalker final : public Walker {
public:
  explicit GifWalker(std::uint64_t maxLength);

private:
  enum Step : int { kHeader, kBlock, kLabel, kImage, kCodeSize, kSubBlock };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
};

} // namespace orvanta::carve
