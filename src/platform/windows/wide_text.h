#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvanta {

// The program's text is UTF-8; the system's calls take UTF-16. These are
// the only places where one becomes the other. Bytes that are not UTF-8
// become U+FFFD, and lone surrogates do the same the other way.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A path as the system's calls take it, and a path the system gave back as
// the program's UTF-8.
inline std::wstring WidePath(const std::filesystem::path &path) { return path.wstring(); }
inline std::string PathText(const std::filesystem::path &path) { return Narrow(path.wstring()); }

} // namespace orvanta
