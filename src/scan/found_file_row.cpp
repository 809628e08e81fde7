#include "scan/found_file_row.h"

#include <charconv>

namespace orvanta {
namespace {

template <class T> std::optional<T> UnsignedField(std::string_view text) {
  T n = 0;
  const char *end = text.data() + text.size();
  // from_chars takes no sign but "-"; a "-" would read, so it is refused here.
  if (text.empty() || text.front() == '-')
    return std::nullopt;
  const auto [ptr, ec] = std::from_chars(text.data(), end, n);
  if (ec != std::errc{} || ptr != end)
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

// "first+count,first+count"; none when any part does not read.
std::vector<carve::ClusterRun> ReadRuns(std::string_view text) {
  std::vector<carve::ClusterRun> runs;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view run = text.substr(0, comma);
    const auto plus = run.find('+');
    if (plus == std::string_view::npos)
      return {};
    const auto first = UnsignedField<std::uint32_t>(run.substr(0, plus));
    const auto count = UnsignedField<std::uint32_t>(run.substr(plus + 1));
    if (!first || !count || *count == 0)
      return {};
    runs.push_back({*first, *count});
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
  }
  return runs;
}

void AppendTwoDigits(std::string &out, int n) {
  if (n < 10)
    out += '0';
  out += std::to_string(n);
}

} // namespace

std::string FoundDateTime::Text() const {
  if (!Known())
    return {};
  std::string out = std::to_string(Year);
  out.insert(0, out.size() < 4 ? 4 - out.size() : 0, '0');
  out += '/';
  AppendTwoDigits(out, Month);
  out += '/';
  AppendTwoDigits(out, Day);
  out += ' ';
  AppendTwoDigits(out, Hour);
  out += ':';
  AppendTwoDigits(out, Minute);
  return out;
}

std::optional<FoundDateTime> FoundDateTime::FromText(std::string_view text) {
  if (text.empty())
    return None();
  if (text.size() != 16 || text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':')
    return std::nullopt;
  const auto year = Digits(text.substr(0, 4));
  const auto month = Digits(text.substr(5, 2));
  const auto day = Digits(text.substr(8, 2));
  const auto hour = Digits(text.substr(11, 2));
  const auto minute = Digits(text.substr(14, 2));
  if (!year || !month || !day || !hour || !minute)
    return std::nullopt;
  return FoundDateTime{static_cast<std::uint16_t>(*year), static_cast<std::uint8_t>(*month),
                       static_cast<std::uint8_t>(*day), static_cast<std::uint8_t>(*hour),
                       static_cast<std::uint8_t>(*minute)};
}

std::string FoundFileRow::IniValue() const {
  std::string value = std::to_string(Size);
  value += '#';
  value += Written.Text();
  value += '#';
  value += std::to_string(FirstCluster);
  value += '#';
  if (Mark != '\0')
    value += Mark;
  if (Condition || Seconds || !Runs.empty() || ValidLength) {
    value += '#';
    if (Condition)
      value += ConditionName(*Condition);
  }
  if (Seconds || !Runs.empty() || ValidLength) {
    value += '#';
    if (Seconds)
      AppendTwoDigits(value, *Seconds);
  }
  for (std::size_t i = 0; i < Runs.size(); ++i) {
    value += i == 0 ? '#' : ',';
    value += std::to_string(Runs[i].First) + "+" + std::to_string(Runs[i].Count);
  }
  if (ValidLength) {
    if (Runs.empty())
      value += '#';
    value += '#' + std::to_string(*ValidLength);
  }
  return value;
}

std::optional<FoundFileRow> FoundFileRow::FromIniValue(std::string name, std::string_view value) {
  const auto [sizeText, afterSize] = NextField(value);
  const auto size = UnsignedField<std::uint64_t>(sizeText);
  if (!size || !afterSize)
    return std::nullopt;
  const auto [dateTime, afterDate] = NextField(*afterSize);
  const auto written = FoundDateTime::FromText(dateTime);
  if (!written || !afterDate)
    return std::nullopt;
  const auto [clusterText, afterCluster] = NextField(*afterDate);
  const auto cluster = UnsignedField<std::uint32_t>(clusterText);
  if (!cluster || !afterCluster)
    return std::nullopt;
  FoundFileRow row;
  row.Name = std::move(name);
  row.Size = *size;
  row.Written = *written;
  row.FirstCluster = *cluster;
  row.Mark = afterCluster->empty() || afterCluster->front() == '#' ? '\0' : afterCluster->front();
  if (const auto afterMark = NextField(*afterCluster).second) {
    const auto [conditionText, afterCondition] = NextField(*afterMark);
    row.Condition = ConditionFromName(conditionText);
    if (afterCondition) {
      const auto [seconds, afterSeconds] = NextField(*afterCondition);
      if (!seconds.empty() && seconds.size() <= 2)
        row.Seconds = Digits(seconds);
      if (afterSeconds) {
        const auto [runs, afterRuns] = NextField(*afterSeconds);
        row.Runs = ReadRuns(runs);
        if (afterRuns)
          row.ValidLength = UnsignedField<std::uint64_t>(NextField(*afterRuns).first);
      }
    }
  }
  return row;
}

std::optional<std::time_t> FoundFileRow::LastWriteTime() const {
  const FoundDateTime &w = Written;
  if (w.Year < 1980 || w.Month < 1 || w.Month > 12 || w.Day < 1 || w.Day > 31 || w.Hour > 23 ||
      w.Minute > 59)
    return std::nullopt;
  std::tm t{};
  t.tm_year = w.Year - 1900;
  t.tm_mon = w.Month - 1;
  t.tm_mday = w.Day;
  t.tm_hour = w.Hour;
  t.tm_min = w.Minute;
  t.tm_sec = Seconds && *Seconds <= 59 ? *Seconds : 0;
  t.tm_isdst = -1;
  const std::time_t when = std::mktime(&t);
  // mktime moves 31 April to 1 May; such a date is not a date.
  if (when == static_cast<std::time_t>(-1) || t.tm_mday != w.Day || t.tm_mon != w.Month - 1)
    return std::nullopt;
  return when;
}

std::uint64_t FoundFileRow::WrittenOrder() const {
  const FoundDateTime &w = Written;
  std::uint64_t key = w.Year;
  for (const unsigned field : {unsigned(w.Month), unsigned(w.Day), unsigned(w.Hour),
                               unsigned(w.Minute), unsigned(Seconds.value_or(0))})
    key = key * 256 + (field & 0xFF);
  return key;
}

std::optional<std::string> FoundFileRow::LastWriteText() const {
  if (!Seconds || *Seconds > 59 || !Written.Known())
    return std::nullopt;
  std::string text = Written.Text();
  text += ':';
  AppendTwoDigits(text, *Seconds);
  return text;
}

} // namespace orvanta
