// One walker of files recognised by their content, on any bytes, fed in
// pieces of any size: it must end, break or ask for more, never read past
// what it was given, and never claim more bytes than it was fed. Built once
// per walker (ORVANTA_WALKER names it).
//
//   byte 0   the size of the pieces (1 to 4096); bit 0 set: the volume ends
//            right after the bytes, else far beyond them
//   bytes 1- the file
#include <cstdint>
#include <span>

#include ORVANTA_WALKER_HEADER
#include "carve/jpeg_entropy.h"
#include "carve/jpeg_walker.h"

namespace {

using namespace orvanta::carve;

void Check(bool condition) {
  if (!condition)
    __builtin_trap();
}

// The entropy decoder of a JPEG broken inside its data, over what follows.
void Decode(const Walker &walker, std::span<const std::uint8_t> bytes, std::size_t piece) {
  const auto *jpeg = dynamic_cast<const JpegWalker *>(&walker);
  if (!jpeg || !jpeg->Coding() || jpeg->ScanStart() > bytes.size())
    return;
  JpegEntropy decoder(*jpeg->Coding());
  for (std::size_t at = std::size_t(jpeg->ScanStart()); at < bytes.size(); at += piece) {
    const auto part = bytes.subspan(at, std::min(piece, bytes.size() - at));
    const auto result = decoder.Decode(part);
    Check(result.Valid <= part.size());
    if (result.Fault || result.Ended)
      break;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1)
    return 0;
  const std::size_t piece = 1 + std::size_t(data[0]) * 4095 / 255;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  const std::uint64_t room = data[0] & 1 ? bytes.size() : bytes.size() + (std::uint64_t{1} << 32);
  ORVANTA_WALKER walker(room);
  Verdict verdict = Verdict::More;
  for (std::size_t at = 0; at < bytes.size() && verdict == Verdict::More; at += piece)
    verdict = walker.Feed(bytes.subspan(at, std::min(piece, bytes.size() - at)));
  if (verdict == Verdict::More)
    verdict = walker.Stop();
  Check(verdict != Verdict::More);
  Check(walker.Position() <= bytes.size());
  Check(walker.Length() <= walker.Position());
  Check(verdict != Verdict::Broken || walker.Confirmed() || walker.Length() == 0);
  if (verdict == Verdict::Broken)
    Decode(walker, bytes, piece);
  return 0;
}
