#include "scan/found_file_row.h"

#include <charconv>

namespace orvanta {
namespace {

std::optional<std::int32_t> Int32Field(std::string_view text) {
  std::int32_t n = 0;
  const char *end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, n);
  if (text.empty() || ec != std::errc{} || ptr != end)
    return std::nullopt;
  return n;
}

std::optional<int> Digits(std::string_view text) {
  int n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9')
      return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

// The text up to the next "#" and the rest after it; no rest when there is
// no "#".
std::pair<std::string_view, std::optional<std::string_view>> NextField(std::string_view text) {
  const auto hash = text.find('#');
  if (hash == std::string_view::npos)
    return {text, std::nullopt};
  return {text.substr(0, hash), text.substr(hash + 1)};
}

// "first+count,first+count"; nothing when any part does not read.
std::vector<carve::ClusterRun> ReadRuns(std::string_view text) {
  std::vector<carve::ClusterRun> runs;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view run = text.substr(0, comma);
    const auto plus = run.find('+');
    std::uint32_t first = 0, count = 0;
    if (plus == std::string_view::npos)
      return {};
    const auto a = std::from_chars(run.data(), run.data() + plus, first);
    const auto b = std::from_chars(run.data() + plus + 1, run.data() + run.size(), count);
    if (a.ec != std::errc{} || a.ptr != run.data() + plus || b.ec != std::errc{} ||
        b.ptr != run.data() + run.size() || count == 0)
      return {};
    runs.push_back({first, count});
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return runs;
}

} // namespace

std::string FoundFileRow::Format() const {
  std::string value = std::to_string(Size) + "#" + DateTime + "#" + std::to_string(FirstCluster) + "#";
  if (Mark != '\0')
    value += Mark;
  if (Condition || Seconds || !Runs.empty()) {
    value += '#';
    if (Condition)
      value += ConditionName(*Condition);
  }
  if (Seconds || !Runs.empty()) {
    value += '#';
    if (Seconds) {
      if (*Seconds < 10)
        value += '0';
      value += std::to_string(*Seconds);
    }
  }
  if (!Runs.empty()) {
    value += '#';
    for (std::size_t i = 0; i < Runs.size(); ++i) {
      if (i > 0)
        value += ',';
      value += std::to_string(Runs[i].First) + "+" + std::to_string(Runs[i].Count);
    }
  }
  return value;
}

std::optional<FoundFileRow> FoundFileRow::Parse(std::string_view value) {
  if (value.empty())
    return std::nullopt;
  const auto [sizeText, afterSize] = NextField(value);
  const auto size = Int32Field(sizeText);
  if (!size || !afterSize)
    return std::nullopt;
  const auto [dateTime, afterDate] = NextField(*afterSize);
  if (!afterDate)
    return std::nullopt;
  const auto [clusterText, afterCluster] = NextField(*afterDate);
  const auto cluster = Int32Field(clusterText);
  if (!cluster || !afterCluster)
    return std::nullopt;
  FoundFileRow row;
  row.Size = *size;
  row.DateTime = std::string(dateTime);
  row.FirstCluster = *cluster;
  row.Mark = afterCluster->empty() || afterCluster->front() == '#' ? '\0' : afterCluster->front();
  const auto afterMark = NextField(*afterCluster).second;
  if (afterMark) {
    const auto [conditionText, afterCondition] = NextField(*afterMark);
    row.Condition = ConditionFromName(conditionText);
    if (afterCondition) {
      const auto [seconds, afterSeconds] = NextField(*afterCondition);
      if (!seconds.empty() && seconds.size() <= 2)
        row.Seconds = Digits(seconds);
      if (afterSeconds)
        row.Runs = ReadRuns(NextField(*afterSeconds).first);
    }
  }
  return row;
}

std::optional<std::time_t> FoundFileRow::LastWriteTime() const {
  const std::string_view text = DateTime;
  if (text.size() != 16 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':')
    return std::nullopt;
  const auto year = Digits(text.substr(0, 4));
  const auto month = Digits(text.substr(5, 2));
  const auto day = Digits(text.substr(8, 2));
  const auto hour = Digits(text.substr(11, 2));
  const auto minute = Digits(text.substr(14, 2));
  if (!year || !month || !day || !hour || !minute || *year < 1980 || *month < 1 || *month > 12 ||
      *day < 1 || *day > 31 || *hour > 23 || *minute > 59)
    return std::nullopt;
  std::tm t{};
  t.tm_year = *year - 1900;
  t.tm_mon = *month - 1;
  t.tm_mday = *day;
  t.tm_hour = *hour;
  t.tm_min = *minute;
  t.tm_sec = Seconds && *Seconds <= 59 ? *Seconds : 0;
  t.tm_isdst = -1;
  const std::time_t when = std::mktime(&t);
  // mktime moves 31 April to 1 May; such a date is not a date.
  if (when == static_cast<std::time_t>(-1) || t.tm_mday != *day || t.tm_mon != *month - 1)
    return std::nullopt;
  return when;
}

std::optional<std::string> FoundFileRow::LastWriteText() const {
  if (!Seconds || *Seconds > 59)
    return std::nullopt;
  return DateTime + (*Seconds < 10 ? ":0" : ":") + std::to_string(*Seconds);
}

FoundFileCells FoundFileCells::Read(std::string_view value) {
  FoundFileCells cells;
  const auto [sizeText, afterSize] = NextField(value);
  cells.SizeText = std::string(sizeText);
  cells.Size = Int32Field(sizeText);
  if (afterSize) {
    const auto [dateTime, afterDate] = NextField(*afterSize);
    if (afterDate)
      cells.DateTime = std::string(dateTime);
  }
  return cells;
}

} // namespace orvanta
