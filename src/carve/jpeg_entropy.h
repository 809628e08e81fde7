#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace orvanta::carve {

// A Huffman table of a JPEG (DHT): 16 code-length counts and the symbols,
// with the lookup the decoder uses.
struct HuffmanTable {
  bool Defined = false;
  // Symbols of codes up to kFastBits long: the symbol and the code's length
  // (0: a longer code, or none).
  static constexpr int kFastBits = 9;
  std::array<std::uint8_t, 1 << kFastBits> FastSymbol{};
  std::array<std::uint8_t, 1 << kFastBits> FastLength{};
  // For each length 1..16: the largest code (-1: none), and where its
  // codes' symbols begin, less the first code.
  std::array<std::int32_t, 18> MaxCode{};
  std::array<std::int32_t, 17> Offset{};
  std::array<std::uint8_t, 256> Symbols{};

  // From the 16 counts and the symbols after them; false when they do not
  // make a table (more symbols than 256, or more codes than the lengths
  // hold).
  bool Build(std::span<const std::uint8_t, 16> counts, std::span<const std::uint8_t> symbols);
};

// What the entropy data of one baseline scan is decoded with.
struct JpegCoding {
  struct Component {
    std::uint8_t Id = 0;
    int H = 1, V = 1;  // sampling factors
    int Quant = 0;     // quantization table
    int Dc = 0, Ac = 0; // Huffman tables of the scan
  };
  std::vector<Component> Components; // of the frame
  int Width = 0, Height = 0;
  int RestartInterval = 0;
  std::array<HuffmanTable, 4> Dc, Ac;
  std::array<int, 4> QuantDc{1, 1, 1, 1}; // the DC step of each quantization table
  std::vector<int> Scan;                  // the frame's components in the scan, by index
};

// Decodes the entropy-coded data of a baseline scan block by block, only to
// tell whether bytes are data of that scan: every code must be in its
// table, no block may hold more than 64 coefficients, the DC values must
// stay within what 8-bit samples give, restart markers must come after
// every restart interval and in their order, and the scan must end with EOI
// after its last MCU. The state is a plain value: a copy taken at the start
// of a piece of bytes can decode another piece in its place.
class JpegEntropy {
public:
  explicit JpegEntropy(const JpegCoding &coding);

  struct Result {
    // Bytes of the piece that decoded: all of them, or up to where the
    // fault was met (0 when it was met in bytes carried over from before).
    std::size_t Valid = 0;
    bool Fault = false;
    bool Ended = false; // the EOI after the last MCU was met; Valid counts it
  };
  // Decodes the next bytes of the scan. MCUs that the bytes leave unfinished
  // are finished by the next piece. After a fault or the end it decodes
  // nothing more.
  Result Decode(std::span<const std::uint8_t> bytes);

  // The restart marker (0-7) expected next.
  int NextRestart() const { return nextRestart_; }

private:
  bool DecodeMcu();
  bool DecodeBlock(int component);
  bool Fill(int bits);
  int Bits(int n);
  int Symbol(const HuffmanTable &table);

  const JpegCoding *coding_;
  std::vector<int> blocks_; // the component of each block of an MCU
  std::int64_t mcus_ = 0;   // MCUs in the scan; 0 when not known
  int hMax_ = 1, vMax_ = 1;

  // The state between pieces.
  std::uint64_t buffer_ = 0;
  int bitCount_ = 0;
  std::array<int, 4> dc_{};
  std::int64_t mcu_ = 0;
  int sinceRestart_ = 0;
  int nextRestart_ = 0;
  bool done_ = false;
  bool fault_ = false;
  std::vector<std::uint8_t> carried_;

  // The bytes of one Decode() call.
  std::span<const std::uint8_t> work_;
  std::size_t at_ = 0;
  bool marker_ = false; // a marker stops the bits where `at_` stands
};

} // namespace orvanta::carve
