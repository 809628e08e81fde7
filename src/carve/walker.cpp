#include "carve/walker.h"

#include <algorithm>
#include <utility>

namespace orvanta::carve {

std::optional<FileStamp> FileStamp::Checked(int year, int month, int day, int hour, int minute,
                                            int second) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59)
    return std::nullopt;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap)
    return std::nullopt;
  return FileStamp{year, month, day, hour, minute, second};
}

std::optional<FileStamp> FileStamp::FromExifText(std::string_view text) {
  // 0123456789012345678
  // YYYY:MM:DD HH:MM:SS
  if (text.size() < 19)
    return std::nullopt;
  auto number = [&](std::size_t at, std::size_t width) {
    int n = 0;
    for (std::size_t i = at; i < at + width; ++i) {
      if (text[i] < '0' || text[i] > '9')
        return -1;
      n = n * 10 + (text[i] - '0');
    }
    return n;
  };
  const char d1 = text[4], d2 = text[7];
  if (d1 != d2 || (d1 != ':' && d1 != '-' && d1 != '/') || (text[10] != ' ' && text[10] != 'T') ||
      text[13] != ':' || text[16] != ':')
    return std::nullopt;
  return Checked(number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2),
                 number(17, 2));
}

std::optional<FileStamp> FileStamp::FromSeconds1904(std::uint64_t seconds) {
  // Days from 1904-01-01 to 1970-01-01.
  constexpr std::int64_t kEpochDays = 24107;
  if (seconds == 0 || seconds > (std::uint64_t{1} << 40))
    return std::nullopt;
  const std::int64_t days = std::int64_t(seconds / 86400) - kEpochDays;
  const auto inDay = static_cast<int>(seconds % 86400);
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = std::int64_t(yoe) + era * 400 + (month <= 2 ? 1 : 0);
  return Checked(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day),
                 inDay / 3600, inDay / 60 % 60, inDay % 60);
}

Walker::Walker(Kind kind, std::string_view extension, std::uint64_t maxLength)
    : kind_(kind), extension_(extension), maxLength_(maxLength) {}

void Walker::Skip(std::uint64_t count, std::size_t then, int step) {
  request_ = Request::Gather;
  nextSkip_ = count;
  nextWant_ = then;
  nextStep_ = step;
}

void Walker::Scan(int step) {
  request_ = Request::Scan;
  nextStep_ = step;
}

void Walker::Settle() {
  const Request request = std::exchange(request_, Request::None);
  switch (request) {
  case Request::None:
    // A callback that asks for nothing has nowhere to go.
    verdict_ = Verdict::Broken;
    break;
  case Request::End:
    end_ = std::min(end_, position_);
    verdict_ = Verdict::Ended;
    break;
  case Request::Break:
    verdict_ = Verdict::Broken;
    break;
  case Request::Gather:
    if (nextWant_ > kMaxGather || nextSkip_ > Room() || nextWant_ > Room() - nextSkip_) {
      verdict_ = Verdict::Broken; // runs past the room the file has
      break;
    }
    mode_ = Mode::Gathering;
    step_ = nextStep_;
    skip_ = nextSkip_;
    want_ = nextWant_;
    gathered_.clear();
    break;
  case Request::Scan:
    mode_ = Mode::Scanning;
    step_ = nextStep_;
    break;
  }
  if (verdict_ == Verdict::Broken)
    good_ = std::min(good_, position_);
}

Verdict Walker::Feed(std::span<const std::uint8_t> bytes) {
  if (verdict_ != Verdict::More)
    return verdict_;
  if (!started_) {
    started_ = true;
    Start();
    Settle();
  }
  std::size_t at = 0;
  // A request for nothing is answered at once, even with no bytes left.
  while (verdict_ == Verdict::More) {
    if (mode_ == Mode::Scanning) {
      if (at == bytes.size())
        break;
      const auto offered = bytes.subspan(at);
      const std::size_t taken = std::min(Scanned(step_, offered), offered.size());
      at += taken;
      position_ += taken;
      if (request_ != Request::None)
        Settle();
      else if (taken == 0)
        verdict_ = Verdict::Broken; // a scan that takes nothing would never move on
      continue;
    }
    if (skip_ > 0) {
      if (at == bytes.size())
        break;
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, bytes.size() - at));
      skip_ -= n;
      at += n;
      position_ += n;
      continue;
    }
    if (gathered_.size() < want_) {
      if (at == bytes.size())
        break;
      const std::size_t n = std::min(want_ - gathered_.size(), bytes.size() - at);
      gathered_.insert(gathered_.end(), bytes.begin() + std::ptrdiff_t(at),
                       bytes.begin() + std::ptrdiff_t(at + n));
      at += n;
      position_ += n;
      if (gathered_.size() < want_)
        break;
    }
    std::swap(gathered_, answered_);
    gathered_.clear();
    want_ = 0;
    Gathered(step_, answered_);
    Settle();
  }
  if (verdict_ == Verdict::Broken && !confirmed_)
    good_ = 0;
  return verdict_;
}

void Walker::RewindToScan(std::uint64_t at, int step) {
  verdict_ = Verdict::More;
  position_ = std::min(at, position_);
  good_ = position_;
  skip_ = 0;
  want_ = 0;
  gathered_.clear();
  request_ = Request::None;
  mode_ = Mode::Scanning;
  step_ = step;
}

Verdict Walker::Stop() {
  if (verdict_ != Verdict::More)
    return verdict_;
  Stopped();
  if (request_ != Request::End && request_ != Request::Break)
    request_ = Request::Break;
  Settle();
  if (verdict_ == Verdict::Broken && !confirmed_)
    good_ = 0;
  return verdict_;
}

std::size_t Walker::Scanned(int, std::span<const std::uint8_t> bytes) { return bytes.size(); }

} // namespace orvanta::carve
