#include "restore/host_paths.h"

#include "engine/text.h"
#include "scan/duplicate_numbering.h"

namespace orvanta {
namespace {

bool Unsafe(char32_t c) { return c == U'/' || c == U'\\' || c < 0x20 || (c >= 0x7F && c <= 0x9F); }

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
  return Shortened(ReplaceUnsafeCharacters(name));
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
