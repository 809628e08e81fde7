#include "carve/gif_walker.h"

#include <algorithm>
#include <string_view>

namespace orvanta::carve {

GifWalker::GifWalker(std::uint64_t maxLength) : Walker(Kind::Photo, "gif", maxLength) {}

void GifWalker::Start() { Gather(13, kHeader); }

void GifWalker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  auto colourTable = [](std::uint8_t flags) -> std::uint64_t {
    return flags & 0x80 ? 3u << ((flags & 7) + 1) : 0;
  };
  switch (step) {
  case kHeader: {
    constexpr std::string_view k87 = "GIF87a", k89 = "GIF89a";
    const std::string_view magic(reinterpret_cast<const char *>(bytes.data()), 6);
    if (magic != k87 && magic != k89)
      return Break();
    const unsigned width = bytes[6] | bytes[7] << 8, height = bytes[8] | bytes[9] << 8;
    if (width == 0 || height == 0)
      return Break();
    return Skip(colourTable(bytes[10]), 1, kBlock);
  }
  case kBlock:
    MarkGood();
    if (bytes[0] == 0x21)
      return Gather(1, kLabel);
    if (bytes[0] == 0x2C)
      return Gather(9, kImage);
    if (bytes[0] == 0x3B && Confirmed())
      return End();
    return Break();
  case kLabel:
    return Gather(1, kSubBlock);
  case kImage:
    return Skip(colourTable(bytes[8]), 1, kCodeSize);
  case kCodeSize:
    if (bytes[0] < 2 || bytes[0] > 11)
      return Break();
    Confirm(); // an image descriptor with its code size
    return Gather(1, kSubBlock);
  case kSubBlock:
    // Sub-blocks of data, each after its length, to one of length 0.
    if (bytes[0] == 0)
      return Gather(1, kBlock);
    return Skip(bytes[0], 1, kSubBlock);
  default:
    return Break();
  }
}

} // namespace orvanta::carve
