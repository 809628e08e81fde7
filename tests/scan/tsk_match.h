#pragma once

#include <string>

#include "support/tsk.h"

namespace orvanta::test {

// Names as compared with The Sleuth Kit: it writes "_" for the lost first
// letter of a short name where the catalogue has the table's character for
// 0xE5 (U+0445); it applies the lower-case flags that the catalogue does not;
// and a duplicate's number is the catalogue's own.
bool SameName(std::string tsk, std::string ours);

// A folder as fls lists it ("DCIM/100MEDIA") against a catalogue section
// ("E:\\DCIM\\100MEDIA\\"), each part compared as a name.
bool SamePath(const std::string &tskFolder, const std::string &section);

// The folder of an fls path: "DCIM/100MEDIA" of "DCIM/100MEDIA/x.jpg", ""
// in the root.
std::string TskFolder(const std::string &path);

// A listed file's date as the catalogue writes it: "2019/05/07 09:05".
std::string CatalogueDate(const TskEntry &listed);

// A catalogue row, and whether a listed file has been matched with it.
struct FoundRow {
  std::string Section, Key, Value;
  bool Matched = false;
};

// The listed file is the found one: folder, name, size and date agree.
bool SameFile(const TskEntry &listed, const FoundRow &found);

} // namespace orvanta::test
