#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/drive_table.h"

namespace orvanta::gui {

// A size as people read it on a card's label: decimal units, three figures
// ("14.8 GB", "67.1 MB", "128 GB", "512 B").
std::string ReadableSize(std::uint64_t bytes);

// A drive list item: the drive text first, then what a person recognises the
// drive by, joined with " · ": "E:  SanDisk Ultra · 14.8 GB · sdb1". Empty
// parts are left out.
std::string DriveItemText(char letter, std::string_view name, std::optional<std::uint64_t> sizeBytes,
                          std::string_view kernelName);

// The item of one drive of the table: a block device shows its vendor and
// model, size and kernel name (from libudev); an image file its file name and
// size.
std::string DriveItemText(const DriveEntry &drive);

} // namespace orvanta::gui
