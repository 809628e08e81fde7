#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvanta::test {

// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;

  const std::filesystem::path &Path() const { return path_; }
  std::filesystem::path operator/(const std::string &name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

// Everything below `folder` (files, folders, links, hidden names), each
// relative to it, sorted; links are not followed.
std::vector<std::string> ListTree(const std::filesystem::path &folder);

} // namespace orvanta::test
