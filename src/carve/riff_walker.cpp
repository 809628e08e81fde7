#include "carve/riff_walker.h"

#include <algorithm>
#include <string_view>

namespace orvanta::carve {
namespace {

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}

std::string_view Text(std::span<const std::uint8_t> b, std::size_t at, std::size_t n) {
  return {reinterpret_cast<const char *>(b.data()) + at, n};
}

bool Printable(std::string_view id) {
  return std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

} // namespace

RiffWalker::RiffWalker(std::uint64_t maxLength) : Walker(Kind::Video, "avi", maxLength) {}

void RiffWalker::Start() { Gather(12, kHeader); }

void RiffWalker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  switch (step) {
  case kHeader: {
    if (Text(bytes, 0, 4) != "RIFF")
      return Break();
    const std::string_view form = Text(bytes, 8, 4);
    if (form == "WAVE") {
      SetKind(Kind::Music, "wav");
    } else if (form == "WEBP") {
      SetKind(Kind::Photo, "webp");
    } else if (form != "AVI ") {
      return Break();
    }
    const std::uint32_t size = Le32(bytes, 4);
    if (size < 4 + 8)
      return Break();
    partEnd_ = Position() - 4 + size + (size & 1);
    return Gather(8, kChunk);
  }
  case kChunk: {
    if (!Printable(Text(bytes, 0, 4)))
      return Break();
    const std::uint64_t size = Le32(bytes, 4) + (Le32(bytes, 4) & 1u);
    if (Position() + size > partEnd_)
      return Break();
    if (++chunks_ == 1)
      Confirm(); // a first chunk that fits the file
    MarkGood(Position() - 8);
    if (Position() + size == partEnd_)
      return Skip(size, 0, kNextPart);
    return Skip(size, 8, kChunk);
  }
  case kNextPart:
    MarkGood();
    if (Extension() != "avi" || Room() < 12)
      return End();
    // Another part of the same AVI, or the end of the file.
    return Gather(12, kPart);
  case kPart:
    if (Text(bytes, 0, 4) == "RIFF" && Text(bytes, 8, 4) == "AVIX" && Le32(bytes, 4) >= 12) {
      const std::uint32_t size = Le32(bytes, 4);
      partEnd_ = Position() - 4 + size + (size & 1);
      return Gather(8, kChunk);
    }
    return EndAt(Position() - 12);
  default:
    return Break();
  }
}

void RiffWalker::Stopped() {
  // The bytes end where a further part could have begun.
  if (Position() <= Length() + 12 && Length() == partEnd_)
    return EndAt(partEnd_);
  Break();
}

} // namespace orvanta::carve
