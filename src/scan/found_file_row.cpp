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

} // namespace

std::string FoundFileRow::Format() const {
  std::string value = std::to_string(Size) + "#" + DateTime + "#" + std::to_string(FirstCluster) + "#";
  if (Mark != '\0')
    value += Mark;
  if (Condition || Seconds) {
    value += '#';
    if (Condition)
      value += ConditionName(*Condition);
  }
  if (Seconds) {
    value += '#';
    if (*Seconds < 10)
      value += '0';
    value += std::to_string(*Seconds);
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
      const auto seconds = NextField(*afterCondition).first;
      if (!seconds.empty() && seconds.size() <= 2)
        row.Seconds = Digits(seconds);
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
