#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace orvanta {

class Volume;

// Reads whole sectors from `sector` into `bytes`; when that fails, each
// sector on its own, so that only the sectors that cannot be read stay zero.
// Nothing more is tried on a device that is gone, nor sectors past the
// device's end (Geometry().DeviceSectors); `stop`, when given, is asked
// before each sector of the retry and ends it. Gives the offset of the first
// byte that could not be read, and bytes.size() when every sector was read.
std::size_t ReadSalvaging(Volume &volume, std::uint64_t sector, std::span<std::uint8_t> bytes,
                          const std::function<bool()> &stop = {});

} // namespace orvanta
