#pragma once

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/fat_image.h"

namespace orvanta::test {

// How many random cards a test makes per kind (ORVANTA_RANDOM_CARDS, else
// 2) and the first card's seed (ORVANTA_RANDOM_SEED, else 1): a few in
// every test run, as many as wanted in a long one.
std::uint32_t RandomCardCount();
std::uint32_t RandomCardFirstSeed();

// The card the random tests make: FAT16 of 16 MiB with 2 KiB clusters, or
// FAT32 of 40 MiB with 512-byte clusters (small clusters: directories and
// files span many).
MkfsOptions RandomCardGeometry(int fatBits);

// Fills a card by a random run of what people do to one: folders made,
// files of all sizes written and deleted, whole trees removed, the gaps
// filled again by later files. Names are short, long, non-Latin,
// extensionless and many-dotted, never the same twice.
class RandomCardMaker {
public:
  RandomCardMaker(FatImageFile &card, std::uint32_t seed) : card_(card), rng_(seed) {}

  void Make();
  // What was done, a line a step: for failure messages.
  std::string Log() const { return log_.str(); }

private:
  int Pick(int n);
  std::string Name(bool folder);
  std::string SomeFolder(bool forNewFolder);
  void MakeFolder();
  void WriteFile();
  void DeleteFile();
  void DeleteTree();

  FatImageFile &card_;
  std::mt19937 rng_;
  std::vector<std::string> folders_{""};
  std::vector<std::string> files_;
  int serial_ = 0;
  std::ostringstream log_;
};

} // namespace orvanta::test
