#pragma once

#include <cstdint>

#include "carve/walker.h"

namespace orvanta::carve {

// A TIFF picture and the raw photos built on TIFF (CR2, NEF, ARW, DNG, PEF,
// ORF, RW2): its IFDs lie near its start and point at everything else, so
// its first bytes are read whole, and the file ends where the furthest
// thing they point at ends: an IFD, a value, a strip or tile of the
// picture, an embedded preview. IFDs are followed through their chain, the
// sub-IFDs and the Exif IFD, each once.
class TiffWalker final : public Walker {
public:
  explicit TiffWalker(std::uint64_t maxLength);

private:
  enum Step : int { kHead, kTail };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
};

} // namespace orvanta::carve
