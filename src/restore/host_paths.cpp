#include "restore/host_paths.h"

#include "engine/text.h"

namespace orvanta {
namespace {

bool Unsafe(char32_t c) { return c == U'/' || c == U'\\' || c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Host file systems take names of at most 255 bytes; a long name in a
// script of two-byte letters can be longer on a FAT volume. The end of the
// name goes, at a character boundary; a short extension stays.
constexpr std::size_t kMaxHostName = 255;

std::string Shortened(std::string name) {
  if (name.size() <= kMaxHostName)
    return name;
  const auto dot = name.rfind('.');
  const std::string ext = dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : "";
  std::size_t keep = kMaxHostName - ext.size();
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
    --keep;
  return name.substr(0, keep) + ext;
}

} // namespace

std::string SafeName(std::string_view name) {
  if (name.empty() || name == ".")
    return "_";
  if (name == "..")
    return "__";
  return Shortened(ReplaceUnsafeCharacters(name));
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
