#pragma once

#include <cstdint>
#include <string_view>

#include "settings/registry.h"

namespace orvanta {

// Where the system keeps per-program compatibility layers (HKEY_CURRENT_USER).
inline constexpr std::string_view kLayersKey =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
// The layer that makes later starts of the program run elevated.
inline constexpr std::string_view kElevationLayer = "RUNASADMIN ELEVATECREATEPROCESS";

// The major version of the running Windows, or 0 when the system does not
// report one, which is always the case on Linux.
std::uint32_t QueryOsMajorVersion();

// Start-up: on systems of major version 6 and later, records the elevation
// layer for the executable at `executablePath` unless a value of that name
// already exists; an existing value is never changed, whatever it holds.
// Registry failures are ignored.
void RecordCompatibilityLayer(Registry &registry, std::uint32_t osMajorVersion,
                              std::string_view executablePath);

} // namespace orvanta
