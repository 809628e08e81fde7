#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "jobs/restore_jobs.h"
#include "scan/found_catalogue.h"

namespace orvanta::gui {

// The found files ticked in the results window, each known by its folder's
// catalogue section and its name: a tick stays while other folders are
// shown, for as long as the window lives.
class FileTicks {
public:
  void Set(const std::string &section, const std::string &name, bool ticked);
  bool Ticked(const std::string &section, const std::string &name) const;
  std::size_t Count() const { return ticked_.size(); }
  void Clear() { ticked_.clear(); }

  // The rows of a restore of ticked files: `shown`, the rows of `section`
  // as listed, then the ticked files of the other folders in the
  // catalogue's order.
  std::vector<RestoreRow> Rows(const std::string &section, std::vector<RestoreRow> shown,
                               const TFoundCatalogue &catalogue) const;

private:
  std::set<std::pair<std::string, std::string>> ticked_;
};

} // namespace orvanta::gui
