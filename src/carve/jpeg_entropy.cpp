#include "carve/jpeg_entropy.h"

#include <algorithm>
#include <cstdlib>

namespace orvanta::carve {

bool HuffmanTable::Build(std::span<const std::uint8_t, 16> counts,
                         std::span<const std::uint8_t> symbols) {
  *this = HuffmanTable{};
  std::size_t total = 0;
  for (const auto c : counts)
    total += c;
  if (total == 0 || total > 256 || total > symbols.size())
    return false;
  std::copy_n(symbols.begin(), total, Symbols.begin());
  std::int32_t code = 0;
  std::int32_t index = 0;
  MaxCode.fill(-1);
  for (int length = 1; length <= 16; ++length) {
    const int n = counts[std::size_t(length - 1)];
    Offset[std::size_t(length)] = index - code;
    // The codes of one length must fit in it: no more than 2^length of them.
    if (code + n > (1 << length))
      return false;
    for (int i = 0; i < n; ++i, ++code, ++index) {
      if (length <= kFastBits) {
        // Every lookahead of kFastBits bits that begins with this code.
        const int shift = kFastBits - length;
        for (int fill = 0; fill < (1 << shift); ++fill) {
          const auto slot = static_cast<std::size_t>((code << shift) | fill);
          FastSymbol[slot] = Symbols[std::size_t(index)];
          FastLength[slot] = static_cast<std::uint8_t>(length);
        }
      }
    }
    if (n > 0)
      MaxCode[std::size_t(length)] = code - 1;
    code <<= 1;
  }
  MaxCode[17] = 0x7FFFFFFF; // a sentinel that ends every search
  Defined = true;
  return true;
}

JpegEntropy::JpegEntropy(const JpegCoding &coding) : coding_(&coding) {
  for (const auto &c : coding.Components) {
    hMax_ = std::max(hMax_, c.H);
    vMax_ = std::max(vMax_, c.V);
  }
  const auto ceilDiv = [](std::int64_t a, std::int64_t b) { return (a + b - 1) / b; };
  if (coding.Scan.size() == 1) {
    const auto &c = coding.Components[std::size_t(coding.Scan[0])];
    blocks_.push_back(coding.Scan[0]);
    const std::int64_t w = ceilDiv(std::int64_t{coding.Width} * c.H, hMax_);
    const std::int64_t h = ceilDiv(std::int64_t{coding.Height} * c.V, vMax_);
    mcus_ = ceilDiv(w, 8) * ceilDiv(h, 8);
  } else {
    for (const int index : coding.Scan) {
      const auto &c = coding.Components[std::size_t(index)];
      for (int b = 0; b < c.H * c.V; ++b)
        blocks_.push_back(index);
    }
    mcus_ = ceilDiv(coding.Width, 8 * hMax_) * ceilDiv(coding.Height, 8 * vMax_);
  }
}

bool JpegEntropy::Fill(int bits) {
  while (bitCount_ < bits && !marker_) {
    if (at_ >= work_.size())
      return false;
    std::uint8_t b = work_[at_];
    if (b == 0xFF) {
      if (at_ + 1 >= work_.size())
        return false;
      const std::uint8_t next = work_[at_ + 1];
      if (next == 0xFF) {
        ++at_; // a fill byte before a marker
        continue;
      }
      if (next != 0x00) {
        marker_ = true;
        break;
      }
      at_ += 2;
    } else {
      ++at_;
    }
    buffer_ = (buffer_ << 8) | b;
    bitCount_ += 8;
  }
  return true;
}

// Takes n bits (n <= 16); -1 when they run past a marker (a fault) and -2
// when the bytes ran out.
int JpegEntropy::Bits(int n) {
  if (n == 0)
    return 0;
  if (!Fill(n))
    return -2;
  if (bitCount_ < n)
    return -1;
  bitCount_ -= n;
  return static_cast<int>((buffer_ >> bitCount_) & ((1u << n) - 1));
}

// The next symbol of a table; -1 for a code not in it or past a marker, -2
// when the bytes ran out.
int JpegEntropy::Symbol(const HuffmanTable &table) {
  if (!Fill(16))
    return -2;
  // Past a marker the code is read as if 1 bits padded it; it must still
  // end within the real bits.
  const int real = bitCount_;
  const std::uint64_t padded =
      real >= 16 ? buffer_ >> (real - 16) : (buffer_ << (16 - real)) | ((1u << (16 - real)) - 1);
  const auto peek = static_cast<std::uint32_t>(padded & 0xFFFF);
  const auto fast = peek >> (16 - HuffmanTable::kFastBits);
  int length = table.FastLength[fast];
  int symbol = 0;
  if (length > 0) {
    symbol = table.FastSymbol[fast];
  } else {
    length = HuffmanTable::kFastBits + 1;
    while (length <= 16 &&
           static_cast<std::int32_t>(peek >> (16 - length)) > table.MaxCode[std::size_t(length)])
      ++length;
    if (length > 16)
      return -1;
    const auto code = static_cast<std::int32_t>(peek >> (16 - length));
    const std::int32_t index = code + table.Offset[std::size_t(length)];
    if (index < 0 || index > 255)
      return -1;
    symbol = table.Symbols[std::size_t(index)];
  }
  if (length > real)
    return -1;
  bitCount_ -= length;
  return symbol;
}

namespace {
int Extend(int value, int bits) {
  return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value;
}
} // namespace

bool JpegEntropy::DecodeBlock(int component) {
  const auto &c = coding_->Components[std::size_t(component)];
  const HuffmanTable &dc = coding_->Dc[std::size_t(c.Dc)];
  const HuffmanTable &ac = coding_->Ac[std::size_t(c.Ac)];
  const int s = Symbol(dc);
  if (s == -2)
    return false;
  if (s < 0 || s > 11) {
    fault_ = true;
    return false;
  }
  const int raw = Bits(s);
  if (raw < 0) {
    fault_ = raw == -1;
    return false;
  }
  int &value = dc_[std::size_t(component)];
  value += s ? Extend(raw, s) : 0;
  // Eight times the mean of 8-bit samples less 128 lies in [-1024, 1016].
  const int step = coding_->QuantDc[std::size_t(c.Quant)];
  if (std::abs(value) * step > 1024 + step) {
    fault_ = true;
    return false;
  }
  for (int k = 1; k < 64;) {
    const int rs = Symbol(ac);
    if (rs == -2)
      return false;
    if (rs < 0) {
      fault_ = true;
      return false;
    }
    const int run = rs >> 4, size = rs & 15;
    if (size == 0) {
      if (run != 15)
        break; // end of block
      k += 16;
      if (k > 64) {
        fault_ = true;
        return false;
      }
      continue;
    }
    k += run;
    if (k > 63 || size > 10) {
      fault_ = true;
      return false;
    }
    const int bits = Bits(size);
    if (bits < 0) {
      fault_ = bits == -1;
      return false;
    }
    ++k;
  }
  return true;
}

bool JpegEntropy::DecodeMcu() {
  for (const int component : blocks_)
    if (!DecodeBlock(component))
      return false;
  return true;
}

namespace {
enum class MarkerCheck { Ok, NeedMore, Fault };
}

JpegEntropy::Result JpegEntropy::Decode(std::span<const std::uint8_t> bytes) {
  Result result;
  if (done_ || fault_) {
    result.Fault = fault_;
    return result;
  }
  std::vector<std::uint8_t> work = std::move(carried_);
  carried_.clear();
  const std::size_t carried = work.size();
  work.insert(work.end(), bytes.begin(), bytes.end());
  work_ = work;
  at_ = 0;
  marker_ = false;

  // At a restart point or the end: the bits left are the padding of the
  // last byte (fewer than 8, all ones), then FF (fill bytes allowed) and
  // the marker.
  auto expectMarker = [&](std::uint8_t expected) {
    if (bitCount_ >= 8 ||
        (bitCount_ > 0 && (buffer_ & ((1u << bitCount_) - 1)) != (1u << bitCount_) - 1))
      return MarkerCheck::Fault;
    std::size_t i = at_;
    while (i < work.size() && work[i] == 0xFF && i + 1 < work.size() && work[i + 1] == 0xFF)
      ++i;
    if (i + 1 >= work.size())
      return MarkerCheck::NeedMore;
    if (work[i] != 0xFF || work[i + 1] != expected)
      return MarkerCheck::Fault;
    at_ = i + 2;
    buffer_ = 0;
    bitCount_ = 0;
    marker_ = false;
    return MarkerCheck::Ok;
  };

  while (true) {
    const auto savedBuffer = buffer_;
    const int savedCount = bitCount_;
    const auto savedDc = dc_;
    const std::size_t savedAt = at_;
    const bool savedMarker = marker_;
    auto rollBack = [&] {
      buffer_ = savedBuffer;
      bitCount_ = savedCount;
      dc_ = savedDc;
      at_ = savedAt;
      marker_ = savedMarker;
      carried_.assign(work.begin() + std::ptrdiff_t(savedAt), work.end());
    };
    if (mcus_ > 0 && mcu_ == mcus_) {
      const MarkerCheck check = expectMarker(0xD9);
      if (check == MarkerCheck::NeedMore) {
        rollBack();
        break;
      }
      if (check == MarkerCheck::Fault) {
        fault_ = true;
        break;
      }
      done_ = true;
      result.Ended = true;
      break;
    }
    if (coding_->RestartInterval > 0 && sinceRestart_ == coding_->RestartInterval) {
      const MarkerCheck check = expectMarker(static_cast<std::uint8_t>(0xD0 + nextRestart_));
      if (check == MarkerCheck::NeedMore) {
        rollBack();
        break;
      }
      if (check == MarkerCheck::Fault) {
        fault_ = true;
        break;
      }
      nextRestart_ = (nextRestart_ + 1) & 7;
      sinceRestart_ = 0;
      dc_.fill(0);
      continue;
    }
    if (DecodeMcu()) {
      ++mcu_;
      ++sinceRestart_;
      continue;
    }
    if (fault_)
      break;
    rollBack(); // the bytes ran out inside this MCU
    break;
  }
  const std::size_t end = fault_ ? at_ : (done_ ? at_ : work.size());
  result.Valid = end > carried ? std::min(end - carried, bytes.size()) : 0;
  result.Fault = fault_;
  work_ = {};
  return result;
}

} // namespace orvanta::carve
