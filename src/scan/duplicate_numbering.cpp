#include "scan/duplicate_numbering.h"

#include "engine/text.h"

namespace orvanta {

std::string NumberedName(std::string_view name, std::uint64_t n) {
  const auto dot = name.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  std::string numbered(base);
  numbered += " (" + std::to_string(n) + ")";
  numbered += ext;
  return numbered;
}

std::string DuplicateNumbering::Unique(std::string_view folder, const std::string &name,
                                       const std::function<bool(const std::string &)> &taken,
                                       OperationHost &host) {
  if (!taken(name))
    return name;
  std::uint64_t &next =
      next_.try_emplace(std::to_string(folder.size()) + ":" + std::string(folder) + FoldCase(name), 1)
          .first->second;
  for (;; ++next) {
    std::string candidate = NumberedName(name, next);
    if (!taken(candidate)) {
      ++next;
      return candidate;
    }
    host.Pump();
  }
}

} // namespace orvanta
