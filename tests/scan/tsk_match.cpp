#include "tsk_match.h"

#include <algorithm>
#include <vector>

#include "engine/text.h"
#include "scan/live_view.h"

namespace orvanta::test {

bool SameName(std::string tsk, std::string ours) {
  if (const auto open = ours.rfind(" ("); open != std::string::npos) {
    const auto close = ours.find(')', open);
    if (close != std::string::npos &&
        ours.find_first_not_of("0123456789", open + 2) == close)
      ours.erase(open, close - open + 1);
  }
  const std::string ha = "\xD1\x85";
  if (tsk.starts_with("_") && ours.starts_with(ha)) {
    tsk.erase(0, 1);
    ours.erase(0, ha.size());
  }
  return EqualsIgnoreCase(tsk, ours);
}

bool SamePath(const std::string &tskFolder, const std::string &section) {
  auto a = PathComponents("E:\\" + tskFolder);
  for (auto &c : a)
    std::replace(c.begin(), c.end(), '/', '\\');
  const auto b = PathComponents(section);
  std::vector<std::string> split;
  for (const auto &c : a) {
    const auto parts = PathComponents("E:\\" + c);
    split.insert(split.end(), parts.begin(), parts.end());
  }
  if (split.size() != b.size())
    return false;
  for (std::size_t i = 0; i < b.size(); ++i)
    if (!SameName(split[i], b[i]))
      return false;
  return true;
}

std::string TskFolder(const std::string &path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string CatalogueDate(const TskEntry &listed) {
  const std::string &w = listed.Written;
  return w.substr(0, 4) + "/" + w.substr(5, 2) + "/" + w.substr(8, 2) + " " + w.substr(11, 5);
}

bool SameFile(const TskEntry &listed, const FoundRow &found) {
  const std::string folder = TskFolder(listed.Path);
  const std::string name = listed.Path.substr(folder.empty() ? 0 : folder.size() + 1);
  return SamePath(folder, found.Section) && SameName(name, found.Key) &&
         found.Value.starts_with(std::to_string(listed.Size) + "#" + CatalogueDate(listed) + "#");
}

} // namespace orvanta::test
