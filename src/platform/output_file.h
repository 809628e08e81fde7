#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace orvanta {

// A restored file being written: raw bytes, buffered, into a new file. A
// failed write or close is kept as the system's error number; nothing is
// thrown. Closing is explicit, so that its failure is seen; an output file
// dropped without Close is closed quietly.
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

  // errno of the first failed write or close; 0 while all went well.
  int Error() const { return error_; }

private:
  friend std::optional<OutputFile> OpenOutputFile(const std::filesystem::path &path);
  explicit OutputFile(int fd);
  bool Flush();
  bool WriteThrough(std::span<const std::uint8_t> bytes);

  int fd_ = -1;
  int error_ = 0;
  std::vector<std::uint8_t> buffer_;
  std::optional<std::time_t> modificationTime_;
};

// Removes whatever file is at `path` (not a folder), then creates an empty
// file there. Nothing when it cannot be created. A symbolic link at `path`
// is removed, never followed.
std::optional<OutputFile> OpenOutputFile(const std::filesystem::path &path);

} // namespace orvanta
