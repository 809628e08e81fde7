#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvanta {

// Text is UTF-8 everywhere inside the program.

// Appends the UTF-8 form of a code point (invalid ones become U+FFFD).
void AppendUtf8(std::string &out, char32_t c);

// Windows-1251 (Cyrillic) bytes as UTF-8.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-16 code units as UTF-8, surrogate pairs joined; a lone surrogate
// becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// The next code point of a UTF-8 text, advancing `pos`; malformed bytes read
// as U+FFFD one byte at a time.
char32_t NextCodePoint(std::string_view text, std::size_t &pos);

// Simple case folding as file-name comparisons on FAT use it (Windows
// compares names without regard to letter case, in every script).
char32_t FoldCase(char32_t c);
std::string FoldCase(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
// Lower-case letters in every script.
std::string ToLower(std::string_view text);

// Removes leading and trailing blanks and control characters (bytes up to 0x20).
std::string_view TrimControl(std::string_view text);

// Letters a to z as A to Z; every other byte unchanged.
std::string UpperAscii(std::string_view text);

// A host path from UTF-8 text, and a host path as UTF-8 text. Paths keep
// UTF-16 on Windows, where a path made from a plain char string would not
// read it as UTF-8.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path &path);

} // namespace orvanta
