#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvanta {

// Where volume paths ("E:\DCIM\", a found file's name) become host paths.
// Names come from the volume and may hold anything; each one is made into a
// single plain name, so that every path formed here stays inside the folder
// it starts from.

// A name from the volume as one host name: "/", "\" and control characters
// (U+0000-U+001F, U+007F-U+009F) become "_"; "." becomes "_", ".." "__" and
// an empty name "_". Every other character is kept, but a name longer than
// a host name may be (255 bytes) loses the end of its base name.
std::string SafeName(std::string_view name);

// The n-th numbered form of a safe name, as the catalogue numbers the
// duplicates of a folder ("photo (1).jpg"), with the end of its base cut
// where the whole would be longer than a host name may be.
std::string NumberedSafeName(std::string_view safeName, std::uint64_t n);

// The character part of SafeName alone: "/", "\" and control characters
// become "_", nothing else changes.
std::string ReplaceUnsafeCharacters(std::string_view text);

// The folder of a catalogue section below `destination`: the section name
// without its drive text ("E:\"), each folder name made safe
// ("E:\DCIM\100MEDIA\" gives destination/DCIM/100MEDIA).
std::filesystem::path SectionFolder(const std::filesystem::path &destination,
                                    std::string_view section);

} // namespace orvanta
