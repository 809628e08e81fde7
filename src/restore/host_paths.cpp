#include "restore/host_paths.h"

#include "engine/text.h"

namespace orvanta {
namespace {

bool Unsafe(char32_t c) { return c == U'/' || c == U'\\' || c < 0x20 || (c >= 0x7F && c <= 0x9F); }

} // namespace

std::string SafeName(std::string_view name) {
  if (name.empty() || name == ".")
    return "_";
  if (name == "..")
    return "__";
  return ReplaceUnsafeCharacters(name);
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

void MakeFolderWithParents(const std::filesystem::path &folder) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
}

} // namespace orvanta
