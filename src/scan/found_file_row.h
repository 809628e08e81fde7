#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "carve/cluster_run.h"
#include "scan/file_condition.h"

namespace orvanta {

// One found file as the catalogue holds it: the value of its key,
// "size#date time#first cluster#mark#condition#seconds", for example
// "48213#2019/05/07 09:05#1234#0#intact#06". The date and time keep the
// minutes that the results list shows; the seconds of the last-write time
// follow at the end, where no reader of the first fields looks. Values of
// four fields, without condition and seconds, read as well. A file found
// by its content whose clusters do not follow one another has a seventh
// field, its runs of clusters: "1234+10,1300+25". Written by the scans,
// read by the restorer, the preview, the results list and the command
// line's JSON.
struct FoundFileRow {
  std::int32_t Size = 0;
  std::string DateTime; // "YYYY/MM/DD HH:MM" as written; readers show it unchanged
  std::int32_t FirstCluster = 0;
  // The deep scan's '1' for an entry marked deleted, '0' otherwise; '\0'
  // when a read value has an empty mark field.
  char Mark = '0';
  // Nothing when the value records no condition, or one not known.
  std::optional<FileCondition> Condition;
  // The seconds of the last-write time (even, 0 to 58 from a directory
  // entry); nothing when the value records none.
  std::optional<int> Seconds;
  // The clusters of the file in order, when they are not those a restore
  // reads from the first cluster on; empty otherwise.
  std::vector<carve::ClusterRun> Runs;

  std::string Format() const;

  // The reading every user of a value agrees on: the size is the signed
  // 32-bit integer before the first "#"; the text up to the second "#" is
  // the date and time, whatever it holds; the first cluster is the signed
  // 32-bit integer after it, which another "#" must follow; the mark is the
  // first character after that "#". The condition and the seconds are read
  // when the fields after the mark hold them; they never make a value
  // unusable. Nothing when the value is empty or a number does not read.
  static std::optional<FoundFileRow> Parse(std::string_view value);

  // DateTime with the seconds as a local time; nothing when it is not a
  // real date and time of the form YYYY/MM/DD HH:MM from 1980 on. Seconds
  // above 59 are left out.
  std::optional<std::time_t> LastWriteTime() const;
  // "YYYY/MM/DD HH:MM:SS" when the value records seconds up to 59; else
  // nothing.
  std::optional<std::string> LastWriteText() const;
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
