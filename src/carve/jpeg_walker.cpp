#include "carve/jpeg_walker.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "carve/tiff_reader.h"

namespace orvanta::carve {
namespace {

constexpr std::uint8_t kSoiMarker = 0xD8, kEoi = 0xD9, kSos = 0xDA, kDht = 0xC4, kDqt = 0xDB,
                       kDri = 0xDD, kApp1 = 0xE1, kApp2 = 0xE2;
constexpr int kMaxFills = 64;    // FF bytes before a marker
constexpr int kMaxScans = 64;    // a progressive picture has about ten
constexpr std::size_t kPlausiblePiece = 512; // entropy bytes checked for high bytes at once

bool IsFrame(std::uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != kDht && m != 0xC8 && m != 0xCC; }
bool IsRestart(std::uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

std::uint16_t Be16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

} // namespace

JpegWalker::JpegWalker(std::uint64_t maxLength) : Walker(Kind::Photo, "jpg", maxLength) {}

void JpegWalker::Start() { Gather(2, kSoi); }

const JpegCoding *JpegWalker::Coding() const {
  if (State() != Verdict::Broken || !inScan_ || scans_ != 1 || coding_.Scan.empty())
    return nullptr;
  return &coding_;
}

void JpegWalker::ResumeAt(std::uint64_t at, int nextRestart) {
  RewindToScan(at, kEntropy);
  pendingFF_ = false;
  inScan_ = true;
  nextRestart_ = nextRestart;
}

void JpegWalker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  switch (step) {
  case kSoi:
    if (bytes[0] != 0xFF || bytes[1] != kSoiMarker)
      return Break();
    return Gather(2, kMarker);
  case kMarker:
    if (bytes[0] != 0xFF)
      return Break();
    segmentAt_ = Position() - 2;
    if (bytes[1] == 0xFF) {
      fills_ = 0;
      return Gather(1, kFill);
    }
    return OnMarker(bytes[1]);
  case kFill:
    if (bytes[0] == 0xFF)
      return ++fills_ > kMaxFills ? Break() : Gather(1, kFill);
    return OnMarker(bytes[0]);
  case kLength: {
    const std::uint16_t length = Be16(bytes, 0);
    if (length < 2)
      return Break();
    const std::size_t body = length - 2u;
    const bool read = marker_ == kApp1 || marker_ == kApp2 || IsFrame(marker_) ||
                      marker_ == kDht || marker_ == kDqt || marker_ == kDri || marker_ == kSos;
    if (read)
      return Gather(body, kBody);
    return Skip(body, 2, kMarker);
  }
  case kBody:
    return OnSegment(bytes);
  case kMpfTail:
    // The last two bytes of the last picture are its EOI; when they are
    // not, the file is the first picture alone.
    if (bytes[0] == 0xFF && bytes[1] == kEoi)
      return End();
    return EndAt(primaryEnd_);
  default:
    return Break();
  }
}

void JpegWalker::OnMarker(std::uint8_t marker) {
  marker_ = marker;
  if (marker == kEoi) {
    if (scans_ == 0)
      return Break(); // a header without a picture
    return EndOfPicture();
  }
  if (marker == kSoiMarker || (marker >= 0x02 && marker < 0xC0))
    return Break();
  if (marker == 0x01 || IsRestart(marker))
    return Gather(2, kMarker); // markers without a length
  Gather(2, kLength);
}

void JpegWalker::EndOfPicture() {
  MarkGood();
  primaryEnd_ = Position();
  // Further pictures follow; the file ends with the EOI of the last.
  if (mpfEnd_ && *mpfEnd_ > Position() + 2 && *mpfEnd_ - Position() <= Room())
    return Skip(*mpfEnd_ - Position() - 2, 2, kMpfTail);
  End();
}

void JpegWalker::OnSegment(std::span<const std::uint8_t> body) {
  bool sound = true;
  if (marker_ == kApp1) {
    constexpr std::uint8_t kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    if (body.size() > 6 && std::equal(kExif, kExif + 6, body.begin()))
      SetStamp(TiffPictureDate(TiffReader(body.subspan(6))));
  } else if (marker_ == kApp2) {
    ReadMultiPicture(body);
  } else if (IsFrame(marker_)) {
    sound = !sawFrame_ && ReadFrame(body);
  } else if (marker_ == kDht) {
    sound = ReadTables(body);
  } else if (marker_ == kDqt) {
    // Tables of 64 bytes (8-bit) or 128 (16-bit), each after its id.
    std::size_t at = 0;
    while (sound && at < body.size()) {
      const int precision = body[at] >> 4, id = body[at] & 15;
      const std::size_t size = precision == 0 ? 64 : 128;
      sound = precision <= 1 && id < 4 && at + 1 + size <= body.size();
      if (sound)
        coding_.QuantDc[std::size_t(id)] =
            std::max(1, precision == 0 ? int{body[at + 1]} : int{Be16(body, at + 1)});
      at += 1 + size;
    }
    sawTables_ = sawTables_ || sound;
  } else if (marker_ == kDri) {
    sound = body.size() == 2;
    if (sound)
      coding_.RestartInterval = Be16(body, 0);
  } else if (marker_ == kSos) {
    if (!sawFrame_ || ++scans_ > kMaxScans || !ReadScan(body))
      return Break();
    Confirm();
    MarkGood();
    inScan_ = true;
    pendingFF_ = false;
    nextRestart_ = 0;
    scanStart_ = Position();
    return Scan(kEntropy);
  }
  if (!sound)
    return Break();
  MarkGood();
  Gather(2, kMarker);
}

bool JpegWalker::ReadFrame(std::span<const std::uint8_t> body) {
  if (body.size() < 6)
    return false;
  const int precision = body[0];
  const int count = body[5];
  if ((precision != 8 && precision != 12 && precision != 16) || count < 1 || count > 4 ||
      body.size() != 6u + 3u * std::size_t(count))
    return false;
  coding_.Height = Be16(body, 1);
  coding_.Width = Be16(body, 3);
  if (coding_.Width == 0)
    return false;
  coding_.Components.clear();
  for (int i = 0; i < count; ++i) {
    JpegCoding::Component c;
    c.Id = body[6 + 3 * i];
    c.H = body[7 + 3 * i] >> 4;
    c.V = body[7 + 3 * i] & 15;
    c.Quant = body[8 + 3 * i];
    if (c.H < 1 || c.H > 4 || c.V < 1 || c.V > 4 || c.Quant > 3)
      return false;
    coding_.Components.push_back(c);
  }
  sawFrame_ = true;
  // Only baseline pictures of 8-bit samples and Huffman coding are decoded.
  baseline_ = (marker_ == 0xC0 || marker_ == 0xC1) && precision == 8 && coding_.Height > 0;
  return true;
}

bool JpegWalker::ReadTables(std::span<const std::uint8_t> body) {
  std::size_t at = 0;
  while (at < body.size()) {
    if (at + 17 > body.size())
      return false;
    const int tableClass = body[at] >> 4, id = body[at] & 15;
    if (tableClass > 1 || id > 3)
      return false;
    std::size_t symbols = 0;
    for (std::size_t i = 0; i < 16; ++i)
      symbols += body[at + 1 + i];
    if (symbols > 256 || at + 17 + symbols > body.size())
      return false;
    auto &table = tableClass == 0 ? coding_.Dc[std::size_t(id)] : coding_.Ac[std::size_t(id)];
    if (!table.Build(std::span<const std::uint8_t, 16>(body.data() + at + 1, 16),
                     body.subspan(at + 17, symbols)))
      return false;
    at += 17 + symbols;
  }
  return true;
}

bool JpegWalker::ReadScan(std::span<const std::uint8_t> body) {
  if (body.empty())
    return false;
  const int count = body[0];
  if (count < 1 || count > 4 || body.size() != 1u + 2u * std::size_t(count) + 3u)
    return false;
  coding_.Scan.clear();
  for (int i = 0; i < count; ++i) {
    const std::uint8_t id = body[1 + 2 * i];
    const auto found = std::find_if(coding_.Components.begin(), coding_.Components.end(),
                                    [id](const auto &c) { return c.Id == id; });
    if (found == coding_.Components.end())
      return false;
    found->Dc = body[2 + 2 * i] >> 4;
    found->Ac = body[2 + 2 * i] & 15;
    if (found->Dc > 3 || found->Ac > 3)
      return false;
    coding_.Scan.push_back(static_cast<int>(found - coding_.Components.begin()));
  }
  // The decoder takes a baseline scan of all its coefficients whose tables
  // are there; any other scan is followed by its markers only.
  const std::size_t tail = 1 + 2 * std::size_t(count);
  const bool whole = body[tail] == 0 && body[tail + 1] == 63 && body[tail + 2] == 0;
  bool tables = true;
  for (const int index : coding_.Scan) {
    const auto &c = coding_.Components[std::size_t(index)];
    tables = tables && coding_.Dc[std::size_t(c.Dc)].Defined && coding_.Ac[std::size_t(c.Ac)].Defined;
  }
  if (!baseline_ || !whole || !tables)
    coding_.Scan.clear();
  return true;
}

void JpegWalker::ReadMultiPicture(std::span<const std::uint8_t> body) {
  // "MPF\0", then a TIFF structure whose first IFD lists the pictures:
  // tag 0xB002 holds 16 bytes a picture (attributes, size, offset from the
  // TIFF header, dependants); the first picture is this one (offset 0).
  constexpr std::uint8_t kMpf[] = {'M', 'P', 'F', 0};
  if (body.size() < 12 || !std::equal(kMpf, kMpf + 4, body.begin()) || mpfEnd_)
    return;
  const TiffReader tiff(body.subspan(4));
  const auto ifd = tiff.ReadIfd(tiff.FirstIfd());
  if (!ifd)
    return;
  for (const auto &e : ifd->Entries) {
    if (e.Tag != 0xB002 || e.Type != 7 || e.Count % 16 != 0 || e.Count > 16 * 64)
      continue;
    const auto value = tiff.Value(e);
    if (!value)
      return;
    // The TIFF header lies 8 bytes into the segment (marker, length, "MPF\0").
    const std::uint64_t header = segmentAt_ + 8;
    const auto base = std::size_t(value->data() - (body.data() + 4));
    std::uint64_t end = 0;
    for (std::size_t at = 0; at + 16 <= value->size(); at += 16) {
      const std::uint32_t size = tiff.U32(base + at + 4);
      const std::uint32_t offset = tiff.U32(base + at + 8);
      if (offset != 0)
        end = std::max(end, header + offset + size);
    }
    if (end > 0)
      mpfEnd_ = end;
  }
}

namespace {

// A piece of entropy data long enough to tell must hold a byte of 0x80 or
// above: zeros and text are not a picture's data.
bool Plausible(std::span<const std::uint8_t> piece) {
  if (piece.size() < kPlausiblePiece)
    return true;
  std::uint8_t any = 0;
  for (const std::uint8_t b : piece)
    any |= b;
  return (any & 0x80) != 0;
}

} // namespace

void JpegWalker::Stopped() {
  // Cut off inside entropy data in which no fault was seen: all of it is kept.
  if (inScan_)
    MarkGood();
  Break();
}

std::size_t JpegWalker::Scanned(int, std::span<const std::uint8_t> bytes) {
  // Everything before this piece is good: a fault met in it costs the piece.
  MarkGood(std::max(Position(), scanStart_));
  std::size_t at = 0;
  bool afterFF = std::exchange(pendingFF_, false);
  while (true) {
    if (!afterFF) {
      const void *ff = std::memchr(bytes.data() + at, 0xFF, bytes.size() - at);
      const std::size_t plain =
          ff ? std::size_t(static_cast<const std::uint8_t *>(ff) - bytes.data()) : bytes.size();
      if (!Plausible(bytes.subspan(at, plain - at)))
        return Break(), at;
      if (!ff)
        return bytes.size();
      at = plain + 1;
    }
    afterFF = false;
    if (at == bytes.size()) {
      pendingFF_ = true; // the marker byte comes with the next piece
      return at;
    }
    const std::uint8_t m = bytes[at++];
    if (m == 0x00)
      continue; // a stuffed FF
    if (m == 0xFF) {
      afterFF = true; // a fill byte: the marker follows this FF
      continue;
    }
    if (IsRestart(m)) {
      if (coding_.RestartInterval == 0 || m - 0xD0 != nextRestart_)
        return Break(), at;
      nextRestart_ = (nextRestart_ + 1) & 7;
      continue;
    }
    if (m == kEoi || m == kDht || m == kSos || m == kDqt || m == kDri || m == 0xFE ||
        (m >= 0xE0 && m <= 0xEF)) {
      // The scan ends; the marker begins what follows it.
      if (m != kEoi)
        inScan_ = false;
      segmentAt_ = Position() + at - 2;
      OnMarker(m);
      return at;
    }
    return Break(), at;
  }
}

} // namespace orvanta::carve
