#pragma once

#include <cstdint>
#include <span>

#include "engine/operation_host.h"
#include "scan/entry_decoding.h"
#include "volume/volume_geometry.h"

namespace orvanta {

// A directory begins with its "." and ".." entries; the named entries follow.
inline constexpr std::size_t kDotOffset = 0;
inline constexpr std::size_t kDotDotOffset = dir_entry::kSize;
inline constexpr std::size_t kNamedEntriesOffset = 2 * dir_entry::kSize;

inline bool BeginsWithDotPair(std::span<const std::uint8_t> cluster) {
  return cluster.size() >= kNamedEntriesOffset && cluster[kDotOffset] == '.' &&
         cluster[kDotDotOffset] == '.' && cluster[kDotDotOffset + 1] == '.';
}

// A ".." link to the root: 0, or on FAT32 the root's own cluster.
inline bool IsRootLink(std::uint32_t link, const TVolumeGeometry &g) {
  return link == 0 || (g.FatType == kFat32 && link == g.RootCluster);
}

enum class WalkEnd { Completed, Stopped, Ended };

// Walks a directory buffer 32 bytes at a time from `offset`: the first entry
// examined is always processed; the walk stops before an entry whose first
// byte is 0x00 and at the end of the buffer. The host is pumped before each
// entry; when `stoppable`, a cleared running flag ends the walk (Stopped).
// `onEntry(const ShortEntry&, std::span<const std::uint8_t> raw)` is called
// for every short entry and returns false to end the walk (Ended).
template <class OnEntry>
WalkEnd WalkDirectory(std::span<const std::uint8_t> bytes, std::size_t offset, int fatType,
                      OperationHost &host, bool stoppable, OnEntry &&onEntry) {
  EntryWalker walker(fatType);
  for (std::size_t at = offset; at + dir_entry::kSize <= bytes.size(); at += dir_entry::kSize) {
    const auto raw = bytes.subspan(at, dir_entry::kSize);
    if (at > offset && raw[0] == dir_entry::kEnd)
      break;
    host.Pump();
    if (stoppable && !host.Running())
      return WalkEnd::Stopped;
    if (const auto entry = walker.Examine(raw))
      if (!onEntry(*entry, raw))
        return WalkEnd::Ended;
  }
  return WalkEnd::Completed;
}

} // namespace orvanta
