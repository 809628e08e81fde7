#include <gtest/gtest.h>
#include <set>

#include "engine/text.h"
#include "jobs/engine_state.h"
#include "scan/find_context.h"
#include "scan/found_catalogue.h"
#include "support/fat_image.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/catalogue_text.h"

namespace orvanta {
namespace {

// Folders whose names differ only in letter case are two folders (a live
// one and a deleted one can lie side by side); names in a folder are
// looked up without regard to case.
TEST(TFoundCatalogue, KeepsInsertionOrderAndIgnoresCaseInNamesOnly) {
  TFoundCatalogue c;
  c.Write("E:\\b\\", {.Name = "z.txt", .Size = 1});
  c.Write("E:\\a\\", {.Name = "y.txt", .Size = 3});
  c.Write("E:\\b\\", {.Name = "A.TXT", .Size = 5});
  c.Write("E:\\B\\", {.Name = "z.txt", .Size = 9});
  EXPECT_EQ(test::SectionNames(c),
            (std::vector<std::string>{"E:\\b\\", "E:\\a\\", "E:\\B\\"}));
  EXPECT_EQ(test::Keys(c, "E:\\b\\"), (std::vector<std::string>{"z.txt", "A.TXT"}));
  EXPECT_EQ(test::Keys(c, "E:\\B\\"), (std::vector<std::string>{"z.txt"}));
  EXPECT_FALSE(c.HasSection("e:\\b\\"));
  c.Write("E:\\B\\", {.Name = "y.txt", .Size = 1});
  ASSERT_TRUE(c.File("E:\\b\\", "a.txt"));
  EXPECT_EQ(c.File("E:\\b\\", "a.txt")->Size, 5u);
  EXPECT_FALSE(c.File("E:\\b\\", "missing"));
  EXPECT_FALSE(c.File("E:\\none\\", "z.txt"));
  c.Write("E:\\b\\", {.Name = "Z.TXT", .Size = 7}); // an existing name keeps its place and spelling
  EXPECT_EQ(test::Keys(c, "E:\\b\\"), (std::vector<std::string>{"z.txt", "A.TXT"}));
  EXPECT_EQ(c.File("E:\\b\\", "z.txt")->Size, 7u);
  EXPECT_EQ(c.FileCount(), 5u);
  c.Clear();
  EXPECT_EQ(c.SectionCount(), 0u);
  EXPECT_EQ(c.FileCount(), 0u);
}

// The INI text as it is printed, and read from the catalogue's file when it
// is made: values that do not read as a row are passed over, and the file
// is never written.
TEST(TFoundCatalogue, LoadsItsFileWhenMadeAndNeverWritesIt) {
  test::TempDir dir;
  const auto file = dir / "find.ini";
  const std::string text =
      "junk before any section\n[E:\\]\r\nold.jpg=10#2019/05/07 09:05#5#0\r\n"
      "; a comment\nno equals sign\n[E:\\X\\]\nk = v=w\n big.mov =4294967295#2107/12/31 23:58#268435455#1#partly#58\n"
      "neg.jpg=-1#2019/05/07 09:05#5#0\n[E:\\Empty\\]\nbad=1#garbage#2#0\n";
  test::WriteFileBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
  TFoundCatalogue c(file);
  EXPECT_EQ(c.ToIniText(), "[E:\\]\nold.jpg=10#2019/05/07 09:05#5#0\n"
                           "[E:\\X\\]\nbig.mov=4294967295#2107/12/31 23:58#268435455#1#partly#58\n");
  c.Write("E:\\", {.Name = "new.jpg", .Size = 1});
  EXPECT_EQ(test::ReadFileBytes(file), std::vector<std::uint8_t>(text.begin(), text.end()));
  EXPECT_EQ(TFoundCatalogue(dir / "absent.ini").SectionCount(), 0u);
}

// A live view that knows a fixed set of folders.
class FakeLiveView final : public LiveView {
public:
  std::set<std::string> Folders; // folded paths with their trailing backslash
  bool FolderExists(std::string_view p) override {
    std::string path(p);
    if (path.back() != '\\')
      path += '\\';
    return Folders.count(FoldCase(path)) > 0;
  }
  bool FileExists(std::string_view) override { return false; }
  std::optional<std::vector<LiveEntry>> List(std::string_view) override { return std::nullopt; }
};

struct Recording {
  FixedDrives Drives;
  EngineState State{Drives, {}, LanguageFile{}};
  test::RecordingHost Host;
  FakeLiveView Live;
  FindContext Ctx{State, Host, Live, *FileMask::Compile("*.*", Error), true, 46};
  std::string Error;
  Recording() {
    State.Vol.Geometry().DrivePath = "E:";
    State.Tree.AddTopLevel("E:");
  }
};

TEST(RecordFoundFile, DuplicateNamesGetNumbersBeforeTheExtension) {
  Recording r;
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "Photo.JPG", .Size = 1});
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "photo.jpg", .Size = 2});
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "photo.jpg", .Size = 3});
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "README", .Size = 4});
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "README", .Size = 5});
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "archive.tar.gz", .Size = 6});
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "ARCHIVE.tar.gz", .Size = 7});
  EXPECT_EQ(test::Keys(r.State.Catalogue, "E:\\"),
            (std::vector<std::string>{"Photo.JPG", "photo (1).jpg", "photo (2).jpg", "README",
                                      "README (1)", "archive.tar.gz", "ARCHIVE.tar (1).gz"}));
  EXPECT_EQ(r.State.FoundCount, 7);
  EXPECT_EQ(r.Host.Counter, 7);
  EXPECT_EQ(r.Host.LogLines[1], "E:\\photo (1).jpg");
}

TEST(RecordFoundFile, NumberingGoesOnPastNamesFoundAsTheyAre) {
  Recording r;
  for (const char *name : {"a.jpg", "a.jpg", "a (2).jpg", "A.JPG", "a (1).jpg"})
    RecordFoundFile(r.Ctx, "E:\\", {.Name = name, .Size = 1});
  RecordFoundFile(r.Ctx, "E:\\B\\", {.Name = "a.jpg", .Size = 1});
  RecordFoundFile(r.Ctx, "e:\\b\\", {.Name = "a.jpg", .Size = 1});
  EXPECT_EQ(test::Keys(r.State.Catalogue, "E:\\"),
            (std::vector<std::string>{"a.jpg", "a (1).jpg", "a (2).jpg", "A (3).JPG", "a (1) (1).jpg"}));
  // A folder spelled otherwise is another folder (names are what differ
  // between a live folder and a deleted one beside it).
  EXPECT_EQ(test::Keys(r.State.Catalogue, "E:\\B\\"), (std::vector<std::string>{"a.jpg"}));
  EXPECT_EQ(test::Keys(r.State.Catalogue, "e:\\b\\"), (std::vector<std::string>{"a.jpg"}));
  EXPECT_EQ(r.Host.Pumps, 1); // the one form found taken: "a (2).jpg"
}

TEST(RecordFoundFile, TheSameNameInAnotherFolderIsNotADuplicate) {
  Recording r;
  RecordFoundFile(r.Ctx, "E:\\a", {.Name = "x.txt", .Size = 1}); // the backslash is added
  RecordFoundFile(r.Ctx, "E:\\b\\", {.Name = "x.txt", .Size = 1});
  EXPECT_EQ(test::Keys(r.State.Catalogue, "E:\\a\\"), (std::vector<std::string>{"x.txt"}));
  EXPECT_EQ(test::Keys(r.State.Catalogue, "E:\\b\\"), (std::vector<std::string>{"x.txt"}));
}

TEST(RecordFoundFile, FoldersGetTreeNodesWithTheirLiveState) {
  Recording r;
  r.Live.Folders = {FoldCase("E:\\DCIM\\")};
  RecordFoundFile(r.Ctx, "E:\\", {.Name = "root.txt", .Size = 1});
  ASSERT_EQ(r.State.Tree.TopLevel().size(), 1u);
  EXPECT_TRUE(r.State.Tree.TopLevel()[0]->Children.empty());

  RecordFoundFile(r.Ctx, "E:\\DCIM\\100GONE\\", {.Name = "x.jpg", .Size = 1});
  const auto &root = *r.State.Tree.TopLevel()[0];
  ASSERT_EQ(root.Children.size(), 1u);
  const auto &dcim = *root.Children[0];
  EXPECT_EQ(dcim.Text, "DCIM");
  EXPECT_EQ(dcim.ImageIndex, 0);
  ASSERT_EQ(dcim.Children.size(), 1u);
  EXPECT_EQ(dcim.Children[0]->ImageIndex, 1);
  EXPECT_EQ(dcim.Children[0]->SelectedIndex, 1);
  EXPECT_EQ(FolderTree::SectionName(*dcim.Children[0]), "E:\\DCIM\\100GONE\\");

  // Names are matched exactly: another letter case is another node.
  RecordFoundFile(r.Ctx, "E:\\dcim\\", {.Name = "y.jpg", .Size = 1});
  EXPECT_EQ(root.Children.size(), 2u);
}

TEST(AddFolderToTree, AddsAMissingTopLevelNodeAndKeepsExistingImages) {
  FolderTree tree;
  AddFolderToTree(tree, "E:\\a\\b\\", "E:", [](std::string_view) { return false; });
  ASSERT_EQ(tree.TopLevel().size(), 1u);
  EXPECT_EQ(tree.TopLevel()[0]->Text, "E:");
  const auto &a = *tree.TopLevel()[0]->Children[0];
  EXPECT_EQ(a.ImageIndex, 1);
  AddFolderToTree(tree, "E:\\a\\c\\", "E:", [](std::string_view) { return true; });
  EXPECT_EQ(a.ImageIndex, 1);
  EXPECT_EQ(a.Children.size(), 2u);
  EXPECT_EQ(a.Children[1]->ImageIndex, 0);
}

} // namespace
} // namespace orvanta
