#include "engine/text.h"

#if defined(_WIN32)
#include <windows.h>
#include <array>
#include <vector>
#else
#include <clocale>
#include <cwctype>
#include <locale.h>
#endif

namespace orvanta {

void AppendUtf8(std::string &out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

namespace {

// Windows-1251 bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

} // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80)
      out += ch;
    else if (b < 0xC0)
      AppendUtf8(out, kCp1251High[b - 0x80]);
    else
      AppendUtf8(out, 0x0410 + (b - 0xC0));
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      AppendUtf8(out, u); // lone surrogates become U+FFFD
    }
  }
  return out;
}

char32_t NextCodePoint(std::string_view s, std::size_t &pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  auto cont = [&](std::size_t i) {
    return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
  };
  auto bits = [&](std::size_t i) { return static_cast<char32_t>(s[i] & 0x3F); };
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  if (b0 >= 0xC2 && b0 < 0xE0 && cont(pos + 1)) {
    const char32_t c = (char32_t(b0 & 0x1F) << 6) | bits(pos + 1);
    pos += 2;
    return c;
  }
  if (b0 >= 0xE0 && b0 < 0xF0 && cont(pos + 1) && cont(pos + 2)) {
    const char32_t c = (char32_t(b0 & 0x0F) << 12) | (bits(pos + 1) << 6) | bits(pos + 2);
    if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
      pos += 3;
      return c;
    }
  }
  if (b0 >= 0xF0 && b0 < 0xF5 && cont(pos + 1) && cont(pos + 2) && cont(pos + 3)) {
    const char32_t c = (char32_t(b0 & 0x07) << 18) | (bits(pos + 1) << 12) |
                       (bits(pos + 2) << 6) | bits(pos + 3);
    if (c >= 0x10000 && c <= 0x10FFFF) {
      pos += 4;
      return c;
    }
  }
  ++pos;
  return 0xFFFD;
}

namespace {

#if defined(_WIN32)

// Windows maps case through its own tables: one table per direction for the
// basic multilingual plane, made once with the invariant locale; letters
// beyond it keep their case, as in the system's own name comparisons.
using CaseTable = std::array<char16_t, 0x10000>;

CaseTable MakeCaseTable(DWORD mapping) {
  CaseTable table{};
  for (std::size_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<char16_t>(i);
  std::vector<wchar_t> in(table.size()), out(table.size());
  for (std::size_t i = 0; i < in.size(); ++i)
    in[i] = static_cast<wchar_t>(i);
  // The two runs around the surrogates, each mapped in one call; a mapping
  // that fails or changes the length leaves that run as it is.
  for (const auto &[from, to] : {std::pair<int, int>{1, 0xD800}, {0xE000, 0x10000}}) {
    const int length = to - from;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, mapping, &in[from], length, &out[from], length,
                      nullptr, nullptr, 0) == length)
      for (int i = from; i < to; ++i)
        table[i] = static_cast<char16_t>(out[i]);
  }
  return table;
}

char32_t MapCase(char32_t c, bool upper) {
  static const CaseTable upperTable = MakeCaseTable(LCMAP_UPPERCASE);
  static const CaseTable lowerTable = MakeCaseTable(LCMAP_LOWERCASE);
  if (c > 0xFFFF)
    return c;
  return (upper ? upperTable : lowerTable)[c];
}

#else

locale_t Utf8Locale() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
  }();
  return loc;
}

char32_t MapCase(char32_t c, bool upper) {
  const auto w = static_cast<wint_t>(c);
  return static_cast<char32_t>(upper ? towupper_l(w, Utf8Locale()) : towlower_l(w, Utf8Locale()));
}

#endif

} // namespace

char32_t FoldCase(char32_t c) {
  if (c < 0x80)
    return c >= 'a' && c <= 'z' ? c - 32 : c;
  return MapCase(c, true);
}

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const auto b = static_cast<unsigned char>(text[pos]);
    if (b < 0x80) {
      out += static_cast<char>(b >= 'a' && b <= 'z' ? b - 32 : b);
      ++pos;
    } else {
      AppendUtf8(out, FoldCase(NextCodePoint(text, pos)));
    }
  }
  return out;
}

std::string ToLower(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = NextCodePoint(text, pos);
    AppendUtf8(out, c < 0x80 ? (c >= 'A' && c <= 'Z' ? c + 32 : c) : MapCase(c, false));
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size())
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j)))
      return false;
  return i == a.size() && j == b.size();
}

std::string_view TrimControl(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20)
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20)
    text.remove_suffix(1);
  return text;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (auto &c : out)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  return out;
}

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string PathToUtf8(const std::filesystem::path &path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

} // namespace orvanta
