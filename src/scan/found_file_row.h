#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

// One found file as the catalogue holds it: the value of its key,
// "size#date time#first cluster#mark", for example
// "48213#2019/05/07 09:05#1234#0". Written by the scans, read by the
// restorer, the preview, the results list and the command line's JSON.
struct FoundFileRow {
  std::int32_t Size = 0;
  std::string DateTime; // "YYYY/MM/DD HH:MM" as written; readers show it unchanged
  std::int32_t FirstCluster = 0;
  // The deep scan's '1' for an entry marked deleted, '0' otherwise; '\0'
  // when a read value has an empty mark field.
  char Mark = '0';

  std::string Format() const;

  // The reading every user of a value agrees on: the size is the signed
  // 32-bit integer before the first "#"; the text up to the second "#" is
  // the date and time, whatever it holds; the first cluster is the signed
  // 32-bit integer after it, which another "#" must follow; the mark is the
  // first character after that "#". Fields after the mark are ignored.
  // Nothing when the value is empty or a number does not read.
  static std::optional<FoundFileRow> Parse(std::string_view value);

  // DateTime as a local time; nothing when it is not a real date and time
  // of the form YYYY/MM/DD HH:MM from 1980 on.
  std::optional<std::time_t> LastWriteTime() const;
};

// What the results list shows of a value, which it reads more leniently
// than Parse: the size text (the value up to its first "#", all of it when
// there is none) with its number when it is one, and the date and time
// (empty unless a second "#" ends it).
struct FoundFileCells {
  std::string SizeText;
  std::optional<std::int32_t> Size;
  std::string DateTime;

  static FoundFileCells Read(std::string_view value);
};

} // namespace orvanta
