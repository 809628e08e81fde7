#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "exfat/boot_region.h"
#include "filled_card.h"
#include "jobs/wipe_job.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::ExfatCard;

void PutLe32(std::vector<std::uint8_t> &image, std::uint64_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    image[at + std::uint64_t(i)] = std::uint8_t(v >> (8 * i));
}

// Writes the boot sector's field into both boot regions, with their checksums.
void SetBootField(std::vector<std::uint8_t> &image, std::size_t offset, std::uint32_t value) {
  for (const std::size_t region : {0u, 12u * 512}) {
    PutLe32(image, region + offset, value);
    const std::uint32_t sum =
        exfat::BootChecksum(std::span(image).subspan(region, 11 * 512), 512);
    for (std::size_t at = 0; at < 512; at += 4)
      PutLe32(image, region + 11 * 512 + at, sum);
  }
}

std::uint64_t FatAt(ExfatCard &card, std::uint32_t cluster) {
  const std::uint8_t *b = card.Image().data();
  return std::uint64_t(b[80] | b[81] << 8 | b[82] << 16) * 512 + 4 * std::uint64_t(cluster);
}

// The root's entry of the given type.
std::uint64_t RootEntry(ExfatCard &card, std::uint8_t type) {
  const std::uint32_t root = card.Image()[96] | card.Image()[97] << 8;
  for (std::uint64_t at = card.ClusterOffset(root);; at += 32)
    if (card.Image()[at] == type)
      return at;
}

struct Hostile {
  const char *Fault;
  std::function<void(ExfatCard &)> Damage;
  bool Opens = true;
};

const Hostile kCards[] = {
    {"deleted_chain_loops_back",
     [](ExfatCard &card) {
       const auto first = card.FirstCluster("other.bin");
       PutLe32(card.Image(), FatAt(card, first + 2), first);
     }},
    {"root_chain_loops_on_itself",
     [](ExfatCard &card) {
       const std::uint32_t root = card.Image()[96];
       PutLe32(card.Image(), FatAt(card, root), root);
     }},
    {"bitmap_shorter_than_the_heap",
     [](ExfatCard &card) { PutLe32(card.Image(), RootEntry(card, 0x81) + 24, 2); }},
    {"folder_is_its_own_parent",
     [](ExfatCard &card) {
       // DCIM's directory said to be the root's first cluster.
       const auto at = RootEntry(card, 0x85);
       PutLe32(card.Image(), at + 32 + 20, card.Image()[96]);
     }},
    {"root_cluster_out_of_range",
     [](ExfatCard &card) { SetBootField(card.Image(), 96, 0x7FFFFFF0); }, false},
    {"fat_past_the_volume",
     [](ExfatCard &card) { SetBootField(card.Image(), 80, 0xFFFFFF00); }, false},
};

TEST(ExfatHostileCards, EndWithAMessageOrSkipTheDamagedPart) {
  for (const auto &hostile : kCards) {
    SCOPED_TRACE(hostile.Fault);
    test::TempDir dir;
    ExfatCard card(dir / "card.img", 16u << 20, 4096, "CARD");
    test::Fill(card);
    hostile.Damage(card);
    card.Save();
    for (const bool deep : {false, true}) {
      auto fx = test::EngineFixture::OfImage(card.Path());
      const auto found = fx.Find("*.*", deep);
      if (!hostile.Opens) {
        EXPECT_EQ(found.Outcome, FindOutcome::Result::Refused);
        EXPECT_EQ(found.Message, "Access to boot sector denied!");
        continue;
      }
      EXPECT_NE(found.Outcome, FindOutcome::Result::Refused) << found.Message;
      WipeOptions options{.Drive = "E:", .FreeSpace = deep,
                          .Confirm = [](const std::string &) { return true; }};
      const auto before = test::ReadFile(card.Path());
      EXPECT_EQ(RunWipe(fx.State, fx.Host, options).Outcome, WipeOutcome::Result::Done);
      // The boot regions and the FAT are never written.
      const auto after = test::ReadFile(card.Path());
      const auto heap = std::size_t(fx.State.Vol.Geometry().RootStartSector) * 512;
      EXPECT_TRUE(std::equal(before.begin(), before.begin() + std::ptrdiff_t(heap), after.begin()));
    }
  }
}

} // namespace
} // namespace orvanta
