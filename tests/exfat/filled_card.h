#pragma once

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/restore_jobs.h"
#include "scan/live_view.h"
#include "support/exfat_card.h"
#include "support/scan_fixture.h"

namespace orvanta::test {

inline std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto &b : bytes) {
    x = x * 1103515245u + 12345u;
    b = std::uint8_t(x >> 16);
  }
  return bytes;
}

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// What a card made by the writer must give: each deleted file whose set
// survives, in its folder, with its bytes when no later file took them.
struct Expected {
  std::string Section; // "E:\..."
  std::string Name;
  std::vector<std::uint8_t> Bytes;
  bool Restorable = true;
};

struct Card {
  std::map<std::string, Expected> Deleted; // by section + name
  std::vector<std::string> Live;
};

// Files of every kind the issue names on one card: NoFatChain and
// fragmented files, a Unicode name of 255 units and an emoji, a deleted
// folder tree, a folder whose directory grew into a FAT chain before it was
// deleted, a valid length below the length, a file overwritten after its
// deletion.
inline Card Fill(ExfatCard &card) {
  Card out;
  const std::size_t cb = card.ClusterBytes();
  auto del = [&](const std::string &path, const std::string &section, const std::string &name,
                 std::vector<std::uint8_t> bytes, bool restorable = true) {
    card.Delete(path);
    out.Deleted[section + name] = {section, name, std::move(bytes), restorable};
  };
  card.Put("keep.txt", Pattern(3 * cb + 7, 1));
  out.Live.push_back("keep.txt");
  const auto photo = Pattern(5 * cb + 100, 2);
  card.Put("photo.jpg", photo);
  // Two files written in turns: their clusters interleave.
  const auto frag = Pattern(4 * cb + 1, 3);
  card.Put("frag.bin", frag, ExfatLayout::Fragmented);
  card.Put("other.bin", Pattern(4 * cb, 4), ExfatLayout::Fragmented);
  out.Live.push_back("other.bin");
  const std::string longName = std::string(251, 'n') + ".jpg"; // 255 units
  const auto longBytes = Pattern(cb + 1, 5);
  card.Put(longName, longBytes);
  const std::string emoji = "\xF0\x9F\x98\x80 \xC3\xA9t\xC3\xA9.png";
  const auto emojiBytes = Pattern(2 * cb, 6);
  card.Put(emoji, emojiBytes);
  // The valid length ends inside the second cluster: the rest reads as zeros.
  auto sparse = Pattern(3 * cb, 7);
  const std::size_t valid = cb + cb / 2;
  card.Put("video.mp4", sparse, ExfatLayout::Contiguous, valid);
  std::fill(sparse.begin() + std::ptrdiff_t(valid), sparse.end(), 0);
  card.MakeFolder("DCIM");
  card.MakeFolder("DCIM/100CAM");
  const auto inFolder = Pattern(cb / 2 + 3, 8);
  card.Put("DCIM/100CAM/IMG_0001.JPG", inFolder);
  card.Put("DCIM/100CAM/IMG_0002.JPG", Pattern(2 * cb, 9));
  out.Live.push_back("DCIM/100CAM/IMG_0002.JPG");
  card.MakeFolder("old");
  card.MakeFolder("old/sub");
  const auto oldA = Pattern(2 * cb + 5, 10), oldB = Pattern(cb, 11);
  card.Put("old/a.doc", oldA);
  card.Put("old/sub/b.doc", oldB, ExfatLayout::Fragmented);
  // A folder whose directory outgrows its cluster while the next is taken.
  card.MakeFolder("big");
  card.Put("after-big.bin", Pattern(cb, 12));
  out.Live.push_back("after-big.bin");
  // (On cards of large clusters a few files: the card would not hold more.)
  const std::size_t many = cb <= 4096 ? cb / 96 + 2 : 3;
  std::vector<std::vector<std::uint8_t>> bigFiles;
  for (std::size_t i = 0; i < many; ++i) {
    bigFiles.push_back(Pattern(100 + i, unsigned(100 + i)));
    card.Put("big/f" + std::to_string(i) + ".txt", bigFiles.back());
  }

  card.MakeFolder("misc");
  card.Put("misc/gone.dat", Pattern(cb, 13));
  const std::uint32_t goneAt = card.FirstCluster("misc/gone.dat");

  del("photo.jpg", "E:\\", "photo.jpg", photo);
  del("frag.bin", "E:\\", "frag.bin", frag);
  del(longName, "E:\\", longName, longBytes);
  del(emoji, "E:\\", emoji, emojiBytes);
  del("video.mp4", "E:\\", "video.mp4", sparse);
  del("DCIM/100CAM/IMG_0001.JPG", "E:\\DCIM\\100CAM\\", "IMG_0001.JPG", inFolder);
  for (std::size_t i = 0; i < many; ++i)
    out.Deleted["E:\\big\\f" + std::to_string(i) + ".txt"] = {"E:\\big\\", "f" + std::to_string(i) + ".txt", bigFiles[i]};
  card.Delete("big");
  out.Deleted["E:\\old\\a.doc"] = {"E:\\old\\", "a.doc", oldA};
  out.Deleted["E:\\old\\sub\\b.doc"] = {"E:\\old\\sub\\", "b.doc", oldB};
  card.Delete("old");
  // Deleted, then its clusters taken by a new file: listed, not restorable.
  del("misc/gone.dat", "E:\\misc\\", "gone.dat", {}, false);
  card.Put("DCIM/new.dat", Pattern(cb, 14), ExfatLayout::Contiguous, std::nullopt, goneAt);
  out.Live.push_back("DCIM/new.dat");
  card.Save();
  return out;
}

// Restores the whole catalogue of a Find into `out`: every deleted file
// comes back, and each one no later file took is byte-identical.
inline void ExpectRestored(EngineFixture &fx, const Card &expected, const std::filesystem::path &out) {
  RestoreState restore;
  restore.DestFolder = out;
  std::filesystem::create_directories(out);
  restore.CurrentSection = "E:\\";
  EXPECT_EQ(RestoreFolder(fx.State, restore, fx.Host).Restored, std::int64_t(expected.Deleted.size()));
  for (const auto &[key, want] : expected.Deleted) {
    if (!want.Restorable)
      continue;
    SCOPED_TRACE(key);
    std::filesystem::path file = out;
    for (const auto &part : PathComponents(want.Section))
      file /= part;
    EXPECT_EQ(ReadFile(file / want.Name), want.Bytes);
  }
}

} // namespace orvanta::test
