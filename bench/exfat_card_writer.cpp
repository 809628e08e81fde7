// Writes an exFAT card image for scripts, as the Linux driver fills a card
// (files in the first free run, folders' entry sets in their first free
// slots):
//
//   exfat_card_writer IMAGE BYTES CLUSTER-BYTES STEP...
//
// The image is made anew with mkfs.exfat, BYTES long; with BYTES 0 the
// file is formatted where it is. Steps, in order:
//   mkdir PATH         a folder ("DCIM/100CANON")
//   put PATH FILE      the bytes of FILE as PATH, stamped with FILE's
//                      modification time
//   format             a quick format over the same geometry, as a camera
//                      makes it: the old data stays in the heap
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ctime>
#include <string>
#include <sys/stat.h>

#include "support/exfat_card.h"
#include "support/fat_image.h"

int main(int argc, char **argv) {
  using orvanta::test::ExfatCard;
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s IMAGE BYTES CLUSTER-BYTES [mkdir PATH | put PATH FILE | format]...\n",
                 argv[0]);
    return 2;
  }
  const std::filesystem::path image = argv[1];
  const auto clusterBytes = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
  auto card = std::make_unique<ExfatCard>(image, std::strtoull(argv[2], nullptr, 10), clusterBytes,
                                         "CAMERA");
  for (int i = 4; i < argc; ++i) {
    const std::string step = argv[i];
    if (step == "mkdir" && i + 1 < argc) {
      card->MakeFolder(argv[++i]);
    } else if (step == "put" && i + 2 < argc) {
      const std::string path = argv[i + 1];
      struct stat st {};
      std::tm t {};
      if (::stat(argv[i + 2], &st) == 0 && ::localtime_r(&st.st_mtime, &t) && t.tm_year >= 80)
        card->StampNext(std::uint32_t(t.tm_year - 80) << 25 | std::uint32_t(t.tm_mon + 1) << 21 |
                            std::uint32_t(t.tm_mday) << 16 | std::uint32_t(t.tm_hour) << 11 |
                            std::uint32_t(t.tm_min) << 5 | std::uint32_t(t.tm_sec / 2),
                        std::uint8_t(t.tm_sec % 2 * 100));
      card->Put(path, orvanta::test::ReadFileBytes(argv[i + 2]));
      i += 2;
    } else if (step == "format") {
      card->Save();
      card.reset();
      card = std::make_unique<ExfatCard>(image, 0, clusterBytes, "CAMERA");
    } else {
      std::fprintf(stderr, "%s: unknown step or missing operand: %s\n", argv[0], step.c_str());
      return 2;
    }
  }
  card->Save();
  return 0;
}
