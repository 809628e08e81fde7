#include <gtest/gtest.h>

#include "settings/posix/default_application.h"
#include "text_files.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

// A small desktop: JPEG images open in "viewer" (found on PATH), plain
// text in an editor known only from the cache, C sources in nothing.
class DesktopPrograms : public ::testing::Test {
protected:
  void SetUp() override {
    const fs::path data = dir_ / "data", config = dir_ / "config";
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

    dirs_.ConfigHome = config;
    dirs_.DataDirs = {data};
    dirs_.SearchPath = "relative:" + (dir_ / "bin").string();
  }

  test::TempDir dir_;
  XdgDirs dirs_;
};

TEST_F(DesktopPrograms, TheOpenCommandIsTheDesktopsDefaultProgram) {
  // The hidden and the missing entries are passed over.
  EXPECT_EQ(DefaultOpenCommand(dirs_, "image/jpeg"),
            "\"" + (dir_ / "bin" / "viewer").string() + "\" --fullscreen \"%1\"");
  // No default: the cache decides.
  EXPECT_EQ(DefaultOpenCommand(dirs_, "text/x-readme"), "\"/opt/My Editor/edit\" --new \"%1\"");
  EXPECT_EQ(DefaultOpenCommand(dirs_, "text/x-csrc"), "");
}

TEST(ExecToCommandLine, QuotesTheProgramAndTurnsFieldCodesIntoTheFileArgument) {
  EXPECT_EQ(ExecToCommandLine("/usr/bin/eog %U", ""), "\"/usr/bin/eog\" \"%1\"");
  EXPECT_EQ(ExecToCommandLine("\"/opt/A B/app\" --title=\"x y\" --file=%f %i %c 100%%", ""),
            "\"/opt/A B/app\" \"--title=x y\" --file=%1 100%");
  EXPECT_EQ(ExecToCommandLine("   ", ""), "");
}

} // namespace
} // namespace orvanta
