#include "carve/zip_walker.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace orvanta::carve {
namespace {

constexpr std::uint32_t kLocalSig = 0x04034B50, kCentralSig = 0x02014B50, kEndSig = 0x06054B50,
                        kDescriptorSig = 0x08074B50, kZip64EndSig = 0x06064B50,
                        kZip64LocatorSig = 0x07064B50, kDigitalSig = 0x05054B50;
constexpr int kMaxEntries = 1 << 20;
constexpr int kNamesLooked = 16; // entries whose names may tell the kind

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint64_t Le64(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint64_t(Le32(b, at)) | std::uint64_t(Le32(b, at + 4)) << 32;
}

bool KnownMethod(std::uint16_t m) {
  return m <= 20 || m == 93 || m == 95 || m == 96 || m == 97 || m == 98 || m == 99;
}

// The record that begins with "PK" and these two bytes.
bool RecordAfterData(std::uint8_t a, std::uint8_t b) {
  return (a == 7 && b == 8) || (a == 3 && b == 4) || (a == 1 && b == 2);
}

} // namespace

ZipWalker::ZipWalker(std::uint64_t maxLength) : Walker(Kind::Document, "zip", maxLength) {}

void ZipWalker::Start() { Gather(4, kSignature); }

void ZipWalker::NameKind(std::string_view name) {
  if (kindKnown_)
    return;
  if (name.starts_with("word/"))
    SetExtension("docx");
  else if (name.starts_with("xl/"))
    SetExtension("xlsx");
  else if (name.starts_with("ppt/"))
    SetExtension("pptx");
  else
    return;
  kindKnown_ = true;
}

void ZipWalker::OnSignature(std::uint32_t signature) {
  switch (signature) {
  case kLocalSig:
    if (centralSeen_ || ++entries_ > kMaxEntries)
      return Break();
    return Gather(26, kLocal);
  case kCentralSig:
    if (entries_ == 0)
      return Break();
    centralSeen_ = true;
    Confirm(); // files, then their directory
    return Gather(42, kCentral);
  case kEndSig:
    if (entries_ == 0 && !centralSeen_)
      return Break();
    return Gather(18, kEndRecord);
  case kDescriptorSig:
    return Gather(12, kDescriptor);
  case kZip64EndSig:
    return Gather(8, kZip64Size);
  case kZip64LocatorSig:
    return Skip(16, 4, kSignature);
  case kDigitalSig:
    return Gather(2, kSignatureSize);
  default:
    return Break();
  }
}

void ZipWalker::Gathered(int step, std::span<const std::uint8_t> bytes) {
  switch (step) {
  case kSignature:
    MarkGood(Position() - 4);
    return OnSignature(Le32(bytes, 0));
  case kLocal: {
    // version, flags, method, time, date, crc, sizes, name and extra lengths
    flags_ = Le16(bytes, 2);
    method_ = Le16(bytes, 4);
    compressed_ = Le32(bytes, 14);
    nameLength_ = Le16(bytes, 22);
    const std::uint16_t extra = Le16(bytes, 24);
    if ((Le16(bytes, 0) & 0xFF) > 63 || !KnownMethod(method_) || nameLength_ == 0)
      return Break();
    return Gather(std::size_t(nameLength_) + extra, kNames);
  }
  case kNames: {
    const std::string_view name(reinterpret_cast<const char *>(bytes.data()), nameLength_);
    // The ZIP64 extra field holds the sizes the header has no room for.
    for (std::size_t at = nameLength_; at + 4 <= bytes.size();) {
      const std::uint16_t id = Le16(bytes, at), size = Le16(bytes, at + 2);
      if (at + 4 + size > bytes.size())
        break;
      if (id == 0x0001 && compressed_ == 0xFFFFFFFF && size >= 16)
        compressed_ = Le64(bytes, at + 4 + 8);
      at += 4 + std::size_t(size);
    }
    if (entries_ <= kNamesLooked)
      NameKind(name);
    dataStart_ = Position();
    if ((flags_ & 8) && compressed_ == 0) {
      tailLength_ = 0;
      return Scan(kDescriptor); // the size comes after the data
    }
    if (entries_ == 1 && name == "mimetype" && method_ == 0 && compressed_ <= 96)
      return Gather(static_cast<std::size_t>(compressed_), kMimetype);
    return Skip(compressed_, 4, kSignature);
  }
  case kMimetype: {
    const std::string_view type(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    if (type == "application/vnd.oasis.opendocument.text")
      SetExtension("odt"), kindKnown_ = true;
    else if (type == "application/vnd.oasis.opendocument.spreadsheet")
      SetExtension("ods"), kindKnown_ = true;
    else if (type == "application/vnd.oasis.opendocument.presentation")
      SetExtension("odp"), kindKnown_ = true;
    else if (type == "application/epub+zip")
      SetExtension("epub"), kindKnown_ = true;
    return Gather(4, kSignature);
  }
  case kDescriptor:
    // CRC, compressed and uncompressed sizes.
    if (Le32(bytes, 4) != Position() - 16 - dataStart_)
      return Break();
    return Gather(4, kSignature);
  case kCentral:
    return Skip(std::uint64_t{Le16(bytes, 24)} + Le16(bytes, 26) + Le16(bytes, 28), 4,
                kSignature);
  case kEndRecord:
    MarkGood();
    return Skip(Le16(bytes, 16), 0, kTail);
  case kZip64Size: {
    const std::uint64_t size = Le64(bytes, 0);
    if (size < 44 || size > (1u << 20))
      return Break();
    return Skip(size, 4, kSignature);
  }
  case kSignatureSize:
    return Skip(Le16(bytes, 0), 4, kSignature);
  case kTail:
    return End();
  default:
    return Break();
  }
}

std::size_t ZipWalker::Scanned(int, std::span<const std::uint8_t> bytes) {
  // A record that began in the bytes before this piece: the last ones of
  // them joined with the first of this one.
  std::uint8_t joined[6] = {};
  std::memcpy(joined, tail_, tailLength_);
  const std::size_t head = std::min<std::size_t>(3, bytes.size());
  std::memcpy(joined + tailLength_, bytes.data(), head);
  for (std::size_t j = 0; j < tailLength_ && j + 4 <= tailLength_ + head; ++j) {
    if (joined[j] != 'P' || joined[j + 1] != 'K' || !RecordAfterData(joined[j + 2], joined[j + 3]))
      continue;
    const std::uint32_t signature = Le32(std::span<const std::uint8_t>(joined + j, 4), 0);
    const std::uint64_t at = Position() - (tailLength_ - j);
    // A descriptor without its signature stands before the header found.
    if (signature != kDescriptorSig && at - dataStart_ < 12)
      continue;
    const std::size_t taken = j + 4 - tailLength_;
    tailLength_ = 0;
    OnSignature(signature);
    return taken;
  }
  for (std::size_t at = 0; at + 4 <= bytes.size();) {
    const void *found = std::memchr(bytes.data() + at, 'P', bytes.size() - at - 3);
    if (!found)
      break;
    at = std::size_t(static_cast<const std::uint8_t *>(found) - bytes.data());
    if (bytes[at + 1] == 'K' && RecordAfterData(bytes[at + 2], bytes[at + 3])) {
      const std::uint32_t signature = Le32(bytes, at);
      if (signature == kDescriptorSig || Position() + at - dataStart_ >= 12) {
        tailLength_ = 0;
        OnSignature(signature);
        return at + 4;
      }
    }
    ++at;
  }
  // Keep the last bytes, where a record may begin.
  std::uint8_t last[6];
  std::memcpy(last, tail_, tailLength_);
  const std::size_t fromPiece = std::min<std::size_t>(3, bytes.size());
  std::memcpy(last + tailLength_, bytes.data() + bytes.size() - fromPiece, fromPiece);
  const std::size_t total = tailLength_ + fromPiece;
  tailLength_ = std::min<std::size_t>(3, total);
  std::memcpy(tail_, last + total - tailLength_, tailLength_);
  return bytes.size();
}

} // namespace orvanta::carve
