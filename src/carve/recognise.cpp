#include "carve/recognise.h"

#include <algorithm>
#include <string_view>

#include "carve/bmff_walker.h"
#include "carve/gif_walker.h"
#include "carve/jpeg_walker.h"
#include "carve/mp3_walker.h"
#include "carve/pdf_walker.h"
#include "carve/png_walker.h"
#include "carve/riff_walker.h"
#include "carve/tiff_walker.h"
#include "carve/zip_walker.h"

namespace orvanta::carve {
namespace {

bool Begins(std::span<const std::uint8_t> head, std::string_view signature, std::size_t at = 0) {
  return head.size() >= at + signature.size() &&
         std::equal(signature.begin(), signature.end(), head.begin() + std::ptrdiff_t(at),
                    [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
}

// An MPEG audio frame header here and another where its length says.
bool FramesFollow(std::span<const std::uint8_t> head) {
  if (head.size() < 4)
    return false;
  const auto frame = ReadMp3Frame(head.first<4>());
  if (!frame || head.size() < frame->Length + 4)
    return false;
  const auto next = ReadMp3Frame(head.subspan(frame->Length).first<4>());
  return next && next->Version == frame->Version && next->Layer == frame->Layer &&
         next->SampleRate == frame->SampleRate;
}

} // namespace

std::unique_ptr<Walker> Recognise(std::span<const std::uint8_t> head, std::uint64_t maxLength) {
  if (head.size() < 16)
    return nullptr;
  const std::uint8_t first = head[0];
  if (first == 0xFF) {
    // SOI, then the marker of the first segment.
    if (head[1] == 0xD8 && head[2] == 0xFF &&
        ((head[3] >= 0xE0 && head[3] <= 0xEF) || head[3] == 0xDB || head[3] == 0xC4 ||
         head[3] == 0xC0 || head[3] == 0xFE))
      return std::make_unique<JpegWalker>(maxLength);
    if (FramesFollow(head))
      return std::make_unique<Mp3Walker>(maxLength);
    return nullptr;
  }
  if (Begins(head, "\x89PNG\r\n\x1a\n"))
    return std::make_unique<PngWalker>(maxLength);
  if (Begins(head, "GIF87a") || Begins(head, "GIF89a"))
    return std::make_unique<GifWalker>(maxLength);
  if (Begins(head, std::string_view("II*\0", 4)) || Begins(head, std::string_view("MM\0*", 4)) ||
      Begins(head, std::string_view("IIU\0", 4)) || Begins(head, "IIRO") ||
      Begins(head, "IIRS") || Begins(head, "MMOR"))
    return std::make_unique<TiffWalker>(maxLength);
  if (Begins(head, "ftyp", 4))
    return std::make_unique<BmffWalker>(maxLength);
  if (Begins(head, "RIFF") &&
      (Begins(head, "AVI ", 8) || Begins(head, "WAVE", 8) || Begins(head, "WEBP", 8)))
    return std::make_unique<RiffWalker>(maxLength);
  if (Begins(head, "ID3"))
    return std::make_unique<Mp3Walker>(maxLength);
  if (Begins(head, "%PDF-"))
    return std::make_unique<PdfWalker>(maxLength);
  if (Begins(head, std::string_view("PK\3\4", 4)))
    return std::make_unique<ZipWalker>(maxLength);
  return nullptr;
}

} // namespace orvanta::carve
