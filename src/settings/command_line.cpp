#include "settings/command_line.h"

#include <algorithm>

#include "settings/ascii_case.h"

namespace orvanta {
namespace {

constexpr std::string_view kProgramExtensions[] = {".EXE", ".DLL", ".BAT", ".CMD",
                                                   ".CPL", ".APL", ".OCX"};

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back()))
    text.remove_suffix(1);
  return text;
}

// 1-based position of the first occurrence, 0 when absent.
std::size_t Pos(std::string_view what, std::string_view in) {
  const std::size_t at = in.find(what);
  return at == std::string_view::npos ? 0 : at + 1;
}

} // namespace

std::string CommandLineToExePath(const WellKnownFolders &folders, std::string_view commandLine) {
  const std::string_view trimmed = Trim(commandLine);
  if (trimmed.empty())
    return {};
  std::string s = ExpandFolderVariables(folders, AsciiUpper(trimmed));
  std::erase(s, '"');

  // Start at the drive letter of the first absolute path ...
  if (const std::size_t p = Pos(":\\", s); p > 2)
    s.erase(0, p - 2);
  // ... and end just before the drive letter of a second one.
  if (s.size() > 2)
    if (const std::size_t q = Pos(":\\", std::string_view(s).substr(2)); q > 2)
      s.resize(q);

  for (const auto extension : kProgramExtensions)
    if (const std::size_t at = s.find(extension); at != std::string::npos)
      s.resize(at + extension.size());

  if (s.starts_with("START "))
    s.erase(0, 6);

  if (const std::size_t c = Pos(",", s); c > 0) {
    if (c < Pos(":", s))
      s.erase(0, c);
    if (Pos(".", s) < c) {
      // Keep three characters after the last dot (none: the first three).
      const std::size_t lastDot = s.rfind('.');
      const std::size_t keep = (lastDot == std::string::npos ? 0 : lastDot + 1) + 3;
      s.resize(std::min(keep, s.size()));
    }
  }
  return s;
}

} // namespace orvanta
