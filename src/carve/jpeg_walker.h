#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "carve/jpeg_entropy.h"
#include "carve/walker.h"

namespace orvanta::carve {

// A JPEG picture (JFIF or Exif): from SOI, segment by segment by their
// lengths (so that the Exif thumbnail inside APP1, with its own EOI, is
// passed over whole), through the entropy-coded data of each scan, whose
// only markers may be stuffed bytes and restart markers in their order, to
// the EOI after the last scan. A picture that the multi-picture (MPF)
// segment says is followed by further pictures ends after the last of them.
// The Exif date (DateTimeOriginal) is the file's date.
//
// Entropy data that cannot be a picture's ends the walk as broken: a marker
// that has no place there, restart markers out of order, or a whole piece
// of bytes without one of 0x80 or above (zeros, text). A walk broken inside
// entropy data keeps the bytes before the piece in which the fault was
// seen; for a baseline picture the decoder (JpegEntropy) can then tell where
// the data really stops and whether other bytes continue it.
class JpegWalker final : public Walker {
public:
  explicit JpegWalker(std::uint64_t maxLength);

  // What the entropy decoder needs: the frame, the tables and the scan;
  // nothing unless the walk broke inside the only scan of a baseline
  // picture.
  const JpegCoding *Coding() const;
  // Where the entropy data of the broken scan begins.
  std::uint64_t ScanStart() const { return scanStart_; }
  // Takes the walk back to a point inside the broken scan, `at` bytes into
  // the file, where `nextRestart` is the restart marker due next: the
  // bytes fed next continue the scan from there.
  void ResumeAt(std::uint64_t at, int nextRestart);

private:
  enum Step : int { kSoi, kMarker, kFill, kLength, kBody, kEntropy, kMpfTail };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  std::size_t Scanned(int step, std::span<const std::uint8_t> bytes) override;
  void Stopped() override;

  void OnMarker(std::uint8_t marker);
  void OnSegment(std::span<const std::uint8_t> body);
  bool ReadFrame(std::span<const std::uint8_t> body);
  bool ReadTables(std::span<const std::uint8_t> body);
  bool ReadScan(std::span<const std::uint8_t> body);
  void ReadMultiPicture(std::span<const std::uint8_t> body);
  void EndOfPicture();

  std::uint8_t marker_ = 0;
  int fills_ = 0;
  bool sawFrame_ = false;
  bool baseline_ = false;
  bool sawTables_ = false;
  int scans_ = 0;
  bool inScan_ = false;
  bool pendingFF_ = false;
  int nextRestart_ = 0;
  std::uint64_t scanStart_ = 0;
  std::uint64_t segmentAt_ = 0;       // where the segment being read began
  std::optional<std::uint64_t> mpfEnd_; // where the last picture of an MPF file ends
  std::uint64_t primaryEnd_ = 0;        // where the first picture ends
  JpegCoding coding_;
};

} // namespace orvanta::carve
