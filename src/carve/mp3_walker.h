#pragma once

#include <cstdint>
#include <optional>

#include "carve/walker.h"

namespace orvanta::carve {

// The length of the MPEG audio frame whose 4-byte header is given; nothing
// when it is not a frame header (no sync, a reserved version, layer,
// bitrate or sample rate, or a free bitrate).
struct Mp3Frame {
  int Version = 0;    // 1, 2 or 25 (MPEG 2.5)
  int Layer = 0;      // 1 to 3
  int SampleRate = 0; // Hz
  std::uint32_t Length = 0;
};
std::optional<Mp3Frame> ReadMp3Frame(std::span<const std::uint8_t, 4> header);

// An MP3 file: an optional ID3v2 tag, then MPEG audio frames of one version,
// layer and sample rate, one after the other by their lengths, then an
// optional ID3v1 tag. The file ends where no further frame follows; it
// counts as one once several frames followed one another.
class Mp3Walker final : public Walker {
public:
  explicit Mp3Walker(std::uint64_t maxLength);

private:
  enum Step : int { kStart, kTag, kFrame, kTrailer };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  void Stopped() override;
  void Frame(std::span<const std::uint8_t> header);

  bool tagged_ = false;
  int frames_ = 0;
  std::uint64_t frameEnd_ = 0;
  std::optional<Mp3Frame> first_;
};

} // namespace orvanta::carve
