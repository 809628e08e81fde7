#pragma once

#include <compare>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "carve/cluster_run.h"
#include "scan/file_condition.h"

namespace orvanta {

// The last-write date and time of a found file, to the minute, as its
// directory entry holds them: the year from 1980 on and the month, day,
// hour and minute as their bits read, so month 0, day 0, hour 24 and minute
// 60, which the scans let through, are kept as they are. Fields compare in
// order, so earlier times sort first.
struct FoundDateTime {
  std::uint16_t Year = 1980;
  std::uint8_t Month = 0;
  std::uint8_t Day = 0;
  std::uint8_t Hour = 0;
  std::uint8_t Minute = 0;

  auto operator<=>(const FoundDateTime &) const = default;

  static constexpr FoundDateTime None() { return {0, 0, 0, 0, 0}; }
  bool Known() const { return Year != 0; }

  // "YYYY/MM/DD HH:MM", each field zero-padded, for example "2019/05/07 09:05";
  // empty when there is no date.
  std::string Text() const;
  // The forms Text writes: four digits, "/", two, "/", two, a blank, two,
  // ":", two; or empty, for no date. Nothing for anything else.
  static std::optional<FoundDateTime> FromText(std::string_view text);
};

// One found file: its name in its folder (unique there, letter case
// ignored), size, last-write time, first cluster, the deep scan's mark, its
// condition on the volume and the seconds of its last-write time.
//
// In the catalogue's INI text the name is the key and the rest the value,
// "size#date time#first cluster#mark#condition#seconds", for example
// "48213#2019/05/07 09:05#1234#0#intact#06". Values of four fields, without
// condition and seconds, read as well. A file found by its content whose
// clusters do not follow one another has a seventh field, its runs of
// clusters: "1234+10,1300+25".
struct FoundFileRow {
  std::string Name;
  // Bytes; FAT sizes are unsigned 32-bit, up to 4 GiB - 1.
  std::uint64_t Size = 0;
  FoundDateTime Written;
  std::uint32_t FirstCluster = 0;
  // The deep scan's '1' for an entry marked deleted, '0' otherwise; '\0'
  // when a read value has an empty mark field.
  char Mark = '0';
  // Nothing when the value records no condition, or one not known.
  std::optional<FileCondition> Condition;
  // The seconds of the last-write time (even, 0 to 58 from a directory
  // entry; up to 62 as the bits read); nothing when unknown.
  std::optional<int> Seconds;
  // The clusters of a file found by its content, in order, when they are
  // not those a restore reads from the first cluster on; empty otherwise.
  std::vector<carve::ClusterRun> Runs;
  // The name's first character stands for a letter the deletion took: a
  // deleted entry without a long name keeps only the table's character for
  // 0xE5 ("х") there. Masks and typed names match it with any character.
  // Found by a scan only; the INI text does not keep it.
  bool FirstLetterLost = false;

  // The INI value of the row (everything but the name).
  std::string IniValue() const;
  // An INI value read back, with the given name: the size before the first
  // "#" and the first cluster after the date and time are unsigned decimal
  // numbers, the date and time has Text's form, and another "#" follows the
  // cluster; the mark is the first character after that "#". The condition
  // and the seconds are read when the fields after the mark hold them; they
  // never make a value unusable. Nothing when the value is empty or a field
  // does not read.
  static std::optional<FoundFileRow> FromIniValue(std::string name, std::string_view value);

  // The last-write time with its seconds as a local time; nothing when it
  // is not a real date and time. Seconds above 59 are left out.
  std::optional<std::time_t> LastWriteTime() const;
  // "YYYY/MM/DD HH:MM:SS" when the seconds are known and up to 59; else
  // nothing.
  std::optional<std::string> LastWriteText() const;
  // A number that orders rows by their last-write time, seconds included
  // (unknown seconds as 0).
  std::uint64_t WrittenOrder() const;
};

} // namespace orvanta
