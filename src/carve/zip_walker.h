#pragma once

#include <cstdint>

#include "carve/walker.h"

namespace orvanta::carve {

// A ZIP file and the documents made of one (DOCX, XLSX, PPTX, ODT, ODS,
// ODP, EPUB): local file headers with their data, the central directory,
// and the end-of-central-directory record with its comment, which ends the
// file. Data whose size only a descriptor after it gives is scanned for the
// next record. The names inside tell the document's kind.
class ZipWalker final : public Walker {
public:
  explicit ZipWalker(std::uint64_t maxLength);

private:
  enum Step : int {
    kSignature, kLocal, kNames, kMimetype, kDescriptor, kCentral, kEndRecord, kZip64Size,
    kSignatureSize, kTail
  };

  void Start() override;
  void Gathered(int step, std::span<const std::uint8_t> bytes) override;
  std::size_t Scanned(int step, std::span<const std::uint8_t> bytes) override;
  void OnSignature(std::uint32_t signature);
  void NameKind(std::string_view name);

  std::uint16_t flags_ = 0, method_ = 0, nameLength_ = 0;
  std::uint64_t compressed_ = 0;
  std::uint64_t dataStart_ = 0;
  int entries_ = 0;
  bool centralSeen_ = false;
  bool kindKnown_ = false;
  std::uint8_t tail_[3] = {};
  std::size_t tailLength_ = 0;
};

} // namespace orvanta::carve
