#include "carve/mp3_walker.h"

#include <string_view>

namespace orvanta::carve {
namespace {

// Frames in a row that make a stream of them a file: fewer after an ID3
// tag, which is itself a sign.
constexpr int kFramesAfterTag = 3;
constexpr int kFramesUntagged = 8;

} // namespace

std::optional<Mp3Frame> ReadMp3Frame(std::span<const std::uint8_t, 4> h) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
    return std::nullopt;
  const int versionBits = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3)
    return std::nullopt;
  Mp3Frame f;
  f.Version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  f.Layer = 4 - layerBits;
  static constexpr int kRates[3] = {44100, 48000, 32000};
  f.SampleRate = kRates[rateIndex] / (f.Version == 1 ? 1 : f.Version == 2 ? 2 : 4);
  // Bitrates in kbit/s by [MPEG-1 layer 1, 2, 3, MPEG-2/2.5 layer 1, layers 2 and 3][index].
  static constexpr int kBitrates[5][15] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
  const int row = f.Version == 1 ? f.Layer - 1 : (f.Layer == 1 ? 3 : 4);
  const std::uint32_t bitrate = std::uint32_t(kBitrates[row][bitrateIndex]) * 1000;
  if (f.Layer == 1) {
    f.Length = (12 * bitrate / std::uint32_t(f.SampleRate) + std::uint32_t(padding)) * 4;
  } else {
    const std::uint32_t factor = f.Layer == 3 && f.Version != 1 ? 72 : 144;
    f.Length = factor * bitrate / std::uint32_t(f.SampleRate) + std::uint32_t(padding);
  }
  if (f.Length < 4)
    return std::nullopt;
  return f;
}

Mp3Walker::Mp3Walker(std::uint64_t maxLength) : Walker(Kind::Music, "mp3", maxLength) {}

void Mp3Walker::Start() { Gather(4, kStart); }

void Mp3Walker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  switch (step) {
  case kStart:
    if (bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
      if (bytes[3] < 2 || bytes[3] > 4)
        return Break();
      tagged_ = true;
      return Gather(6, kTag);
    }
    return Frame(bytes);
  case kTag: {
    // ID3v2 after its version: revision, flags, then the size in four
    // 7-bit bytes.
    if (bytes[0] == 0xFF)
      return Break();
    std::uint32_t size = 0;
    for (std::size_t i = 2; i < 6; ++i) {
      if (bytes[i] & 0x80)
        return Break();
      size = size << 7 | bytes[i];
    }
    if (bytes[1] & 0x10)
      size += 10; // a footer follows the tag
    return Skip(size, 4, kFrame);
  }
  case kFrame:
    return Frame(bytes);
  case kTrailer:
    return Confirmed() ? End() : Break();
  default:
    return Break();
  }
}

void Mp3Walker::Frame(std::span<const std::uint8_t> header) {
  const auto frame = ReadMp3Frame(header.first<4>());
  const bool fits = frame && (!first_ || (frame->Version == first_->Version &&
                                          frame->Layer == first_->Layer &&
                                          frame->SampleRate == first_->SampleRate));
  if (!fits) {
    const std::uint64_t end = Position() - 4;
    if (!Confirmed())
      return Break();
    // An ID3v1 tag of 128 bytes may close the stream.
    if (std::string_view(reinterpret_cast<const char *>(header.data()), 3) == "TAG" &&
        Room() >= 124)
      return Skip(124, 0, kTrailer);
    return EndAt(end);
  }
  if (!first_)
    first_ = frame;
  MarkGood(Position() - 4);
  if (++frames_ >= (tagged_ ? kFramesAfterTag : kFramesUntagged))
    Confirm();
  frameEnd_ = Position() - 4 + frame->Length;
  if (Room() < frame->Length - 4)
    return Confirmed() ? EndAt(Position() - 4) : Break();
  if (Room() < frame->Length)
    return Skip(frame->Length - 4, 0, kTrailer); // the last frame before the room ends
  Skip(frame->Length - 4, 4, kFrame);
}

void Mp3Walker::Stopped() {
  // The stream ends with the last whole frame.
  if (Confirmed())
    return EndAt(Position() >= frameEnd_ ? frameEnd_ : Length());
  Break();
}

} // namespace orvanta::carve
