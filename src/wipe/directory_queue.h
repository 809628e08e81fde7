#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

namespace orvanta {

// The first clusters of the directories a wipe has met, in the order they
// were met, each once. Membership is a hash look-up, so a card with
// thousands of folders does not make every append a search of the list.
class DirectoryQueue {
public:
  // Appends unless present; true when appended.
  bool Add(std::uint32_t cluster);
  bool Contains(std::uint32_t cluster) const { return members_.count(cluster) != 0; }
  std::size_t Count() const { return items_.size(); }
  std::uint32_t operator[](std::size_t i) const { return items_[i]; }
  const std::vector<std::uint32_t> &Items() const { return items_; }

private:
  std::vector<std::uint32_t> items_;
  std::unordered_set<std::uint32_t> members_;
};

} // namespace orvanta
