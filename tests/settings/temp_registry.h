#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "settings/posix/posix_registry.h"
#include "support/temp_dir.h"

namespace orvanta::test {

// A registry whose user store lives in a fresh temporary folder and which
// knows no file types.
struct TempRegistry {
  TempDir Dir;
  std::filesystem::path StoreFolder = Dir / "config" / "orvanta";
  PosixRegistry Registry{StoreFolder, XdgDirs{}};

  std::filesystem::path StoreFile() const { return StoreFolder / "user.reg"; }
  // A second registry on the same store, as another run of the program.
  PosixRegistry Reopened() const { return PosixRegistry(StoreFolder, XdgDirs{}); }
};

inline void WriteText(const std::filesystem::path &file, const std::string &text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

inline std::string ReadText(const std::filesystem::path &file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

} // namespace orvanta::test
