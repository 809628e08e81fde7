#include "scan/live_view.h"

#include <algorithm>

#include "engine/text.h"
#include "platform/host_system.h"
#include "scan/entry_decoding.h"
#include "volume/byte_reader.h"
#include "volume/directory_reads.h"

namespace orvanta {

std::vector<std::string> PathComponents(std::string_view volumePath) {
  std::vector<std::string> names;
  // Skip the drive text ("E:") and split the rest at backslashes.
  const auto colon = volumePath.find(':');
  std::string_view rest = colon == std::string_view::npos ? volumePath : volumePath.substr(colon + 1);
  while (!rest.empty()) {
    const auto slash = rest.find('\\');
    const std::string_view name = rest.substr(0, slash);
    if (!name.empty())
      names.emplace_back(name);
    if (slash == std::string_view::npos)
      break;
    rest.remove_prefix(slash + 1);
  }
  return names;
}

std::optional<std::filesystem::path> MountedView::HostPath(std::string_view volumePath) const {
  std::filesystem::path p = mount_;
  for (const auto &name : PathComponents(volumePath)) {
    // No name on a FAT volume holds a slash or is a dot entry: such a
    // component names nothing, rather than somewhere else on the host.
    if (name.find('/') != std::string::npos || name == "." || name == "..")
      return std::nullopt;
    p /= name;
  }
  return p;
}

bool MountedView::FolderExists(std::string_view folderPath) {
  const auto p = HostPath(folderPath);
  std::error_code ec;
  return p && std::filesystem::is_directory(*p, ec);
}

bool MountedView::FileExists(std::string_view filePath) {
  const auto p = HostPath(filePath);
  std::error_code ec;
  return p && std::filesystem::exists(*p, ec) && !std::filesystem::is_directory(*p, ec);
}

std::optional<std::vector<LiveEntry>> MountedView::List(std::string_view folderPath) {
  const auto p = HostPath(folderPath);
  std::error_code ec;
  if (!p || !std::filesystem::is_directory(*p, ec))
    return std::nullopt;
  std::vector<LiveEntry> out;
  for (std::filesystem::directory_iterator it(*p, ec), end; !ec && it != end; it.increment(ec)) {
    const auto status = HostEntryStatusOf(it->path());
    if (!status)
      continue;
    out.push_back({it->path().filename().string(), status->IsDirectory, status->Identity});
  }
  return out;
}

const BuiltInView::Listing &BuiltInView::ListingOf(std::uint64_t identity) {
  if (const auto it = listings_.find(identity); it != listings_.end())
    return it->second;
  auto &listing = listings_[identity];
  const auto &g = volume_.Geometry();
  std::vector<std::uint8_t> bytes;
  const bool read =
      identity == 0 ? ReadRootDirectory(volume_, bytes)
                    : ReadDirectory(volume_, static_cast<std::uint32_t>(identity),
                                    std::size_t(std::max(g.BytesPerCluster, 0)), bytes);
  if (!read)
    return listing;
  EntryWalker walker(g.FatType);
  for (std::size_t at = 0; at + dir_entry::kSize <= bytes.size(); at += dir_entry::kSize) {
    const std::span<const std::uint8_t> raw(bytes.data() + at, dir_entry::kSize);
    if (at > 0 && raw[0] == dir_entry::kEnd)
      break;
    const auto e = walker.Examine(raw);
    if (!e || e->IsDeleted() || raw[0] == dir_entry::kEnd)
      continue;
    if (e->IsLabel())
      continue; // the volume label
    std::string name = e->HasLongName ? e->Name : ShortEntryDisplayName(raw);
    if (name.empty() || name == "." || name == "..")
      continue;
    // A directory whose entry names cluster 0 is the root on FAT.
    (e->IsDirectory ? listing.Folders : listing.Files).emplace(FoldCase(name), listing.Entries.size());
    listing.Entries.push_back({std::move(name), e->IsDirectory, e->IsDirectory ? e->FirstCluster : 0});
  }
  return listing;
}

std::optional<std::uint64_t> BuiltInView::Resolve(const std::vector<std::string> &names) {
  std::uint64_t identity = 0;
  for (const auto &name : names) {
    const auto &listing = ListingOf(identity);
    const auto it = listing.Folders.find(FoldCase(name));
    if (it == listing.Folders.end())
      return std::nullopt;
    identity = listing.Entries[it->second].Identity;
  }
  return identity;
}

bool BuiltInView::FolderExists(std::string_view folderPath) {
  return Resolve(PathComponents(folderPath)).has_value();
}

bool BuiltInView::FileExists(std::string_view filePath) {
  auto names = PathComponents(filePath);
  if (names.empty())
    return false;
  const std::string file = names.back();
  names.pop_back();
  const auto folder = Resolve(names);
  if (!folder)
    return false;
  return ListingOf(*folder).Files.count(FoldCase(file)) > 0;
}

std::optional<std::vector<LiveEntry>> BuiltInView::List(std::string_view folderPath) {
  const auto folder = Resolve(PathComponents(folderPath));
  if (!folder)
    return std::nullopt;
  return ListingOf(*folder).Entries;
}

std::unique_ptr<LiveView> MakeLiveView(Volume &volume) {
  if (Device *device = volume.CurrentDevice())
    if (auto mount = device->MountPoint())
      return std::make_unique<MountedView>(std::move(*mount));
  return std::make_unique<BuiltInView>(volume);
}

} // namespace orvanta
