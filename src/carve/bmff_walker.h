#pragma once

#include <cstdint>

#include "carve/walker.h"

namespace orvanta::carve {

// An ISO base media file (MP4, MOV, 3GP, and the photos HEIC, AVIF and CR3
// that share the format): boxes from `ftyp` on, each a size and a type,
// one after the other; the file ends after the last box, where the next
// bytes are no top-level box. The `ftyp` brand names the kind; the movie
// header (`mvhd` in `moov`) gives the date.
class BmffWalker final : public Walker {
public:
  explicit BmffWalker(std::uint64_t maxLength);

private:
  enum Step : int { kBox, kLargeSize, kFileType, kChild, kChildLargeSize, kMovieHeader, kTail };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  void Stopped() override;
  void Box(std::uint32_t type, std::uint64_t size, std::uint64_t headerBytes);
  void Child(std::uint32_t type, std::uint64_t size, std::uint64_t headerBytes);
  void NextTopBox();
  void NextChild();
  void BrandKind(std::span<const std::uint8_t> brand);

  int boxes_ = 0;
  bool sawMovie_ = false;   // moov, or meta for a still picture
  bool sawData_ = false;    // mdat
  std::uint64_t boxStart_ = 0;
  std::uint64_t boxEnd_ = 0; // of the top-level box being read
  std::uint64_t lastEnd_ = 0;
  std::uint32_t childType_ = 0;
  std::uint64_t childEnd_ = 0;
  int children_ = 0;
};

} // namespace orvanta::carve
