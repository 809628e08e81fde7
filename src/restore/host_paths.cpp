#include "restore/host_paths.h"

#include "engine/text.h"
#include "scan/duplicate_numbering.h"

namespace orvanta {
namespace {

#if defined(_WIN32)
// Windows takes none of these in a name either; a ":" would name a stream
// of a file or a drive.
constexpr std::u32string_view kWindowsUnsafe = U"<>:\"|?*";
#endif

bool Unsafe(char32_t c) {
#if defined(_WIN32)
  if (kWindowsUnsafe.find(c) != std::u32string_view::npos)
    return true;
#endif
  return c == U'/' || c == U'\\' || c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Windows drops the dots and blanks that end a name, and keeps the names of
// its devices (CON, NUL, COM1 ...), whatever extension follows, for the
// devices: such names are changed so that the file is made in the folder
// under the name it shows.
std::string WindowsName(std::string name) {
#if defined(_WIN32)
  for (auto c = name.rbegin(); c != name.rend() && (*c == '.' || *c == ' '); ++c)
    *c = '_';
  std::string stem = UpperAscii(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ')
    stem.pop_back();
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                        stem[3] >= '0' && stem[3] <= '9';
  if (numbered || stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" ||
      stem == "CONIN$" || stem == "CONOUT$")
    name.insert(0, "_");
#endif
  return name;
}

// Host file systems take names of at most 255 bytes; a long name in a
// script of two-byte letters can be longer on a FAT volume. The end of the
// name goes, at a character boundary; a short extension stays.
constexpr std::size_t kMaxHostName = 255;

// The extension a shortened name keeps: from its last "." on, when short.
std::string_view ShortExtension(std::string_view name) {
  const auto dot = name.rfind('.');
  return dot != std::string_view::npos && name.size() - dot <= 16 ? name.substr(dot)
                                                                  : std::string_view{};
}

// The first `keep` bytes of a text or fewer, ending at a character boundary.
std::string_view CutAt(std::string_view text, std::size_t keep) {
  if (keep >= text.size())
    return text;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
    --keep;
  return text.substr(0, keep);
}

std::string Shortened(std::string name) {
  if (name.size() <= kMaxHostName)
    return name;
  const std::string ext(ShortExtension(name));
  return std::string(CutAt(name, kMaxHostName - ext.size())) + ext;
}

} // namespace

std::string SafeName(std::string_view name) {
  if (name.empty() || name == ".")
    return "_";
  if (name == "..")
    return "__";
  return WindowsName(Shortened(ReplaceUnsafeCharacters(name)));
}

std::string NumberedSafeName(std::string_view safeName, std::uint64_t n) {
  std::string numbered = NumberedName(safeName, n);
  if (numbered.size() <= kMaxHostName)
    return numbered;
  const std::string_view ext = ShortExtension(safeName);
  const std::string_view base = safeName.substr(0, safeName.size() - ext.size());
  const std::string number = " (" + std::to_string(n) + ")";
  return std::string(CutAt(base, kMaxHostName - number.size() - ext.size())) + number +
         std::string(ext);
}

std::string ReplaceUnsafeCharacters(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t pos = 0; pos < name.size();) {
    const std::size_t start = pos;
    const char32_t c = NextCodePoint(name, pos);
    if (Unsafe(c))
      out += '_';
    else
      out.append(name.substr(start, pos - start));
  }
  return out;
}

std::filesystem::path SectionFolder(const std::filesystem::path &destination,
                                    std::string_view section) {
  std::filesystem::path folder = destination;
  std::string_view rest = section.size() > 3 ? section.substr(3) : std::string_view{};
  while (!rest.empty()) {
    const auto slash = rest.find('\\');
    folder /= SafeName(rest.substr(0, slash));
    if (slash == std::string_view::npos)
      break;
    rest.remove_prefix(slash + 1);
  }
  return folder;
}

} // namespace orvanta
