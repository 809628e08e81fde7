#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "carve/walker.h"

namespace orvanta::carve {

// A PDF document: from "%PDF-" to its last "%%EOF". After each "%%EOF" the
// bytes that follow tell whether an update of the document follows (an
// object, a cross-reference section or a comment) or the file has ended. A
// linearized document states its length in its first object; no "%%EOF"
// before that length ends it. The information dictionary's /CreationDate
// is its date. A document in which no object has begun for a long stretch
// has ended, broken, at its last object.
class PdfWalker final : public Walker {
public:
  explicit PdfWalker(std::uint64_t maxLength);

private:
  enum Step : int { kHeader, kBody };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  std::size_t Scanned(int step, std::span<const std::uint8_t> bytes) override;
  void Stopped() override;
  // Looks at the text from `from` on (positions count from the file's
  // start); gives false when the walk made a request.
  bool Look(std::uint64_t from);

  // The last bytes seen, so that a word across two pieces is found.
  std::string window_;
  std::uint64_t windowStart_ = 0;
  std::uint64_t lookedTo_ = 0;
  std::optional<std::uint64_t> eofEnd_;    // after the last "%%EOF" and its line end
  std::optional<std::uint64_t> linearEnd_; // the length a linearized document states
  std::uint64_t lastObject_ = 0;           // where an object last began or ended
  bool dated_ = false;
};

} // namespace orvanta::carve
