#pragma once

#include <cstdint>

#include "volume/volume_geometry.h"

namespace orvanta {

// Whether a write of `bytes` bytes at `sector` lies wholly where a wipe may
// write: the FAT16 fixed root region or the data area, from the first
// sector after the FATs up to the volume's last sector. The boot sector, the
// reserved sectors and the FATs lie outside it whatever the geometry holds,
// and so do the geometry's shielded sectors (exFAT's bitmap and up-case table).
bool InsideWriteFence(const TVolumeGeometry &geometry, std::uint64_t sector, std::uint64_t bytes);

} // namespace orvanta
