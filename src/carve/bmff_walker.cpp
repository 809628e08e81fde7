#include "carve/bmff_walker.h"

#include <algorithm>
#include <string_view>

namespace orvanta::carve {
namespace {

constexpr std::uint32_t Tag(const char (&t)[5]) {
  return std::uint32_t(std::uint8_t(t[0])) << 24 | std::uint32_t(std::uint8_t(t[1])) << 16 |
         std::uint32_t(std::uint8_t(t[2])) << 8 | std::uint8_t(t[3]);
}

constexpr std::uint32_t kFtyp = Tag("ftyp"), kMoov = Tag("moov"), kMdat = Tag("mdat"),
                        kMeta = Tag("meta"), kMoof = Tag("moof"), kMvhd = Tag("mvhd");

// Boxes that stand at the top of a file after its `ftyp`.
constexpr std::uint32_t kTopLevel[] = {
    Tag("moov"), Tag("mdat"), Tag("free"), Tag("skip"), Tag("wide"), Tag("uuid"),
    Tag("pdin"), Tag("meta"), Tag("moof"), Tag("mfra"), Tag("sidx"), Tag("styp"),
    Tag("ssix"), Tag("prft"), Tag("emsg"), Tag("pnot"), Tag("PICT"), Tag("junk"),
    Tag("udta"), Tag("jumb"), Tag("idat"), Tag("iinf")};

// A movie has at most a few thousand boxes at its top and in its `moov`.
constexpr int kMaxBoxes = 1 << 16;

std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(b[at]) << 24 | std::uint32_t(b[at + 1]) << 16 |
         std::uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::uint64_t Be64(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint64_t(Be32(b, at)) << 32 | Be32(b, at + 4);
}

bool PrintableType(std::uint32_t type) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<std::uint8_t>(type >> shift);
    if (c < 0x20 || c > 0x7E)
      return false;
  }
  return true;
}

} // namespace

BmffWalker::BmffWalker(std::uint64_t maxLength) : Walker(Kind::Video, "mp4", maxLength) {}

void BmffWalker::Start() { Gather(8, kBox); }

void BmffWalker::BrandKind(std::span<const std::uint8_t> brand) {
  const std::string_view b(reinterpret_cast<const char *>(brand.data()), 4);
  if (b == "qt  ")
    SetKind(Kind::Video, "mov");
  else if (b.starts_with("3gp") || b.starts_with("3ge") || b.starts_with("3gs"))
    SetKind(Kind::Video, "3gp");
  else if (b.starts_with("3g2"))
    SetKind(Kind::Video, "3g2");
  else if (b == "heic" || b == "heix" || b == "mif1" || b == "msf1" || b == "heis")
    SetKind(Kind::Photo, "heic");
  else if (b == "avif" || b == "avis")
    SetKind(Kind::Photo, "avif");
  else if (b == "crx ")
    SetKind(Kind::Photo, "cr3");
  else if (b == "M4A " || b == "M4B ")
    SetKind(Kind::Music, "m4a");
  else if (b == "M4V " || b == "M4VH" || b == "M4VP")
    SetKind(Kind::Video, "m4v");
}

void BmffWalker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  switch (step) {
  case kBox: {
    const std::uint32_t size = Be32(bytes, 0), type = Be32(bytes, 4);
    if (size == 1)
      return childType_ = type, Gather(8, kLargeSize);
    return Box(type, size, 8);
  }
  case kLargeSize:
    return Box(childType_, Be64(bytes, 0), 16);
  case kFileType:
    // Major brand, minor version, compatible brands.
    BrandKind(bytes.first(4));
    return NextTopBox();
  case kChild: {
    const std::uint32_t size = Be32(bytes, 0), type = Be32(bytes, 4);
    if (size == 1)
      return childType_ = type, Gather(8, kChildLargeSize);
    return Child(type, size, 8);
  }
  case kChildLargeSize:
    return Child(childType_, Be64(bytes, 0), 16);
  case kMovieHeader: {
    // Version and flags, then the creation time: 64 bits in version 1.
    const std::uint64_t created = bytes[0] == 1 ? Be64(bytes, 4) : Be32(bytes, 4);
    SetStamp(FileStamp::FromSeconds1904(created));
    return NextChild();
  }
  case kTail:
    return End();
  default:
    return Break();
  }
}

void BmffWalker::Box(std::uint32_t type, std::uint64_t size, std::uint64_t headerBytes) {
  const std::uint64_t start = Position() - headerBytes;
  const bool first = boxes_ == 0;
  const bool known = std::find(std::begin(kTopLevel), std::end(kTopLevel), type) !=
                     std::end(kTopLevel);
  if (first ? type != kFtyp : !known) {
    if (first)
      return Break();
    // Whatever follows the last box is not the file's: it ended there.
    return sawMovie_ ? EndAt(start) : (MarkGood(start), Break());
  }
  if (size == 0 || size < headerBytes || ++boxes_ > kMaxBoxes)
    return sawMovie_ ? EndAt(start) : (MarkGood(start), Break()); // "to the end of the file": not known here
  if (first && (size < 16 || size > 4096))
    return Break();
  if (!first)
    Confirm(); // an ftyp and a box after it
  boxStart_ = start;
  boxEnd_ = start + size;
  MarkGood(start);
  if (first)
    return Gather(static_cast<std::size_t>(size - headerBytes), kFileType);
  if (type == kMoov || type == kMeta || type == kMoof)
    sawMovie_ = true;
  if (type == kMdat)
    sawData_ = true;
  if (type == kMoov && size > headerBytes + 8) {
    childEnd_ = Position();
    children_ = 0;
    return Gather(8, kChild);
  }
  NextTopBox();
}

void BmffWalker::NextTopBox() {
  lastEnd_ = boxEnd_;
  const std::uint64_t rest = boxEnd_ - Position();
  if (rest <= Room() && Room() - rest < 8)
    return Skip(rest, 0, kTail); // no room for another box after this one
  Skip(rest, 8, kBox);
}

void BmffWalker::NextChild() {
  if (childEnd_ == boxEnd_)
    return NextTopBox();
  Skip(childEnd_ - Position(), 8, kChild);
}

void BmffWalker::Child(std::uint32_t type, std::uint64_t size, std::uint64_t headerBytes) {
  const std::uint64_t start = Position() - headerBytes;
  if (size < headerBytes || start + size > boxEnd_ || ++children_ > kMaxBoxes ||
      !PrintableType(type))
    return Break();
  childEnd_ = start + size;
  if (type == kMvhd && size >= headerBytes + 12)
    return Gather(12, kMovieHeader);
  NextChild();
}

void BmffWalker::Stopped() {
  // The bytes end where a box ends: the file may well end there too.
  if (sawMovie_ && Position() <= lastEnd_ + 8 && Position() >= lastEnd_)
    return EndAt(lastEnd_);
  Break();
}

} // namespace orvanta::carve
