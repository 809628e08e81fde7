#include "card_checks.h"

#include <algorithm>
#include <set>

#include "support/fat_image.h"
#include "support/run.h"
#include "support/scan_fixture.h"
#include "support/tsk.h"

namespace orvanta::test {

WipeOutcome WipeImage(const std::filesystem::path &image, bool freeSpace, std::optional<long> stopAfter,
                      long *pumps) {
  auto engine = EngineFixture::OfImage(image);
  engine.Host.StopAfterPumps = stopAfter;
  WipeOptions options;
  options.FreeSpace = freeSpace;
  options.Confirm = [](const std::string &) { return true; };
  auto outcome = RunWipe(engine.State, engine.Host, options);
  if (pumps)
    *pumps = engine.Host.Pumps;
  return outcome;
}

Tree LiveFiles(const std::filesystem::path &image, const std::filesystem::path &into) {
  std::filesystem::remove_all(into);
  std::filesystem::create_directories(into);
  RunOrFail({"mcopy", "-s", "-n", "-i", image.string(), "::/*", into.string() + "/"});
  Tree tree;
  for (const auto &e : std::filesystem::recursive_directory_iterator(into))
    tree[std::filesystem::relative(e.path(), into).string()] =
        e.is_regular_file() ? ReadFileBytes(e.path()) : std::vector<std::uint8_t>{};
  return tree;
}

::testing::AssertionResult FsckClean(const std::filesystem::path &image) {
  const auto r = Run({"fsck.fat", "-n", image.string()});
  if (r.ExitCode == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "fsck.fat -n: " << r.Out << r.Err;
}

std::vector<std::string> DeletedInLiveFolders(const std::filesystem::path &image) {
  std::set<std::string> live = {""};
  for (const auto &e : Fls(image, false))
    if (e.Directory && !e.Deleted)
      live.insert(e.Path);
  std::vector<std::string> found;
  for (const auto &e : Fls(image, true)) {
    const auto slash = e.Path.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : e.Path.substr(0, slash);
    if (live.count(parent))
      found.push_back(e.Path);
  }
  return found;
}

std::vector<std::uint32_t> DirtyFreeClusters(const std::vector<std::uint8_t> &b) {
  auto le16 = [&](std::size_t at) { return std::uint32_t(b[at] | b[at + 1] << 8); };
  auto le32 = [&](std::size_t at) { return le16(at) | le16(at + 2) << 16; };
  const std::uint32_t bytesPerSector = le16(11), spc = b[13], reserved = le16(14), fats = b[16];
  const std::uint32_t rootEntries = le16(17);
  const bool fat32 = le16(22) == 0;
  const std::uint32_t fatSectors = fat32 ? le32(36) : le16(22);
  const std::uint32_t total = le16(19) ? le16(19) : le32(32);
  const std::uint32_t dataStart = reserved + fats * fatSectors + rootEntries * 32 / bytesPerSector;
  const std::uint32_t clusters = (total - dataStart) / spc;
  const std::size_t clusterBytes = std::size_t(spc) * bytesPerSector;
  std::vector<std::uint32_t> dirty;
  for (std::uint32_t c = 2; c < clusters + 2; ++c) {
    const std::size_t e = std::size_t(reserved) * bytesPerSector + c * (fat32 ? 4 : 2);
    const std::uint32_t entry = fat32 ? le32(e) & 0x0FFFFFFF : le16(e);
    if (entry != 0)
      continue;
    const auto first = b.begin() + std::ptrdiff_t((dataStart + std::size_t(c - 2) * spc) * bytesPerSector);
    if (std::any_of(first, first + std::ptrdiff_t(clusterBytes), [](std::uint8_t x) { return x != 0; }))
      dirty.push_back(c);
  }
  return dirty;
}

std::vector<std::uint64_t> ChangedOutsideTheWipesReach(const std::vector<std::uint8_t> &b,
                                                       const std::vector<std::uint8_t> &after) {
  auto le16 = [&](std::size_t at) { return std::uint32_t(b[at] | b[at + 1] << 8); };
  auto le32 = [&](std::size_t at) { return le16(at) | le16(at + 2) << 16; };
  const std::uint64_t bytesPerSector = le16(11), spc = b[13], reserved = le16(14), fats = b[16];
  const bool fat32 = le16(22) == 0;
  const std::uint64_t fatSectors = fat32 ? le32(36) : le16(22);
  const std::uint64_t total = le16(19) ? le16(19) : le32(32);
  const std::uint64_t rootStart = reserved + fats * fatSectors;
  const std::uint64_t dataStart = rootStart + (le16(17) * 32 + bytesPerSector - 1) / bytesPerSector;
  const std::uint64_t clusters = (total - dataStart) / spc;
  auto entry = [&](std::uint64_t c) -> std::uint32_t {
    const std::size_t at = reserved * bytesPerSector + c * (fat32 ? 4 : 2);
    return fat32 ? le32(at) & 0x0FFFFFFF : le16(at);
  };
  auto sectorOf = [&](std::uint64_t c) { return dataStart + (c - 2) * spc; };
  std::set<std::uint64_t> directory;
  auto follow = [&](std::uint64_t c) {
    while (c >= 2 && c < clusters + 2 && directory.insert(c).second)
      c = entry(c);
  };
  if (fat32)
    follow(le32(44));
  for (std::uint64_t c = 2; c < clusters + 2; ++c) {
    const std::size_t at = sectorOf(c) * bytesPerSector;
    if (entry(c) != 0 && b[at] == '.' && b[at + 32] == '.' && b[at + 33] == '.' &&
        (fat32 ? le16(at + 20) << 16 : 0) + le16(at + 26) == c)
      follow(c);
  }
  std::vector<std::uint64_t> outside;
  const std::size_t sectors = std::max(b.size(), after.size()) / bytesPerSector;
  for (std::uint64_t s = 0; s < sectors; ++s) {
    const std::size_t at = s * bytesPerSector;
    if (at + bytesPerSector <= std::min(b.size(), after.size()) &&
        std::equal(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + bytesPerSector),
                   after.begin() + std::ptrdiff_t(at)))
      continue;
    if (s >= rootStart && s < dataStart)
      continue; // the FAT16 root region
    const std::uint64_t c = s >= dataStart ? (s - dataStart) / spc + 2 : 0;
    if (s < total && c >= 2 && c < clusters + 2 && (entry(c) == 0 || directory.count(c)))
      continue;
    outside.push_back(s);
  }
  return outside;
}

} // namespace orvanta::test
