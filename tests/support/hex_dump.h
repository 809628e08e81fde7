#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::test {

// Bytes from an `xxd -a` dump ("00000200: 4142 ...  AB..", with "*" lines for
// skipped runs of zero lines). The result is `size` bytes long, zero where
// the dump says nothing.
std::vector<std::uint8_t> FromXxd(std::string_view dump, std::size_t size);

// The `xxd -a` dump of some bytes, to keep a crafted case as text.
std::string ToXxd(const std::vector<std::uint8_t> &bytes);

} // namespace orvanta::test
