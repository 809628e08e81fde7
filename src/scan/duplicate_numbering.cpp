#include "scan/duplicate_numbering.h"

#include "engine/text.h"

namespace orvanta {

std::string DuplicateNumbering::Unique(std::string_view folder, const std::string &name,
                                       const std::function<bool(const std::string &)> &taken,
                                       OperationHost &host) {
  if (!taken(name))
    return name;
  const std::string foldedFolder = FoldCase(folder);
  std::uint64_t &next =
      next_.try_emplace(std::to_string(foldedFolder.size()) + ":" + foldedFolder + FoldCase(name), 1)
          .first->second;
  const auto dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
  for (;; ++next) {
    std::string candidate = base + " (" + std::to_string(next) + ")" + ext;
    if (!taken(candidate)) {
      ++next;
      return candidate;
    }
    host.Pump();
  }
}

} // namespace orvanta
