// Cards whose boot sector or chains are damaged: a wipe trusts them only as
// far as a file-system checker would, and otherwise refuses with the card
// untouched. Reading them stays as lenient as before.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>

#include "card_checks.h"
#include "platform/memory_device.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"
#include "jobs/wipe_job.h"

namespace orvanta {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le(const Bytes &b, std::size_t at, int width) {
  std::uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i)
    v = v << 8 | b[at + std::size_t(i)];
  return v;
}

void PutLe(Bytes &b, std::size_t at, int width, std::uint32_t v) {
  for (int i = 0; i < width; ++i)
    b[at + std::size_t(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A card as a camera leaves it, made once per FAT type: folders, photos,
// deleted ones among them, and where its pieces lie.
struct Card {
  int FatBits;
  Bytes Image;
  std::map<std::string, std::uint32_t> First; // first clusters
  std::uint32_t Reserved, Fats, SectorsPerFat, RootCluster;

  bool Fat32() const { return FatBits == 32; }
  std::size_t FatEntryOffset(std::uint32_t copy, std::uint32_t n) const {
    return (std::size_t(Reserved) + std::size_t(copy) * SectorsPerFat) * 512 + n * (Fat32() ? 4 : 2);
  }
  // Sets entry n in every FAT of `b`.
  void SetFat(Bytes &b, std::uint32_t n, std::uint32_t value) const {
    for (std::uint32_t copy = 0; copy < Fats; ++copy)
      PutLe(b, FatEntryOffset(copy, n), Fat32() ? 4 : 2, value);
  }
  std::size_t ClusterOffset(std::uint32_t c) const {
    const std::size_t rootSectors = Le(Image, 17, 2) * 32 / 512;
    return ((Reserved + Fats * SectorsPerFat + rootSectors) + std::size_t(c - 2) * Image[13]) * 512;
  }
};

const Card &CardOf(int fatBits) {
  static std::map<int, Card> cards;
  if (auto it = cards.find(fatBits); it != cards.end())
    return it->second;
  test::TempDir dir;
  test::FatImageFile image(dir / "card.img",
                           fatBits == 16 ? test::MkfsOptions{.FatBits = 16, .SizeKiB = 8 * 1024, .SectorsPerCluster = 2}
                                         : test::MkfsOptions{.FatBits = 32, .SizeKiB = 34 * 1024, .SectorsPerCluster = 1});
  image.Mkdir("/DCIM/100MEDIA");
  for (int i = 1; i <= 8; ++i)
    image.Put("/DCIM/100MEDIA/IMG_000" + std::to_string(i) + ".JPG",
              test::PatternBytes(2500 + std::size_t(i) * 900, std::uint32_t(i)));
  image.Put("/a long named photo.jpg", test::PatternBytes(7000, 20));
  image.Put("/notes.txt", "gone");
  for (int i : {2, 5, 7})
    image.Delete("/DCIM/100MEDIA/IMG_000" + std::to_string(i) + ".JPG");
  image.Delete("/notes.txt");
  Card card{fatBits, image.Bytes(), {}, 0, 0, 0, 0};
  for (const char *path : {"/DCIM", "/DCIM/100MEDIA", "/a long named photo.jpg"})
    card.First[path] = image.FirstCluster(path);
  const Bytes &b = card.Image;
  card.Reserved = Le(b, 14, 2);
  card.Fats = b[16];
  card.SectorsPerFat = card.Fat32() ? Le(b, 36, 4) : Le(b, 22, 2);
  card.RootCluster = card.Fat32() ? Le(b, 44, 4) : 0;
  return cards.emplace(fatBits, std::move(card)).first->second;
}

// Runs a wipe on the card in `image` (held in memory: no copy of it is
// made) and leaves the card as the wipe left it there.
WipeOutcome Wipe(Bytes &image, bool freeSpace) {
  auto device = std::make_shared<MemoryDevice>(std::move(image));
  test::EngineFixture engine(device);
  WipeOptions options;
  options.FreeSpace = freeSpace;
  options.Confirm = [](const std::string &) { return true; };
  auto outcome = RunWipe(engine.State, engine.Host, options);
  image = std::move(device->Bytes());
  return outcome;
}

struct Damage {
  const char *Name;
  int FatBits;
  WipeHazard Hazard; // None: refused before the checks of a wipe, as unreadable
  std::function<void(const Card &, Bytes &)> Apply;
};

void PrintTo(const Damage &d, std::ostream *os) { *os << d.Name; }

class DamagedCard : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedCard, BothWipesRefuseAndLeaveItUntouched) {
  const Damage &d = GetParam();
  const Card &card = CardOf(d.FatBits);
  Bytes image = card.Image;
  d.Apply(card, image);
  ASSERT_NE(image, card.Image);
  for (const bool freeSpace : {false, true}) {
    Bytes after = image;
    const auto outcome = Wipe(after, freeSpace);
    EXPECT_EQ(outcome.Outcome, WipeOutcome::Result::Refused) << freeSpace;
    if (d.Hazard != WipeHazard::None)
      EXPECT_EQ(outcome.Hazard, d.Hazard) << outcome.Message;
    EXPECT_TRUE(after == image) << "the card changed, free-space wipe " << freeSpace;
  }
  if (d.Hazard != WipeHazard::None) {
    // Find still reads the card.
    auto engine = test::EngineFixture::OfBytes(image);
    EXPECT_NE(engine.Find().Outcome, FindOutcome::Result::Refused);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DamagedCard,
    ::testing::Values(
        Damage{"fat16_no_fat", 16, WipeHazard::NoFat, [](const Card &, Bytes &b) { b[16] = 0; }},
        Damage{"fat32_no_fat", 32, WipeHazard::NoFat, [](const Card &, Bytes &b) { b[16] = 0; }},
        Damage{"fat16_sectors_per_fat_too_small", 16, WipeHazard::FatTooSmall,
               [](const Card &c, Bytes &b) { PutLe(b, 22, 2, c.SectorsPerFat / 2); }},
        Damage{"fat32_sectors_per_fat_too_small", 32, WipeHazard::FatTooSmall,
               [](const Card &c, Bytes &b) { PutLe(b, 36, 4, c.SectorsPerFat / 2); }},
        Damage{"fat16_cluster_count_beyond_fat", 16, WipeHazard::FatTooSmall,
               [](const Card &, Bytes &b) {
                 PutLe(b, 32, 4, Le(b, 19, 2) * 4);
                 PutLe(b, 19, 2, 0);
               }},
        Damage{"fat32_cluster_count_beyond_fat", 32, WipeHazard::FatTooSmall,
               [](const Card &, Bytes &b) { PutLe(b, 32, 4, Le(b, 32, 4) * 4); }},
        Damage{"fat16_reserved_sectors_past_the_end", 16, WipeHazard::None,
               [](const Card &, Bytes &b) { PutLe(b, 14, 2, 0xFFF0); }},
        Damage{"fat32_data_area_past_the_end", 32, WipeHazard::DataOutside,
               [](const Card &c, Bytes &b) { PutLe(b, 32, 4, c.Reserved + 2 * c.SectorsPerFat); }},
        Damage{"fat16_reserved_one_sector_more", 16, WipeHazard::FatMisplaced,
               [](const Card &c, Bytes &b) { PutLe(b, 14, 2, c.Reserved + 1); }},
        Damage{"fat32_root_cluster_out_of_range", 32, WipeHazard::RootClusterOutside,
               [](const Card &, Bytes &b) { PutLe(b, 44, 4, 0x0FFFFF00); }},
        Damage{"fat32_root_chain_loops", 32, WipeHazard::FolderChainBroken,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.RootCluster, c.RootCluster); }},
        Damage{"fat32_root_chain_cross_linked_into_a_live_photo", 32, WipeHazard::ChainsShared,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.RootCluster, c.First.at("/a long named photo.jpg")); }},
        Damage{"fat16_folder_chain_cross_linked_into_a_live_photo", 16, WipeHazard::ChainsShared,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.First.at("/DCIM/100MEDIA"), c.First.at("/a long named photo.jpg")); }},
        Damage{"fat32_folder_chain_cross_linked_into_its_parent", 32, WipeHazard::ChainsShared,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.First.at("/DCIM/100MEDIA"), c.First.at("/DCIM")); }},
        Damage{"fat16_folder_chain_runs_into_a_free_cluster", 16, WipeHazard::FolderChainBroken,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.First.at("/DCIM"), 4000); }},
        Damage{"fat32_folder_without_its_dot_entry", 32, WipeHazard::FolderStart,
               [](const Card &c, Bytes &b) { b[c.ClusterOffset(c.First.at("/DCIM/100MEDIA"))] = 'X'; }},
        // The rest of the photo would count as free space.
        Damage{"fat16_file_chain_cut_short", 16, WipeHazard::FileChain,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.First.at("/a long named photo.jpg"), 0xFFFF); }},
        Damage{"fat32_file_chain_into_a_free_cluster", 32, WipeHazard::FileChain,
               [](const Card &c, Bytes &b) { c.SetFat(b, c.First.at("/a long named photo.jpg"), 60000); }}),
    [](const auto &p) { return std::string(p.param.Name); });

// Fuzzed boot sectors (a fixed seed): each wipe is refused with the card
// untouched, or leaves the card, read through its real boot sector, as
// sound as before: fsck.fat finds nothing, the live files are the same, and
// nothing changed but directory blocks and free clusters (the FATs never).
TEST(DamagedCard, FuzzedBootSectorsNeverCostALiveByte) {
  struct Field {
    std::size_t At;
    int Width;
  };
  const Field fields16[] = {{11, 2}, {13, 1}, {14, 2}, {16, 1}, {17, 2}, {19, 2}, {21, 1}, {22, 2}, {32, 4}};
  const Field fields32[] = {{11, 2}, {13, 1}, {14, 2}, {16, 1}, {17, 2}, {19, 2}, {21, 1},
                            {22, 2}, {32, 4}, {36, 4}, {44, 4}};
  std::mt19937 random(20261209);
  test::TempDir dir;
  const auto file = dir / "card.img";
  int refused = 0, damaged = 0, ran = 0, runs = 300;
  std::map<int, test::Tree> live;
  Bytes image;
  for (int i = 0; i < runs; ++i) {
    const int fatBits = i % 3 == 0 ? 32 : 16;
    const Card &card = CardOf(fatBits);
    if (!live.count(fatBits)) {
      test::WriteFileBytes(file, card.Image);
      live[fatBits] = test::LiveFiles(file, dir / "live");
    }
    // Only the boot sector differs from the card; the buffer is reused.
    image.assign(card.Image.begin(), card.Image.end());
    std::string change;
    for (int n = 1 + int(random() % 2); n > 0; --n) {
      const Field f = fatBits == 16 ? fields16[random() % std::size(fields16)]
                                    : fields32[random() % std::size(fields32)];
      const std::uint32_t old = Le(image, f.At, f.Width);
      std::uint32_t value;
      switch (random() % 4) {
      case 0: value = old + 1 + random() % 4; break;
      case 1: value = old - 1 - random() % 4; break;
      case 2: value = old ^ (1u << (random() % (8 * unsigned(f.Width)))); break;
      default: value = static_cast<std::uint32_t>(random()); break;
      }
      PutLe(image, f.At, f.Width, value);
      change += " @" + std::to_string(f.At) + "=" + std::to_string(Le(image, f.At, f.Width));
    }
    const Bytes boot(image.begin(), image.begin() + 512);
    const bool freeSpace = i % 2 == 1;
    SCOPED_TRACE("case " + std::to_string(i) + ", FAT" + std::to_string(fatBits) + change +
                 (freeSpace ? ", free-space wipe" : ", deleted-entries wipe"));
    const auto outcome = Wipe(image, freeSpace);
    EXPECT_TRUE(std::equal(boot.begin(), boot.end(), image.begin())) << "the boot sector changed";
    // Read through the real boot sector from here on.
    std::copy(card.Image.begin(), card.Image.begin() + 512, image.begin());
    if (outcome.Outcome == WipeOutcome::Result::Refused) {
      ++refused;
      damaged += outcome.Hazard != WipeHazard::None;
      EXPECT_TRUE(image == card.Image) << "refused, but the card changed";
      continue;
    }
    ++ran;
    ASSERT_EQ(outcome.Outcome, WipeOutcome::Result::Done);
    EXPECT_EQ(test::ChangedOutsideTheWipesReach(card.Image, image), std::vector<std::uint64_t>{});
    test::WriteFileBytes(file, image);
    EXPECT_TRUE(test::FsckClean(file));
    EXPECT_TRUE(test::LiveFiles(file, dir / "after") == live[fatBits]) << "live files changed";
  }
  std::printf("%d fuzzed boot sectors: %d wipes refused (%d of them by the damage checks), %d ran\n",
              runs, refused, damaged, ran);
}

} // namespace
} // namespace orvanta
