#include "scan/find_context.h"

#include <algorithm>

#include "engine/text.h"
#include "scan/directory_continuations.h"

namespace orvanta {

bool FolderList::Add(std::uint64_t directory, QueuedFolder folder) {
  if (!directories_.insert(directory).second)
    return false;
  items_.push_back(std::move(folder));
  return true;
}

void FolderList::Sort() {
  // Compare folded characters, with the backslash before every other
  // character so that a folder's sub-folders follow it directly.
  auto key = [](const std::string &s) {
    std::u32string k;
    for (std::size_t pos = 0; pos < s.size();) {
      const char32_t c = FoldCase(NextCodePoint(s, pos));
      k += c == U'\\' ? char32_t{0} : c;
    }
    return k;
  };
  std::vector<std::pair<std::u32string, QueuedFolder>> keyed;
  keyed.reserve(items_.size());
  for (auto &item : items_)
    keyed.emplace_back(key(item.Path), std::move(item));
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  for (std::size_t i = 0; i < keyed.size(); ++i)
    items_[i] = std::move(keyed[i].second);
}

std::optional<FoundFileRow> FoundFileRowOf(FindContext &ctx, const ShortEntry &entry,
                                           std::span<const std::uint8_t> raw, char mark) {
  if (entry.IsLabel())
    return std::nullopt;
  if (!ctx.AdmitsAll && !ctx.Mask.Matches(entry.Name, entry.FirstLetterLost()))
    return std::nullopt;
  const LastWrite written = DecodeLastWrite(raw);
  if (!IsPlausible(written, ctx.MaxYearOffset))
    return std::nullopt;
  const auto &g = ctx.State.Vol.Geometry();
  if (g.ClusterCount < 0 || entry.FirstCluster > std::uint64_t(g.ClusterCount))
    return std::nullopt;
  // No file is larger than the volume's data area.
  if (std::int64_t{entry.Size} > EntryLimitsOf(g).MaxSize)
    return std::nullopt;
  if (!ctx.HeldClusters)
    ctx.HeldClusters = LiveClusters::Of(ctx.State.Vol, &ctx.Host);
  ctx.EntryFirstClusters.insert(entry.FirstCluster);
  // The cluster is at most ClusterCount, so it fits.
  const auto first = static_cast<std::int32_t>(entry.FirstCluster);
  return FoundFileRow{.Name = entry.Name,
                      .Size = entry.Size,
                      .Written = FoundDateTimeOf(written),
                      .FirstCluster = entry.FirstCluster,
                      .Mark = mark,
                      .Condition = ConditionOnVolume(ctx.State.Vol, *ctx.HeldClusters, entry.Size,
                                                     first),
                      .Seconds = written.Seconds,
                      .FirstLetterLost = entry.FirstLetterLost()};
}

void RecordFoundFile(FindContext &ctx, std::string path, FoundFileRow row) {
  auto &state = ctx.State;
  if (path.empty() || path.back() != '\\')
    path += '\\';
  if (!state.Catalogue.HasSection(path))
    AddFolderToTree(state.Tree, path, state.Vol.Geometry().DrivePath,
                    [&](std::string_view folder) { return ctx.Live.FolderExists(folder); });
  row.Name = ctx.Duplicates.Unique(
      path, row.Name, [&](const std::string &n) { return state.Catalogue.HasFile(path, n); },
      ctx.Host);
  ctx.Host.Log(path + row.Name);
  state.Catalogue.Write(path, std::move(row));
  ++state.FoundCount;
  ctx.Host.SetCounter(state.FoundCount);
}

const std::string &FindContext::Text(std::string_view section, std::string_view key,
                                     std::string_view defaultText) {
  std::string id = std::string(section) + '\0' + std::string(key);
  if (const auto known = texts_.find(id); known != texts_.end())
    return known->second;
  return texts_.emplace(std::move(id), State.Language.Text(section, key, defaultText)).first->second;
}

std::string ComponentOf(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '_');
  return name;
}

} // namespace orvanta
