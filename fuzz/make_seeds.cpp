// Writes the seed inputs of the fuzz targets: small volumes with long names,
// deleted files and folders, chained directories, a formatted card, and the
// leading part of real cards made with mkfs.fat and mtools.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/carve_samples.h"
#include "support/crafted_volume.h"
#include "support/exfat_card.h"
#include "support/fat_image.h"
#include "support/run.h"
#include "support/temp_dir.h"

namespace {

using namespace orvanta::test;

void Write(const std::filesystem::path &dir, const std::string &name, std::uint8_t flags,
           std::uint16_t stopAfter, std::vector<std::uint8_t> image) {
  // The device: as large as the image, up to the 15 MiB a seed can ask for;
  // a card's leading part (boot sector, FATs, first folders) fits in that.
  const auto deviceMiB = static_cast<std::uint8_t>(std::min<std::size_t>(15, (image.size() + (1 << 20) - 1) >> 20));
  // Real images are cut after their last non-zero sector.
  std::size_t end = image.size();
  while (end > 0 && image[end - 1] == 0)
    --end;
  image.resize((end + 511) / 512 * 512);
  std::vector<std::uint8_t> input = {flags, std::uint8_t(stopAfter), std::uint8_t(stopAfter >> 8),
                                     deviceMiB};
  input.insert(input.end(), image.begin(), image.end());
  WriteFileBytes(dir / name, input);
}

std::vector<std::uint8_t> Crafted(int fatBits) {
  CraftedVolume v({.FatBits = fatBits, .SectorsPerCluster = 1, .Clusters = 48,
                   .ReservedSectors = std::uint16_t(fatBits == 32 ? 4 : 1)});
  const auto d = FatDate(2024, 5, 6);
  auto root = LongEntries(u"Holiday photo.jpg");
  root.push_back(ShortEntry("HOLIDA~1JPG", 0x20, 3, 1500, d));
  auto gone = Deleted(LongEntries(u"Lost letter.txt"));
  gone.push_back(Deleted(ShortEntry("LOSTLE~1TXT", 0x20, 7, 700, d)));
  root.insert(root.end(), gone.begin(), gone.end());
  root.push_back(ShortEntry("DCIM       ", 0x10, 10, 0, d));
  root.push_back(Deleted(ShortEntry("OLDDIR     ", 0x10, 12, 0, d)));
  if (fatBits == 32) {
    v.PutEntries(v.ClusterOffset(2), root);
  } else {
    v.PutEntries(v.RootOffset(), root);
  }
  v.Chain({3, 4, 5});
  v.Chain({10, 11});
  auto dcim = DotPair(10, 0);
  dcim.push_back(Deleted(ShortEntry("IMG_0001JPG", 0x20, 20, 2000, d)));
  dcim.push_back(ShortEntry("IMG_0002JPG", 0x20, 24, 400, d));
  v.PutEntries(v.ClusterOffset(10), dcim);
  v.PutEntries(v.ClusterOffset(11), {Deleted(ShortEntry("IMG_0003JPG", 0x20, 26, 300, d))});
  auto old = DotPair(12, 0);
  old.push_back(ShortEntry("INSIDE  TXT", 0x20, 30, 100, d));
  old.push_back(Deleted(ShortEntry("SUB        ", 0x10, 14, 0, d)));
  v.PutEntries(v.ClusterOffset(12), old);
  auto sub = DotPair(14, 12);
  sub.push_back(ShortEntry("DEEP    BIN", 0x20, 32, 1000, d));
  v.PutEntries(v.ClusterOffset(14), sub);
  v.Chain({24});
  for (std::uint32_t c : {3u, 4u, 5u, 20u, 24u, 26u, 30u, 32u})
    v.PutBytes(v.ClusterOffset(c), PatternBytes(512, c));
  return v.Bytes;
}

void RealCard(const std::filesystem::path &dir, const TempDir &work, int fatBits) {
  FatImageFile card(work / ("card" + std::to_string(fatBits) + ".img"),
                    {.FatBits = fatBits, .SizeKiB = std::uint64_t(fatBits == 32 ? 34 : 8) * 1024,
                     .SectorsPerCluster = fatBits == 32 ? 1 : 2, .Extra = {"-f", "1"}});
  const auto when = LocalTime(2024, 5, 6, 7, 8);
  card.Mkdir("/DCIM/100MEDIA");
  card.Mkdir("/Documents");
  for (int i = 1; i <= 40; ++i)
    card.Put("/DCIM/100MEDIA/IMG_" + std::to_string(1000 + i) + ".JPG",
             PatternBytes(900 + std::size_t(i) * 50, std::uint32_t(i)), when);
  for (int i : {3, 17, 38})
    card.Delete("/DCIM/100MEDIA/IMG_" + std::to_string(1000 + i) + ".JPG");
  card.Put("/Documents/Quarterly report.docx", PatternBytes(7000, 99), when);
  card.Put("/Documents/notes.txt", std::string(300, 'n'), when);
  card.Delete("/Documents/Quarterly report.docx");
  card.Mkdir("/Trip/Day1");
  card.Put("/Trip/Day1/beach.jpg", PatternBytes(3000, 5), when);
  card.DeleteTree("/Trip");
  const std::uint8_t name = fatBits == 32 ? 1 : 0;
  Write(dir, "real_fat" + std::to_string(fatBits), name, 0, card.Bytes());
  card.Reformat();
  Write(dir, "formatted_fat" + std::to_string(fatBits), name, 0, card.Bytes());
  Write(dir, "formatted_fat" + std::to_string(fatBits) + "_other_mode", std::uint8_t(name | 8), 0, card.Bytes());
}

// A camera card with photos, a clip and a document, quick-formatted with a
// new folder over the old ones: for the deep scan's look at free clusters.
void FormattedPhotos(const std::filesystem::path &dir, const TempDir &work) {
  FatImageFile card(work / "photos.img", {.FatBits = 32, .SizeKiB = 34 * 1024, .SectorsPerCluster = 1});
  card.Mkdir("/DCIM/100CANON");
  card.Put("/DCIM/100CANON/IMG_0001.JPG", CarveSample("photo.jpg"));
  card.Put("/DCIM/100CANON/IMG_0002.JPG", CarveSample("big.jpg"));
  card.Put("/DCIM/100CANON/MVI_0003.MP4", Mp4Sample(3000, 3673859696u));
  card.Put("/DCIM/100CANON/IMG_0004.NEF", CarveSample("nikon.tif"));
  card.Put("/DCIM/100CANON/DOC_0005.PDF", PdfSample(true));
  card.Reformat();
  card.Mkdir("/DCIM/100CANON");
  Write(dir, "formatted_photos_fat32_other_mode", 9, 0, card.Bytes());
}

// The content walkers' seeds: a file of every kind, each after the byte
// that chooses the size of the pieces it is fed in.
// An exFAT card in a compact layout (heap from the first 4 KiB boundary on),
// with deleted files and folders of both allocations; then quick-formatted.
// Seeds for every target: the system names no file system, so the boot
// sector's name decides.
void ExfatCards(const std::filesystem::path &dir, const TempDir &work) {
  ExfatCard card(work / "exfat.img", 4u << 20, 512, "CARD", {"-b", "4K"});
  card.MakeFolder("DCIM");
  card.Put("DCIM/IMG_0001.JPG", PatternBytes(3000, 1));
  card.Put("DCIM/IMG_0002.JPG", PatternBytes(1500, 2), ExfatLayout::Fragmented);
  card.Put("DCIM/IMG_0003.JPG", PatternBytes(2000, 3), ExfatLayout::Fragmented, 700);
  card.MakeFolder("Trip");
  card.Put("Trip/beach.jpg", PatternBytes(900, 4));
  card.Put("\xF0\x9F\x8C\x8A.jpg", PatternBytes(600, 6));
  card.Delete("\xF0\x9F\x8C\x8A.jpg");
  card.Put("notes.txt", PatternBytes(100, 5));
  card.Delete("DCIM/IMG_0002.JPG");
  card.Delete("DCIM/IMG_0003.JPG");
  card.Delete("Trip");
  card.Save();
  Write(dir, "exfat", 2, 0, card.Image());
  Write(dir, "exfat_other_mode", 10, 0, card.Image());
  Write(dir, "exfat_stopped", 2, 30, card.Image());
  RunOrFail({"mkfs.exfat", "-c", "512", "-b", "4K", card.Path().string()});
  std::ifstream in(card.Path(), std::ios::binary);
  Write(dir, "exfat_formatted_other_mode", 10, 0, {std::istreambuf_iterator<char>(in), {}});
}

void CarveSeeds(const std::filesystem::path &dir) {
  std::filesystem::create_directories(dir);
  const std::pair<const char *, Bytes> files[] = {
      {"photo.jpg", CarveSample("photo.jpg")},   {"big.jpg", CarveSample("big.jpg")},
      {"prog.jpg", CarveSample("prog.jpg")},     {"dated.png", CarveSample("dated.png")},
      {"small.gif", CarveSample("small.gif")},   {"nikon.tif", CarveSample("nikon.tif")},
      {"clip.mp4", Mp4Sample(2000, 3673859696u)}, {"clip.avi", AviSample(300)},
      {"sound.wav", WavSample(500)},             {"song.mp3", Mp3Sample(6, true)},
      {"frames.mp3", Mp3Sample(10, false)},      {"paper.pdf", PdfSample(true)},
      {"letter.docx", ZipSample(false, false)},  {"letter.odt", ZipSample(true, true)}};
  for (const auto &[name, bytes] : files)
    for (const std::uint8_t piece : {std::uint8_t{0}, std::uint8_t{31}, std::uint8_t{255}}) {
      Bytes input{piece};
      input.insert(input.end(), bytes.begin(), bytes.end());
      WriteFileBytes(dir / (std::string(name) + "." + std::to_string(piece)), input);
    }
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds DIR CARVE_DIR\n");
    return 2;
  }
  CarveSeeds(argv[2]);
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  Write(dir, "crafted_fat16", 0, 0, Crafted(16));
  Write(dir, "crafted_fat32", 1, 0, Crafted(32));
  Write(dir, "crafted_fat16_probed", 2, 0, Crafted(16));
  Write(dir, "crafted_fat32_stopped", 1, 40, Crafted(32));
  Write(dir, "crafted_fat16_other_mode", 8, 0, Crafted(16));
  Write(dir, "crafted_fat32_other_mode", 9, 0, Crafted(32));
  TempDir work;
  RealCard(dir, work, 16);
  RealCard(dir, work, 32);
  FormattedPhotos(dir, work);
  ExfatCards(dir, work);
  return 0;
}
