#pragma once

#include <string>

namespace orvanta::test {

// Names as compared with The Sleuth Kit: it writes "_" for the lost first
// letter of a short name where the catalogue has the table's character for
// 0xE5 (U+0445); it applies the lower-case flags that the catalogue does not;
// and a duplicate's number is the catalogue's own.
bool SameName(std::string tsk, std::string ours);

// A folder as fls lists it ("DCIM/100MEDIA") against a catalogue section
// ("E:\\DCIM\\100MEDIA\\"), each part compared as a name.
bool SamePath(const std::string &tskFolder, const std::string &section);

} // namespace orvanta::test
