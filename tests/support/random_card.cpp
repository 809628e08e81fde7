#include "support/random_card.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace orvanta::test {
namespace {

std::uint32_t EnvNumber(const char *name, std::uint32_t fallback) {
  const char *text = std::getenv(name);
  if (!text || !*text)
    return fallback;
  return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

} // namespace

std::uint32_t RandomCardCount() { return EnvNumber("ORVANTA_RANDOM_CARDS", 2); }
std::uint32_t RandomCardFirstSeed() { return EnvNumber("ORVANTA_RANDOM_SEED", 1); }

MkfsOptions RandomCardGeometry(int fatBits) {
  return {.FatBits = fatBits, .SizeKiB = fatBits == 32 ? 40 * 1024u : 16 * 1024u,
          .SectorsPerCluster = fatBits == 32 ? 1 : 4};
}

void RandomCardMaker::Make() {
  const int steps = 40 + Pick(80);
  for (int i = 0; i < steps; ++i) {
    const int r = Pick(100);
    if (r < 15)
      MakeFolder();
    else if (r < 60)
      WriteFile();
    else if (r < 85)
      DeleteFile();
    else if (r < 90)
      DeleteTree();
  }
}

int RandomCardMaker::Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }

std::string RandomCardMaker::Name(bool folder) {
  const int n = ++serial_;
  char text[96];
  switch (Pick(6)) {
  case 0: std::snprintf(text, sizeof text, folder ? "DIR%03d" : "IMG_%04d.JPG", n); break;
  case 1: std::snprintf(text, sizeof text, folder ? "Photos of day %d" : "Holiday photo number %d.jpeg", n); break;
  case 2: std::snprintf(text, sizeof text, folder ? "Папка %d" : "Отчёт %d.docx", n); break;
  case 3: std::snprintf(text, sizeof text, folder ? "v%d.backup.old" : "file.%d.tar.gz", n); break;
  case 4: std::snprintf(text, sizeof text, "noext%d", n); break;
  default: std::snprintf(text, sizeof text, "a%d.t", n); break;
  }
  return text;
}

std::string RandomCardMaker::SomeFolder(bool forNewFolder) {
  for (;;) {
    const auto &f = folders_[std::size_t(Pick(int(folders_.size())))];
    if (!forNewFolder || std::count(f.begin(), f.end(), '/') < 4)
      return f;
  }
}

void RandomCardMaker::MakeFolder() {
  const auto path = SomeFolder(true) + "/" + Name(true);
  log_ << "mkdir " << path << '\n';
  card_.Mkdir(path);
  folders_.push_back(path);
}

void RandomCardMaker::WriteFile() {
  std::size_t size = 0;
  switch (Pick(10)) {
  case 0: size = 0; break;
  case 1: case 2: case 3: size = std::size_t(1 + Pick(600)); break;
  case 4: case 5: size = std::size_t(1800 + Pick(600)); break; // about one cluster
  case 9: size = std::size_t(20000 + Pick(20000)); break;
  default: size = std::size_t(2500 + Pick(14000)); break;
  }
  const auto path = SomeFolder(false) + "/" + Name(false);
  log_ << "put " << path << ' ' << size << '\n';
  card_.Put(path, test::PatternBytes(size, static_cast<std::uint32_t>(rng_())));
  files_.push_back(path);
}

void RandomCardMaker::DeleteFile() {
  if (files_.empty())
    return;
  const auto at = files_.begin() + Pick(int(files_.size()));
  log_ << "del " << *at << '\n';
  card_.Delete(*at);
  files_.erase(at);
}

void RandomCardMaker::DeleteTree() {
  if (folders_.size() < 2)
    return;
  const std::string tree = folders_[1 + std::size_t(Pick(int(folders_.size()) - 1))];
  log_ << "deltree " << tree << '\n';
  card_.DeleteTree(tree);
  const auto inside = [&](const std::string &p) { return p == tree || p.starts_with(tree + "/"); };
  std::erase_if(folders_, inside);
  std::erase_if(files_, inside);
}

} // namespace orvanta::test
