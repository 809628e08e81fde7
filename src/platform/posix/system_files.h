#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace orvanta {

// A field of /proc/self/mounts or /proc/self/mountinfo: blanks, tabs,
// newlines and backslashes are escaped there as \ooo.
inline std::string UnescapeMountField(const std::string &s) {
  auto octal = [&](std::size_t i) { return i < s.size() && s[i] >= '0' && s[i] <= '7'; };
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The first line of a small kernel file (sysfs attributes), empty when it
// cannot be read.
inline std::string FirstLine(const std::filesystem::path &p) {
  std::ifstream in(p);
  std::string line;
  std::getline(in, line);
  return line;
}

} // namespace orvanta
