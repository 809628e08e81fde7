#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "carve/walker.h"

namespace orvanta::carve {

// The walker for a file whose first bytes these are (the first bytes of a
// cluster), by the signature it begins with; nothing when it begins like
// none of the kinds followed. `maxLength` bounds the file: the bytes from
// here to the end of the volume, or the largest file the volume holds.
std::unique_ptr<Walker> Recognise(std::span<const std::uint8_t> head, std::uint64_t maxLength);

} // namespace orvanta::carve
