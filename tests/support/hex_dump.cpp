#include "support/hex_dump.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace orvanta::test {

std::vector<std::uint8_t> FromXxd(std::string_view dump, std::size_t size) {
  std::vector<std::uint8_t> out(size);
  std::istringstream lines{std::string(dump)};
  std::string line;
  auto hex = [](char c) -> int {
    if (std::isdigit(static_cast<unsigned char>(c)))
      return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  while (std::getline(lines, line)) {
    const auto colon = line.find(':');
    if (colon == std::string::npos)
      continue; // "*" lines and blank lines: zeros stay zeros
    std::size_t offset = std::stoull(line.substr(0, colon), nullptr, 16);
    // The hex part ends at two blanks before the text column.
    const auto textStart = line.find("  ", colon + 2);
    const std::string bytes =
        line.substr(colon + 1, textStart == std::string::npos ? std::string::npos : textStart - colon - 1);
    int high = -1;
    for (const char c : bytes) {
      const int v = hex(c);
      if (v < 0)
        continue;
      if (high < 0) {
        high = v;
      } else {
        if (offset >= out.size())
          throw std::out_of_range("xxd dump runs past the image");
        out[offset++] = static_cast<std::uint8_t>(high << 4 | v);
        high = -1;
      }
    }
  }
  return out;
}

std::string ToXxd(const std::vector<std::uint8_t> &bytes) {
  std::string out;
  bool skipping = false;
  for (std::size_t line = 0; line < bytes.size(); line += 16) {
    bool zero = true;
    for (std::size_t i = line; i < line + 16 && i < bytes.size(); ++i)
      zero = zero && bytes[i] == 0;
    const bool last = line + 16 >= bytes.size();
    if (zero && !last && line != 0) {
      if (!skipping)
        out += "*\n";
      skipping = true;
      continue;
    }
    skipping = false;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%08zx:", line);
    out += buffer;
    std::string text;
    for (std::size_t i = line; i < line + 16; ++i) {
      if ((i - line) % 2 == 0)
        out += ' ';
      if (i < bytes.size()) {
        std::snprintf(buffer, sizeof buffer, "%02x", bytes[i]);
        out += buffer;
        text += std::isprint(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
      } else {
        out += "  ";
      }
    }
    out += "  " + text + "\n";
  }
  return out;
}

} // namespace orvanta::test
