// The pictures of found photos, shown as the tooltips of their rows.
#include <QTest>
#include <gtest/gtest.h>

#include "gui/results/photo_pictures.h"
#include "gui/results/results_window.h"
#include "gui_fixture.h"
#include "jobs/find_job.h"
#include "support/carve_samples.h"
#include "support/fat_image.h"

namespace orvanta::gui::test {
namespace {

using orvanta::test::CarveSample;

TEST(PhotoPicture, ThumbnailElseThePhotoScaled) {
  // The Exif thumbnail of 16 x 12 rather than the photo of 48 x 32.
  EXPECT_EQ(PhotoPicture(CarveSample("photo.jpg"), 160).size(), QSize(16, 12));
  EXPECT_EQ(PhotoPicture(CarveSample("big.jpg"), 160).size(), QSize(96, 64));
  EXPECT_EQ(PhotoPicture(CarveSample("big.jpg"), 48).size(), QSize(48, 32));
  EXPECT_EQ(PhotoPicture(CarveSample("dated.png"), 160).size(), QSize(12, 8));
  // A raw photo without a thumbnail, or bytes of no picture.
  EXPECT_TRUE(PhotoPicture(CarveSample("nikon.tif"), 160).isNull());
  EXPECT_TRUE(PhotoPicture(orvanta::test::NoiseBytes(5000, 1), 160).isNull());
  EXPECT_TRUE(IsPhotoName("f00001234.JPG"));
  EXPECT_TRUE(IsPhotoName("DSC_0001.nef"));
  EXPECT_FALSE(IsPhotoName("notes.txt"));
}

// After a Find, the rows of photos get their pictures as tooltips, made on
// a thread of their own; other rows keep what they had: these short names
// lost their first letter, which the tooltip says under the picture too.
TEST(PhotoPictures, RowsOfPhotosShowTheirPicture) {
  orvanta::test::TempDir dir;
  orvanta::test::FatImageFile card(dir / "card.img", {.FatBits = 16, .SizeKiB = 16 * 1024});
  card.Mkdir("/DCIM");
  card.Put("/DCIM/WITHEXIF.JPG", CarveSample("photo.jpg"));
  card.Put("/DCIM/PLAIN.JPG", CarveSample("big.jpg"));
  card.Put("/DCIM/NOTES.TXT", std::string(3000, 'n'));
  for (const char *path : {"/DCIM/WITHEXIF.JPG", "/DCIM/PLAIN.JPG", "/DCIM/NOTES.TXT"})
    card.Delete(path);
  GuiWorld world({{'E', card.Path(), {}}});
  world.Context().Drives().Refresh();
  OperationHost host;
  ASSERT_EQ(RunFind(world.Context().State(), host, {.Drive = "E:"}).Outcome,
            FindOutcome::Result::Found);

  TForm1b results(world.Context(), nullptr);
  results.Populate();
  QTreeWidgetItem *dcim = results.DList()->topLevelItem(0)->child(0);
  ASSERT_TRUE(dcim);
  results.DList()->setCurrentItem(dcim);
  QTreeWidget *list = results.FList();
  ASSERT_EQ(list->topLevelItemCount(), 3);
  auto tip = [&](int row) { return list->topLevelItem(row)->toolTip(0); };
  const QString note =
      "First letter lost (shown as \"\xD1\x85\"): any character of a mask matches it";
  for (int row = 0; row < 3; ++row) {
    if (list->topLevelItem(row)->text(0).endsWith(".TXT"))
      continue;
    QTRY_VERIFY_WITH_TIMEOUT(tip(row).startsWith("<img src=\"data:image/jpeg;base64,"), 20000);
    EXPECT_TRUE(tip(row).endsWith("<br>" + note.toHtmlEscaped()));
  }
  QTest::qWait(100);
  for (int row = 0; row < 3; ++row)
    if (list->topLevelItem(row)->text(0).endsWith(".TXT"))
      EXPECT_EQ(tip(row), note);
}

} // namespace
} // namespace orvanta::gui::test
