#include "restore/found_entry.h"

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

// The text between the first and the second "#"; nothing without both.
std::optional<std::string_view> DateField(std::string_view value) {
  const auto first = value.find('#');
  if (first == std::string_view::npos)
    return std::nullopt;
  const auto second = value.find('#', first + 1);
  if (second == std::string_view::npos)
    return std::nullopt;
  return value.substr(first + 1, second - first - 1);
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

} // namespace

std::optional<FoundEntry> ParseFoundEntry(std::string_view value) {
  if (value.empty())
    return std::nullopt;
  const auto hash = value.find('#');
  const auto size = Int32Field(value.substr(0, hash));
  if (!size)
    return std::nullopt;
  // Drop the size and its "#", then the date and time and their "#".
  std::string_view rest =
      hash == std::string_view::npos ? std::string_view{} : value.substr(hash + 1);
  const auto dateEnd = rest.find('#');
  rest = dateEnd == std::string_view::npos ? std::string_view{} : rest.substr(dateEnd + 1);
  const auto clusterEnd = rest.find('#');
  if (clusterEnd == std::string_view::npos)
    return std::nullopt;
  const auto cluster = Int32Field(rest.substr(0, clusterEnd));
  if (!cluster)
    return std::nullopt;
  return FoundEntry{*size, *cluster};
}

std::optional<std::time_t> FoundEntryLastWrite(std::string_view value) {
  const auto text = DateField(value);
  // YYYY/MM/DD HH:MM
  if (!text || text->size() != 16 || (*text)[4] != '/' || (*text)[7] != '/' || (*text)[10] != ' ' ||
      (*text)[13] != ':')
    return std::nullopt;
  const auto year = Digits(text->substr(0, 4));
  const auto month = Digits(text->substr(5, 2));
  const auto day = Digits(text->substr(8, 2));
  const auto hour = Digits(text->substr(11, 2));
  const auto minute = Digits(text->substr(14, 2));
  if (!year || !month || !day || !hour || !minute || *year < 1980 || *month < 1 || *month > 12 ||
      *day < 1 || *day > 31 || *hour > 23 || *minute > 59)
    return std::nullopt;
  std::tm t{};
  t.tm_year = *year - 1900;
  t.tm_mon = *month - 1;
  t.tm_mday = *day;
  t.tm_hour = *hour;
  t.tm_min = *minute;
  t.tm_isdst = -1;
  const std::time_t when = std::mktime(&t);
  // mktime moves 31 April to 1 May; such a date is not a date.
  if (when == static_cast<std::time_t>(-1) || t.tm_mday != *day || t.tm_mon != *month - 1)
    return std::nullopt;
  return when;
}

} // namespace orvanta
