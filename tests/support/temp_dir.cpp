#include "support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace orvanta::test {

TempDir::TempDir() {
  const char *base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvanta-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data()))
    throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ListTree(const std::filesystem::path &folder) {
  std::vector<std::string> out;
  for (const auto &e : std::filesystem::recursive_directory_iterator(folder))
    out.push_back(e.path().lexically_relative(folder).string());
  std::sort(out.begin(), out.end());
  return out;
}

} // namespace orvanta::test
