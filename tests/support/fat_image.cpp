#include "support/fat_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "support/run.h"

namespace orvanta::test {

FatImageFile::FatImageFile(std::filesystem::path path, const MkfsOptions &options)
    : path_(std::move(path)), options_(options) {
  std::filesystem::remove(path_);
  Reformat();
}

std::uint32_t FatImageFile::FirstCluster(const std::string &path) {
  // "::/DCIM <3-5>"
  const std::string out = RunOrFail({"mshowfat", "-i", path_.string(), Target(path)});
  const auto open = out.find('<');
  return open == std::string::npos ? 0 : static_cast<std::uint32_t>(std::stoul(out.substr(open + 1)));
}

void FatImageFile::Reformat() {
  std::vector<std::string> argv = {"mkfs.fat", "-F", std::to_string(options_.FatBits),
                                   "-S", std::to_string(options_.SectorSize),
                                   "-n", options_.Label, "-i", "12345678"};
  if (options_.SectorsPerCluster)
    argv.insert(argv.end(), {"-s", std::to_string(options_.SectorsPerCluster)});
  argv.insert(argv.end(), options_.Extra.begin(), options_.Extra.end());
  if (!std::filesystem::exists(path_)) {
    argv.insert(argv.end(), {"-C", path_.string(), std::to_string(options_.SizeKiB)});
  } else {
    argv.push_back(path_.string());
  }
  RunOrFail(argv);
}

std::string FatImageFile::Target(const std::string &path) const { return "::" + path; }

void FatImageFile::Mkdir(const std::string &path) {
  // mmd -D s: skip folders that exist already; make parents one by one.
  std::string sofar;
  std::size_t pos = 1;
  while (pos <= path.size()) {
    const auto next = path.find('/', pos);
    sofar = path.substr(0, next);
    Run({"mmd", "-D", "s", "-i", path_.string(), Target(sofar)});
    if (next == std::string::npos)
      break;
    pos = next + 1;
  }
}

void FatImageFile::Put(const std::string &path, const std::vector<std::uint8_t> &bytes,
                       std::optional<std::time_t> mtime) {
  const auto local =
      path_.parent_path() / (path_.filename().string() + ".put" + std::to_string(scratch_++));
  WriteFileBytes(local, bytes);
  if (mtime) {
    utimbuf times{*mtime, *mtime};
    ::utime(local.c_str(), &times);
  }
  RunOrFail({"mcopy", "-o", "-m", "-i", path_.string(), local.string(), Target(path)});
  std::filesystem::remove(local);
}

void FatImageFile::Put(const std::string &path, const std::string &text,
                       std::optional<std::time_t> mtime) {
  Put(path, std::vector<std::uint8_t>(text.begin(), text.end()), mtime);
}

void FatImageFile::Delete(const std::string &path) {
  RunOrFail({"mdel", "-i", path_.string(), Target(path)});
}

void FatImageFile::DeleteTree(const std::string &path) {
  RunOrFail({"mdeltree", "-i", path_.string(), Target(path)});
}

std::vector<std::uint8_t> FatImageFile::Get(const std::string &path) {
  const auto local = path_.parent_path() / (path_.filename().string() + ".get");
  std::filesystem::remove(local);
  RunOrFail({"mcopy", "-n", "-i", path_.string(), Target(path), local.string()});
  auto bytes = ReadFileBytes(local);
  std::filesystem::remove(local);
  return bytes;
}

std::vector<std::uint8_t> FatImageFile::Bytes() const { return ReadFileBytes(path_); }

} // namespace orvanta::test
