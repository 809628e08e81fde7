#include <gtest/gtest.h>
#include <set>

#include "engine/text.h"
#include "jobs/engine_state.h"
#include "scan/find_context.h"
#include "scan/found_catalogue.h"
#include "support/fat_image.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace orvanta {
namespace {

TEST(TFoundCatalogue, KeepsInsertionOrderAndIgnoresCaseInLookups) {
  TFoundCatalogue c;
  c.Write("E:\\b\\", "z.txt", "1#d#2#0");
  c.Write("E:\\a\\", "y.txt", "3#d#4#0");
  c.Write("E:\\B\\", "A.TXT", "5#d#6#0");
  EXPECT_EQ(c.SectionNames(), (std::vector<std::string>{"E:\\b\\", "E:\\a\\"}));
  EXPECT_EQ(c.Keys("e:\\B\\"), (std::vector<std::string>{"z.txt", "A.TXT"}));
  EXPECT_EQ(c.Value("E:\\b\\", "a.txt"), "5#d#6#0");
  EXPECT_EQ(c.Value("E:\\b\\", "missing"), "");
  EXPECT_EQ(c.Value("E:\\none\\", "z.txt"), "");
  c.Write("E:\\b\\", "Z.TXT", "7#d#8#0"); // an existing key keeps its place and name
  EXPECT_EQ(c.Keys("E:\\b\\"), (std::vector<std::string>{"z.txt", "A.TXT"}));
  EXPECT_EQ(c.Value("E:\\b\\", "z.txt"), "7#d#8#0");
  EXPECT_EQ(c.KeyCount(), 3u);
  c.Clear();
  EXPECT_EQ(c.SectionCount(), 0u);
}

TEST(TFoundCatalogue, LoadsItsFileWhenMadeAndNeverWritesIt) {
  test::TempDir dir;
  const auto file = dir / "find.ini";
  const std::string text = "junk before any section\n[E:\\]\r\nold.jpg=10#2019/05/07 09:05#5#0\r\n"
                           "; a comment\nno equals sign\n[E:\\X\\]\nk = v=w\n";
  test::WriteFileBytes(file, std::vector<std::uint8_t>(text.begin(), text.end()));
  TFoundCatalogue c(file);
  EXPECT_EQ(c.SectionNames(), (std::vector<std::string>{"E:\\", "E:\\X\\"}));
  EXPECT_EQ(c.Value("E:\\", "old.jpg"), "10#2019/05/07 09:05#5#0");
  EXPECT_EQ(c.Value("E:\\X\\", "k"), " v=w");
  c.Write("E:\\", "new.jpg", "1#2#3#4");
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
  RecordFoundFile(r.Ctx, "E:\\", "Photo.JPG", "1#a#2#0");
  RecordFoundFile(r.Ctx, "E:\\", "photo.jpg", "2#a#3#0");
  RecordFoundFile(r.Ctx, "E:\\", "photo.jpg", "3#a#4#0");
  RecordFoundFile(r.Ctx, "E:\\", "README", "4#a#5#0");
  RecordFoundFile(r.Ctx, "E:\\", "README", "5#a#6#0");
  RecordFoundFile(r.Ctx, "E:\\", "archive.tar.gz", "6#a#7#0");
  RecordFoundFile(r.Ctx, "E:\\", "ARCHIVE.tar.gz", "7#a#8#0");
  EXPECT_EQ(r.State.Catalogue.Keys("E:\\"),
            (std::vector<std::string>{"Photo.JPG", "photo (1).jpg", "photo (2).jpg", "README",
                                      "README (1)", "archive.tar.gz", "ARCHIVE.tar (1).gz"}));
  EXPECT_EQ(r.State.FoundCount, 7);
  EXPECT_EQ(r.Host.Counter, 7);
  EXPECT_EQ(r.Host.LogLines[1], "E:\\photo (1).jpg");
}

TEST(RecordFoundFile, NumberingGoesOnPastNamesFoundAsTheyAre) {
  Recording r;
  for (const char *name : {"a.jpg", "a.jpg", "a (2).jpg", "A.JPG", "a (1).jpg"})
    RecordFoundFile(r.Ctx, "E:\\", name, "1#a#2#0");
  RecordFoundFile(r.Ctx, "E:\\B\\", "a.jpg", "1#a#2#0");
  RecordFoundFile(r.Ctx, "e:\\b\\", "a.jpg", "1#a#2#0");
  EXPECT_EQ(r.State.Catalogue.Keys("E:\\"),
            (std::vector<std::string>{"a.jpg", "a (1).jpg", "a (2).jpg", "A (3).JPG", "a (1) (1).jpg"}));
  EXPECT_EQ(r.State.Catalogue.Keys("E:\\B\\"), (std::vector<std::string>{"a.jpg", "a (1).jpg"}));
  EXPECT_EQ(r.Host.Pumps, 1); // the one form found taken: "a (2).jpg"
}

TEST(RecordFoundFile, TheSameNameInAnotherFolderIsNotADuplicate) {
  Recording r;
  RecordFoundFile(r.Ctx, "E:\\a", "x.txt", "1#a#2#0"); // the backslash is added
  RecordFoundFile(r.Ctx, "E:\\b\\", "x.txt", "1#a#2#0");
  EXPECT_EQ(r.State.Catalogue.Keys("E:\\a\\"), (std::vector<std::string>{"x.txt"}));
  EXPECT_EQ(r.State.Catalogue.Keys("E:\\b\\"), (std::vector<std::string>{"x.txt"}));
}

TEST(RecordFoundFile, FoldersGetTreeNodesWithTheirLiveState) {
  Recording r;
  r.Live.Folders = {FoldCase("E:\\DCIM\\")};
  RecordFoundFile(r.Ctx, "E:\\", "root.txt", "1#a#2#0");
  ASSERT_EQ(r.State.Tree.TopLevel().size(), 1u);
  EXPECT_TRUE(r.State.Tree.TopLevel()[0]->Children.empty());

  RecordFoundFile(r.Ctx, "E:\\DCIM\\100GONE\\", "x.jpg", "1#a#2#0");
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
  RecordFoundFile(r.Ctx, "E:\\dcim\\", "y.jpg", "1#a#2#0");
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
