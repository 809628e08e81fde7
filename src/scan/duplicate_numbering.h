#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/operation_host.h"

namespace orvanta {

// The n-th numbered form of a name: base + " (n)" + extension, the
// extension being everything from the last "." on ("photo.jpg", 1 gives
// "photo (1).jpg"; "README", 2 gives "README (2)").
std::string NumberedName(std::string_view name, std::uint64_t n);

// Numbers the duplicate names of each folder: a second "photo.jpg" becomes
// "photo (1).jpg", a third "photo (2).jpg", each the first form not yet
// taken. Folders are compared as spelled, names without regard to letter
// case. The
// next number to try is kept per folder and name: names are only ever
// added, so the numbers below it stay taken, and many files of one name
// cost time in proportion to their number.
class DuplicateNumbering {
public:
  // `name` when `taken` does not hold it, else base + " (n)" + extension
  // (the extension is everything from the last "." on) with the first such
  // n that `taken` does not hold. Pumps the host for every form found taken.
  std::string Unique(std::string_view folder, const std::string &name,
                     const std::function<bool(const std::string &)> &taken, OperationHost &host);

private:
  std::unordered_map<std::string, std::uint64_t> next_; // folder and folded name -> n
};

} // namespace orvanta
