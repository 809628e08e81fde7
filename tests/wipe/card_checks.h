#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/wipe_job.h"

namespace orvanta::test {

// What a volume holds, as witnesses other than the engine see it.
using Tree = std::map<std::string, std::vector<std::uint8_t>>;

// Runs a wipe on an image file, answering yes; with `stopAfter` the host
// clears the running flag after that many pumps. `pumps` gets the count.
WipeOutcome WipeImage(const std::filesystem::path &image, bool freeSpace,
                      std::optional<long> stopAfter = std::nullopt, long *pumps = nullptr);

// Every live file and folder, copied out with `mcopy -s` into `into`.
Tree LiveFiles(const std::filesystem::path &image, const std::filesystem::path &into);

// `fsck.fat -n` finds nothing to mend.
::testing::AssertionResult FsckClean(const std::filesystem::path &image);

// Deleted entries that The Sleuth Kit still lists in folders that exist.
std::vector<std::string> DeletedInLiveFolders(const std::filesystem::path &image);

// Free clusters (by the FAT) that hold anything but zero bytes, with the
// layout read from the boot sector directly.
std::vector<std::uint32_t> DirtyFreeClusters(const std::vector<std::uint8_t> &image);

// Sectors of `after` that differ from `before` outside what a wipe may
// change: the FAT16 root region, free clusters (by the FAT of `before`) and
// the clusters of directories (the root's chain and every chain that begins
// with a "." entry naming its own cluster). Sectors past the volume's end
// count too. The layout is read from the boot sector directly.
std::vector<std::uint64_t> ChangedOutsideTheWipesReach(const std::vector<std::uint8_t> &before,
                                                       const std::vector<std::uint8_t> &after);

} // namespace orvanta::test
