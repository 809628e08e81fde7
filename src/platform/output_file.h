#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvanta {

// A restored file being written: raw bytes, buffered, into a new file of its
// folder under a temporary name, which takes its own name only once it has
// been written and closed whole (Name), and never by replacing a file that
// is there. An output file dropped without a name is removed, so that a
// file cut short by a failed write or a Stop never stands under a real name.
// A failed write or close is kept as the system's error number; nothing is
// thrown.
class OutputFile {
public:
  OutputFile(OutputFile &&other) noexcept;
  OutputFile &operator=(OutputFile &&) = delete;
  OutputFile(const OutputFile &) = delete;
  ~OutputFile();

  // Appends bytes; false once a write has failed.
  bool Write(std::span<const std::uint8_t> bytes);
  // The modification time the file gets when it is closed.
  void KeepModificationTime(std::time_t when) { modificationTime_ = when; }
  // Writes what is buffered, applies the modification time and closes.
  bool Close();

  enum class Naming {
    Named, // the file now has the name and stays
    Taken, // something of that name is in the folder (compared as the folder's
           // file system compares names); the file keeps its temporary name
    Failed // the name cannot be given (Error says why); the file keeps its
           // temporary name
  };
  // Gives the closed, whole file the name `name` in its folder, unless
  // something there has that name already.
  Naming Name(const std::string &name);

  // Removes the file unless it was named. Dropping the output file does the
  // same.
  void Discard();

  // errno of the first failed write, close or naming; 0 while all went well.
  int Error() const { return error_; }
  // Where the file is while it has no name.
  const std::filesystem::path &TemporaryPath() const { return temporary_; }

private:
  friend std::optional<OutputFile> CreateOutputFile(const std::filesystem::path &folder);
  OutputFile(int fd, std::filesystem::path folder, std::filesystem::path temporary);
  bool Flush();
  bool WriteThrough(std::span<const std::uint8_t> bytes);

  int fd_ = -1;
  int error_ = 0;
  bool named_ = false;
  std::filesystem::path folder_;
  std::filesystem::path temporary_;
  std::vector<std::uint8_t> buffer_;
  std::optional<std::time_t> modificationTime_;
};

// Creates a new, empty file under a temporary name of its own (hidden,
// beginning with ".orvanta-") in `folder`; nothing is followed or replaced
// to make it. Nothing when it cannot be created, with errno set.
std::optional<OutputFile> CreateOutputFile(const std::filesystem::path &folder);

// Makes a new folder below `parent` that only the user may enter
// ("orvanta-" and a random part). Nothing when it cannot be made.
std::optional<std::filesystem::path> MakePrivateFolder(const std::filesystem::path &parent);

} // namespace orvanta
