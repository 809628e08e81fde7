#include "carve/pdf_walker.h"

#include <string_view>

namespace orvanta::carve {
namespace {

// Bytes of earlier pieces kept, so that words across pieces are found.
constexpr std::size_t kKeep = 64;
// Bytes after a "%%EOF" looked at before deciding whether the file ended.
constexpr std::size_t kLookAhead = 32;
// A stretch without any object in it that no document has.
constexpr std::uint64_t kMaxObjectGap = 64u << 20;
// The header and the first object lie within this many bytes.
constexpr std::uint64_t kFirstObjectWithin = 1u << 20;
constexpr std::uint64_t kLinearizedWithin = 1024;

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

} // namespace

PdfWalker::PdfWalker(std::uint64_t maxLength) : Walker(Kind::Document, "pdf", maxLength) {}

void PdfWalker::Start() { Gather(8, kHeader); }

void PdfWalker::Gathered(int, std::span<const std::uint8_t> bytes) {
  // "%PDF-1.7": a version of a digit, a dot and a digit.
  const std::string_view header(reinterpret_cast<const char *>(bytes.data()), bytes.size());
  if (!header.starts_with("%PDF-") || !Digit(header[5]) || header[6] != '.' || !Digit(header[7]))
    return Break();
  window_.assign(header);
  windowStart_ = 0;
  lookedTo_ = 0;
  Scan(kBody);
}

std::size_t PdfWalker::Scanned(int, std::span<const std::uint8_t> bytes) {
  if (window_.size() > kKeep + kLookAhead) {
    const std::size_t drop = window_.size() - (kKeep + kLookAhead);
    window_.erase(0, drop);
    windowStart_ += drop;
  }
  window_.append(reinterpret_cast<const char *>(bytes.data()), bytes.size());
  const std::uint64_t from = lookedTo_ > windowStart_ + kKeep ? lookedTo_ - kKeep : windowStart_;
  if (!Look(from))
    return bytes.size();
  const std::uint64_t end = windowStart_ + window_.size();
  if (!Confirmed() && end > kFirstObjectWithin)
    return Break(), bytes.size();
  if (end - lastObject_ > kMaxObjectGap) {
    MarkGood(eofEnd_.value_or(lastObject_));
    return Break(), bytes.size();
  }
  return bytes.size();
}

bool PdfWalker::Look(std::uint64_t from) {
  const std::string_view text(window_);
  const std::uint64_t end = windowStart_ + text.size();
  auto at = [&](std::uint64_t absolute) { return std::size_t(absolute - windowStart_); };

  // Objects: "obj" (and "endobj"), "stream" (and "endstream").
  for (const std::string_view word : {std::string_view("obj"), std::string_view("stream")}) {
    const std::size_t found = text.rfind(word);
    if (found != std::string_view::npos && windowStart_ + found + word.size() > lastObject_) {
      lastObject_ = windowStart_ + found + word.size();
      Confirm();
    }
  }
  if (!Confirmed())
    MarkGood(0);
  else if (!eofEnd_)
    MarkGood(lastObject_);

  if (!linearEnd_ && from < kLinearizedWithin) {
    const std::size_t l = text.find("/Linearized", at(from));
    if (l != std::string_view::npos && windowStart_ + l < kLinearizedWithin) {
      // "/L 123456": the file's length.
      std::size_t p = text.find("/L", l + 11);
      while (p != std::string_view::npos && p + 2 < text.size() && text[p + 2] != ' ' &&
             !Digit(text[p + 2]))
        p = text.find("/L", p + 2);
      if (p != std::string_view::npos && p < l + 256) {
        std::size_t q = p + 2;
        while (q < text.size() && Space(text[q]))
          ++q;
        std::uint64_t length = 0;
        int digits = 0;
        while (q < text.size() && Digit(text[q]) && digits < 12) {
          length = length * 10 + std::uint64_t(text[q++] - '0');
          ++digits;
        }
        if (digits > 0 && q < text.size() && length > 0)
          linearEnd_ = length;
      }
    }
  }

  if (!dated_) {
    const std::size_t c = text.find("/CreationDate", at(from));
    if (c != std::string_view::npos) {
      std::size_t d = text.find("D:", c + 13);
      if (d != std::string_view::npos && d < c + 24 && d + 16 <= text.size()) {
        // D:YYYYMMDDHHmmSS, the later fields optional.
        int fields[6] = {0, 1, 1, 0, 0, 0};
        static constexpr int kWidths[6] = {4, 2, 2, 2, 2, 2};
        std::size_t p = d + 2;
        bool year = false;
        for (int f = 0; f < 6; ++f) {
          int n = 0, k = 0;
          while (k < kWidths[f] && p < text.size() && Digit(text[p]))
            n = n * 10 + (text[p++] - '0'), ++k;
          if (k < kWidths[f])
            break;
          fields[f] = n;
          year = year || f == 0;
        }
        if (year)
          SetStamp(FileStamp::Checked(fields[0], fields[1], fields[2], fields[3], fields[4],
                                      fields[5]));
        dated_ = true;
      }
    }
  }

  // "%%EOF": the end, unless an update follows it.
  std::size_t searchFrom = at(from);
  while (true) {
    const std::size_t e = text.find("%%EOF", searchFrom);
    if (e == std::string_view::npos)
      break;
    std::size_t after = e + 5;
    if (after < text.size() && text[after] == '\r')
      ++after;
    if (after < text.size() && text[after] == '\n')
      ++after;
    const std::uint64_t eof = windowStart_ + after;
    searchFrom = e + 5;
    if (linearEnd_ && eof < *linearEnd_)
      continue; // the first page's section of a linearized document
    eofEnd_ = eof;
    MarkGood(eof);
    if (after + kLookAhead > text.size()) {
      // What follows is not here yet: look again with the next piece.
      lookedTo_ = windowStart_ + e;
      return true;
    }
    std::size_t next = after;
    while (next < text.size() && next < after + kLookAhead && Space(text[next]))
      ++next;
    const char c = next < text.size() ? text[next] : '\0';
    const bool update = next < after + kLookAhead && (Digit(c) || c == '%' || c == 'x' || c == 't');
    if (!update) {
      EndAt(eof);
      return false;
    }
  }
  lookedTo_ = end;
  return true;
}

void PdfWalker::Stopped() {
  if (eofEnd_)
    return EndAt(*eofEnd_);
  Break();
}

} // namespace orvanta::carve
