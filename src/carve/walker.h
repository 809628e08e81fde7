#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace orvanta::carve {

// What a file found by its content is, for the folder it is listed in.
enum class Kind : std::uint8_t { Photo, Video, Document, Music };

// A date and time a file records about itself (Exif, a movie header, a PDF
// information dictionary), as it stands there: no time zone is applied.
struct FileStamp {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;

  bool operator==(const FileStamp &) const = default;
  // From 1980 to 2107 (what a FAT date holds), with a real month, day and
  // time of day; nothing otherwise.
  static std::optional<FileStamp> Checked(int year, int month, int day, int hour, int minute,
                                          int second);
  // "YYYY:MM:DD HH:MM:SS" (Exif), also with "-" or "/" in the date.
  static std::optional<FileStamp> FromExifText(std::string_view text);
  // Seconds since 1904-01-01 00:00 (ISO base media and QuickTime headers).
  static std::optional<FileStamp> FromSeconds1904(std::uint64_t seconds);
};

// Where a walk stands after the bytes fed so far.
enum class Verdict : std::uint8_t {
  More,   // the file goes on
  Ended,  // the file's structure ended: Length() is its size
  Broken, // the structure broke or was cut off: Length() bytes of it are good
};

// A walker follows the structure of one file of one kind, from its first
// byte on, as the bytes come: it never needs them again, keeps no more than
// a bounded part of them, and tells where the file ends. The bytes are fed
// in pieces of any size. No structure read from them is trusted: every
// length is checked against the bytes the file may still take (`maxLength`),
// and every walk is bounded.
//
// A walker is built on requests: from its first step on it asks for the
// next bytes to be gathered (a header, a segment), passed over (data it does
// not look into), or scanned piece by piece, and each answer moves it on.
class Walker {
public:
  Walker(Kind kind, std::string_view extension, std::uint64_t maxLength);
  virtual ~Walker() = default;
  Walker(const Walker &) = delete;
  Walker &operator=(const Walker &) = delete;

  // Feeds the next bytes. After Ended or Broken the walk takes no more.
  Verdict Feed(std::span<const std::uint8_t> bytes);
  // No more bytes come (the volume ended, or a live file's cluster is
  // next): a walk that has not ended is cut off there.
  Verdict Stop();

  Verdict State() const { return verdict_; }
  // The file's size once Ended; the bytes kept of it once Broken.
  std::uint64_t Length() const { return verdict_ == Verdict::Ended ? end_ : good_; }
  // The bytes fed so far.
  std::uint64_t Position() const { return position_; }
  // The structure has shown enough of itself (a header with the fields that
  // follow it) to be the file it claims to be. A walk that breaks before
  // is no file at all.
  bool Confirmed() const { return confirmed_; }

  Kind FileKind() const { return kind_; }
  // The extension of its name, without the dot; a walk may make it more
  // precise as it reads (zip becomes docx).
  std::string_view Extension() const { return extension_; }
  const std::optional<FileStamp> &Stamp() const { return stamp_; }

protected:
  // The longest piece a walker gathers at once.
  static constexpr std::size_t kMaxGather = 1 << 17;

  // Requests; each replaces the one being answered, and takes effect where
  // the bytes answered end (in Scanned(), after the bytes it took). One that
  // would run past the room left breaks the walk.
  // Gathers the next `count` bytes (at most kMaxGather), then Gathered().
  void Gather(std::size_t count, int step) { Skip(0, count, step); }
  // Passes over `count` bytes, then gathers `then` bytes for `step`.
  void Skip(std::uint64_t count, std::size_t then, int step);
  // Offers the next bytes to Scanned() until it makes another request.
  void Scan(int step);
  // The file ends where the bytes answered end.
  void End() { EndAt(UINT64_MAX); }
  // The file ends after `length` bytes (at most where the bytes answered end).
  void EndAt(std::uint64_t length) {
    request_ = Request::End;
    end_ = length;
  }
  // The structure breaks: Length() is the last good byte marked.
  void Break() { request_ = Request::Break; }

  // Takes a broken walk back to `at` bytes (fed before), scanning from
  // there for `step`.
  void RewindToScan(std::uint64_t at, int step);

  // Everything fed so far belongs to the file.
  void MarkGood() { good_ = position_; }
  void MarkGood(std::uint64_t at) { good_ = at; }
  void Confirm() { confirmed_ = true; }
  void SetKind(Kind kind, std::string_view extension) {
    kind_ = kind;
    extension_ = extension;
  }
  void SetExtension(std::string_view extension) { extension_ = extension; }
  void SetStamp(std::optional<FileStamp> stamp) {
    if (stamp)
      stamp_ = stamp;
  }
  // How many bytes the file may still take after the current position.
  std::uint64_t Room() const { return maxLength_ - position_; }

  // The first request.
  virtual void Start() = 0;
  // The bytes asked for by Gather() or Skip(), at the position after them.
  virtual void Gathered(int step, std::span<const std::uint8_t> bytes) = 0;
  // Bytes offered during Scan(), starting at the position; gives how many
  // of them it took (all of them unless it made a new request).
  virtual std::size_t Scanned(int step, std::span<const std::uint8_t> bytes);
  // Called by Stop() on a walk that has not ended: a walker whose file may
  // end where its bytes end (a stream of frames) ends it here.
  virtual void Stopped() { Break(); }

private:
  enum class Mode : std::uint8_t { Gathering, Scanning };
  enum class Request : std::uint8_t { None, Gather, Scan, End, Break };
  // Puts the request the last call made into effect.
  void Settle();

  Kind kind_;
  std::string_view extension_;
  std::uint64_t maxLength_;
  std::optional<FileStamp> stamp_;
  bool confirmed_ = false;
  bool started_ = false;
  Verdict verdict_ = Verdict::More;
  std::uint64_t position_ = 0;
  std::uint64_t good_ = 0;
  std::uint64_t end_ = 0;

  Mode mode_ = Mode::Gathering;
  int step_ = 0;
  std::uint64_t skip_ = 0;
  std::size_t want_ = 0;
  std::vector<std::uint8_t> gathered_;
  std::vector<std::uint8_t> answered_;

  Request request_ = Request::None;
  int nextStep_ = 0;
  std::uint64_t nextSkip_ = 0;
  std::size_t nextWant_ = 0;
};

} // namespace orvanta::carve
