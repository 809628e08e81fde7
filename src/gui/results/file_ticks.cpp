#include "gui/results/file_ticks.h"

namespace orvanta::gui {

void FileTicks::Set(const std::string &section, const std::string &name, bool ticked) {
  if (ticked)
    ticked_.emplace(section, name);
  else
    ticked_.erase({section, name});
}

bool FileTicks::Ticked(const std::string &section, const std::string &name) const {
  return ticked_.contains({section, name});
}

std::vector<RestoreRow> FileTicks::Rows(const std::string &section, std::vector<RestoreRow> shown,
                                        const TFoundCatalogue &catalogue) const {
  for (const FoundFolder &folder : catalogue.Folders()) {
    if (folder.Section == section)
      continue;
    for (const FoundFileRow &file : folder.Files)
      if (Ticked(folder.Section, file.Name))
        shown.push_back({file.Name, true, folder.Section});
  }
  return shown;
}

} // namespace orvanta::gui
