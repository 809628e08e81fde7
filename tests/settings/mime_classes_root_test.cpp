#include <gtest/gtest.h>

#include "settings/ascii_case.h"
#include "settings/posix/default_application.h"
#include "settings/registry_helpers.h"
#include "temp_registry.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;
constexpr auto HKCR = RegistryRoot::ClassesRoot;

// A small MIME database and desktop: JPEG images open in "viewer" (found on
// PATH), plain text in an editor known only from the cache.
class MimeDatabase : public ::testing::Test {
protected:
  void SetUp() override {
    const fs::path data = dir_ / "data", config = dir_ / "config";
    test::WriteText(data / "mime" / "globs2", "# written by a test\n"
                                              "50:image/jpeg:*.jpg\n"
                                              "50:image/jpeg:*.jpeg\n"
                                              "50:text/x-c++src:*.C:cs\n"
                                              "50:text/x-csrc:*.c\n"
                                              "10:text/plain:*.txt\n"
                                              "60:text/x-readme:*.txt\n"
                                              "50:application/x-compressed-tar:*.tar.gz\n"
                                              "50:text/x-log:*.log*\n");
    test::WriteText(data / "applications" / "viewer.desktop",
                    "[Desktop Entry]\nName=Viewer\nExec=viewer --fullscreen %U\n");
    test::WriteText(data / "applications" / "gone.desktop",
                    "[Desktop Entry]\nExec=gone %f\nHidden=true\n");
    test::WriteText(data / "applications" / "editor.desktop",
                    "[Desktop Entry]\nExec=\"/opt/My Editor/edit\" --new %f %i\n");
    test::WriteText(data / "applications" / "mimeinfo.cache",
                    "[MIME Cache]\ntext/x-readme=editor.desktop;\n");
    test::WriteText(config / "mimeapps.list",
                    "[Default Applications]\nimage/jpeg=gone.desktop;missing.desktop;viewer.desktop;\n");
    test::WriteText(dir_ / "bin" / "viewer", "#!/bin/sh\n");
    fs::permissions(dir_ / "bin" / "viewer", fs::perms::owner_all);

    XdgDirs dirs;
    dirs.ConfigHome = config;
    dirs.DataDirs = {data};
    dirs.SearchPath = "relative:" + (dir_ / "bin").string();
    registry_ = std::make_unique<PosixRegistry>(dir_ / "store", dirs);
  }

  std::string Read(std::string_view key) { return ReadRegString(*registry_, HKCR, key, ""); }

  test::TempDir dir_;
  std::unique_ptr<PosixRegistry> registry_;
};

TEST_F(MimeDatabase, AnExtensionKeyNamesItsFileType) {
  EXPECT_EQ(Read(".JPG"), "IMAGE/JPEG");
  EXPECT_EQ(Read(".jpeg"), "IMAGE/JPEG");
  EXPECT_EQ(Read(".txt"), "TEXT/X-README"); // the heavier glob
  EXPECT_EQ(Read(".c"), "TEXT/X-CSRC");
  EXPECT_EQ(Read(".C"), "TEXT/X-C++SRC"); // case-sensitive glob, case matches
  EXPECT_EQ(Read(".TAR.GZ"), "APPLICATION/X-COMPRESSED-TAR");
  EXPECT_EQ(Read(".log"), ""); // not a plain "*.ext" glob
  EXPECT_TRUE(RegKeyExists(*registry_, HKCR, ".Jpg"));
  EXPECT_FALSE(RegKeyExists(*registry_, HKCR, ".nosuch"));
  EXPECT_FALSE(RegKeyExists(*registry_, HKCR, ".jpg\\sub"));
  EXPECT_TRUE(RegKeyExists(*registry_, HKCR, "")); // the root, which an empty extension tests
  EXPECT_FALSE(RegValueExists(*registry_, HKCR, ".jpg", "Content Type"));
}

TEST_F(MimeDatabase, TheOpenCommandIsTheDesktopsDefaultProgram) {
  // The hidden and the missing entries are passed over.
  EXPECT_EQ(Read("IMAGE/JPEG\\shell\\open\\command"),
            "\"" + AsciiUpper((dir_ / "bin" / "viewer").string()) + "\" --FULLSCREEN \"%1\"");
  EXPECT_TRUE(RegKeyExists(*registry_, HKCR, "image/jpeg\\Shell\\Open"));
  // No default: the cache decides.
  EXPECT_EQ(Read("text/x-readme\\shell\\open\\command"), "\"/OPT/MY EDITOR/EDIT\" --NEW \"%1\"");
  // A known type with no program at all.
  EXPECT_TRUE(RegKeyExists(*registry_, HKCR, "text/x-csrc"));
  EXPECT_FALSE(RegKeyExists(*registry_, HKCR, "text/x-csrc\\shell"));
  EXPECT_FALSE(RegKeyExists(*registry_, HKCR, "no/such-type"));
  EXPECT_FALSE(RegKeyExists(*registry_, HKCR, "image/jpeg\\shell\\edit"));
}

TEST_F(MimeDatabase, IsReadOnly) {
  WriteRegString(*registry_, HKCR, ".jpg", "", "changed");
  WriteRegString(*registry_, HKCR, ".new", "", "x");
  EXPECT_EQ(Read(".jpg"), "IMAGE/JPEG");
  EXPECT_FALSE(RegKeyExists(*registry_, HKCR, ".new"));
  EXPECT_FALSE(fs::exists(dir_ / "store"));
}

TEST(ExecToCommandLine, QuotesTheProgramAndTurnsFieldCodesIntoTheFileArgument) {
  EXPECT_EQ(ExecToCommandLine("/usr/bin/eog %U", ""), "\"/usr/bin/eog\" \"%1\"");
  EXPECT_EQ(ExecToCommandLine("\"/opt/A B/app\" --title=\"x y\" --file=%f %i %c 100%%", ""),
            "\"/opt/A B/app\" \"--title=x y\" --file=%1 100%");
  EXPECT_EQ(ExecToCommandLine("   ", ""), "");
}

TEST(SystemMimeDatabase, KnowsJpegWhenInstalled) {
  if (!fs::exists("/usr/share/mime/globs2"))
    GTEST_SKIP() << "no shared MIME database on this machine";
  XdgDirs dirs;
  dirs.DataDirs = {"/usr/share"};
  PosixRegistry registry({}, dirs);
  EXPECT_EQ(ReadRegString(registry, HKCR, ".JPG", ""), "IMAGE/JPEG");
  EXPECT_TRUE(RegKeyExists(registry, HKCR, ".txt"));
}

} // namespace
} // namespace orvanta
