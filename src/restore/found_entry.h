#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

namespace orvanta {

// What the restorer needs of a catalogue value "size#date time#first cluster#mark".
struct FoundEntry {
  std::int32_t Size = 0;
  std::int32_t FirstCluster = 0;
};

// The size (the text before the first "#") and the first cluster (the text
// after the second "#", up to a third "#" that must follow it), both signed
// 32-bit decimal integers. Nothing when the value is empty or either field
// is not an integer.
std::optional<FoundEntry> ParseFoundEntry(std::string_view value);

// The last-write date and time of a value ("2019/05/07 09:05", between the
// first and the second "#") as a local time. Nothing when the text is not
// a real date and time of that form.
std::optional<std::time_t> FoundEntryLastWrite(std::string_view value);

} // namespace orvanta
