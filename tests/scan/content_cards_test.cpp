// Cards whose files survive only as content: written by mtools into camera
// folders, quick-formatted, the folders made again over the old ones, and
// new files written. The deep scan lists every file that survived once,
// under "Found by content", and the restore gives it back byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "jobs/restore_jobs.h"
#include "scan/content_files.h"
#include "scan/found_file_row.h"
#include "support/carve_samples.h"
#include "support/fat_image.h"
#include "support/scan_fixture.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

using test::Bytes;

struct Written {
  std::string Path;   // "/DCIM/100CANON/IMG_0001.JPG"
  std::string Folder; // where the deep scan lists it: "E:\Found by content\Photos\"
  std::string Extension;
  std::string DateTime; // as the row shows it: "" when the file records none
  Bytes Data;
  std::uint32_t First = 0;
};

const std::string kPhotos = "E:\\Found by content\\Photos\\";

std::vector<Written> CameraFiles() {
  return {
      {"/DCIM/100CANON/IMG_0001.JPG", kPhotos, "jpg", "2019/05/07 09:05", test::CarveSample("photo.jpg")},
      {"/DCIM/100CANON/IMG_0002.JPG", kPhotos, "jpg", "", test::CarveSample("big.jpg")},
      {"/DCIM/100CANON/IMG_0003.JPG", kPhotos, "jpg", "", test::CarveSample("prog.jpg")},
      {"/DCIM/100CANON/MVI_0004.MP4", "E:\\Found by content\\Videos\\", "mp4", "2020/06/01 12:34",
       test::Mp4Sample(20000, 3673859696u)},
      {"/DCIM/100CANON/IMG_0005.JPG", kPhotos, "jpg", "2019/05/07 09:05", test::CarveSample("photo.jpg")},
      {"/DCIM/100CANON/IMG_0006.NEF", kPhotos, "nef", "2018/12/24 18:30", test::CarveSample("nikon.tif")},
      {"/DOCS/REPORT.PDF", "E:\\Found by content\\Documents\\", "pdf", "2020/01/02 03:04",
       test::PdfSample(true)},
      {"/DOCS/LETTER.DOCX", "E:\\Found by content\\Documents\\", "docx", "",
       test::ZipSample(false, true)},
      {"/DCIM/100CANON/IMG_0009.PNG", kPhotos, "png", "2021/03/14 15:09", test::CarveSample("dated.png")},
  };
}

// Whether the file's bytes still lie at its first cluster and on.
bool Survives(const Bytes &image, std::uint64_t dataStart, std::uint32_t clusterBytes,
              const Written &f) {
  const std::uint64_t at = dataStart + std::uint64_t(f.First - 2) * clusterBytes;
  return at + f.Data.size() <= image.size() &&
         std::equal(f.Data.begin(), f.Data.end(), image.begin() + std::ptrdiff_t(at));
}

class FormattedCameraCard : public ::testing::TestWithParam<int> {};

TEST_P(FormattedCameraCard, FilesThatSurviveComeBackByTheirContent) {
  const int bits = GetParam();
  const std::uint32_t clusterBytes = bits == 16 ? 2048 : 512;
  test::TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = bits, .SizeKiB = bits == 16 ? 16u * 1024 : 40u * 1024,
                                             .SectorsPerCluster = int(clusterBytes / 512)});
  card.Mkdir("/DCIM/100CANON");
  card.Mkdir("/DOCS");
  auto files = CameraFiles();
  for (auto &f : files) {
    card.Put(f.Path, f.Data);
    f.First = card.FirstCluster(f.Path);
  }
  const std::uint32_t dcimCluster = card.FirstCluster("/DCIM");
  card.Reformat();
  // The camera makes its folders again where the old ones were, and takes
  // a new photo over the first old one.
  card.Mkdir("/DCIM/100CANON");
  card.Mkdir("/DOCS");
  ASSERT_EQ(card.FirstCluster("/DCIM"), dcimCluster);
  card.Put("/DCIM/100CANON/IMG_0100.JPG", test::NoiseBytes(1800, 5));

  const Bytes image = card.Bytes();
  auto engine = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  const auto &g = engine.State.Vol.Geometry();
  const std::uint64_t firstData =
      std::uint64_t(engine.State.Vol.ClusterToSector(2)) * std::uint64_t(g.BytesPerSector);

  std::map<std::string, FoundFileRow> rows; // folder + name -> row
  for (const auto &folder : engine.State.Catalogue.Folders())
    for (const auto &file : folder.Files)
      rows[folder.Section + file.Name] = file;
  int survivors = 0;
  for (const auto &f : files) {
    SCOPED_TRACE(f.Path);
    const std::string key = f.Folder + ContentFileName(f.First, f.Extension);
    if (!Survives(image, firstData, clusterBytes, f)) {
      EXPECT_FALSE(rows.count(key));
      continue;
    }
    ++survivors;
    ASSERT_TRUE(rows.count(key));
    const FoundFileRow &row = rows[key];
    EXPECT_EQ(row.Size, f.Data.size());
    EXPECT_EQ(row.Written.Text(), f.DateTime);
    EXPECT_EQ(row.Condition, FileCondition::Intact);
    rows.erase(key);
  }
  EXPECT_GE(survivors, int(files.size()) - 2);
  // Nothing else was found: the new photo is live, and the old folders were
  // made again over.
  for (const auto &[key, row] : rows)
    ADD_FAILURE() << "also listed: " << key << "=" << row.IniValue();

  RestoreState restore;
  restore.CurrentSection = "E:\\";
  restore.DestFolder = dir / "restored";
  RestoreFolder(engine.State, restore, engine.Host);
  for (const auto &f : files) {
    if (!Survives(image, firstData, clusterBytes, f))
      continue;
    std::string folder = f.Folder.substr(3);
    std::replace(folder.begin(), folder.end(), '\\', '/');
    EXPECT_TRUE(test::ReadFileBytes(restore.DestFolder / folder / ContentFileName(f.First, f.Extension)) ==
                f.Data)
        << f.Path;
  }
}

INSTANTIATE_TEST_SUITE_P(Fat, FormattedCameraCard, ::testing::Values(16, 32),
                         [](const auto &p) { return "FAT" + std::to_string(p.param); });

// A card in use: its deleted files are found by their entries, its live
// files are live; nothing is listed again by its content.
TEST(ContentOfCardsInUse, ListsNothingTwice) {
  test::TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40u * 1024, .SectorsPerCluster = 1});
  card.Mkdir("/DCIM/100CANON");
  card.Mkdir("/DOCS");
  auto files = CameraFiles();
  for (auto &f : files)
    card.Put(f.Path, f.Data);
  for (const std::size_t i : {0u, 2u, 3u, 6u})
    card.Delete(files[i].Path);
  auto engine = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  EXPECT_EQ(engine.State.Catalogue.FileCount(), 4u);
  for (const auto &folder : engine.State.Catalogue.Folders())
    EXPECT_EQ(folder.Section.find("Found by content"), std::string::npos) << folder.Section;
}

// A photo written around another file that is gone now: its two pieces are
// joined, and the restore reads them in order.
TEST(ContentOfFormattedCard, JoinsAPhotoInTwoPieces) {
  test::TempDir dir;
  test::FatImageFile card(dir / "card.img", {.FatBits = 32, .SizeKiB = 40u * 1024, .SectorsPerCluster = 1});
  card.Mkdir("/DCIM/100CANON");
  card.Put("/DCIM/100CANON/A.BIN", test::NoiseBytes(1024, 1));
  card.Put("/DCIM/100CANON/B.BIN", test::NoiseBytes(1536, 2));
  card.Delete("/DCIM/100CANON/A.BIN");
  // The next file is written from the first free cluster on, as a camera
  // does: the FSInfo hint of the next free cluster is "not known".
  Bytes image = card.Bytes();
  std::fill_n(image.begin() + 512 + 492, 4, 0xFF);
  test::WriteFileBytes(card.Path(), image);
  const Bytes photo = test::CarveSample("big.jpg");
  card.Put("/DCIM/100CANON/IMG_0001.JPG", photo);
  const std::uint32_t first = card.FirstCluster("/DCIM/100CANON/IMG_0001.JPG");
  card.Reformat();
  card.Mkdir("/DCIM/100CANON");

  auto engine = test::EngineFixture::OfImage(card.Path());
  ASSERT_EQ(engine.Find("*.*", /*deep=*/true).Outcome, FindOutcome::Result::Found);
  const FoundFileRow *row = engine.State.Catalogue.File(kPhotos, ContentFileName(first, "jpg"));
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->Condition, FileCondition::Intact);
  // Two clusters in A's place, then after B's three.
  EXPECT_EQ(row->Runs, (std::vector<carve::ClusterRun>{{first, 2}, {first + 5, 8}}));

  RestoreState restore;
  restore.CurrentSection = kPhotos;
  restore.DestFolder = dir / "restored";
  RestoreFolder(engine.State, restore, engine.Host);
  EXPECT_TRUE(test::ReadFileBytes(restore.DestFolder / "Found by content" / "Photos" /
                                  ContentFileName(first, "jpg")) == photo);
}

} // namespace
} // namespace orvanta
