#include <gtest/gtest.h>

#include "settings/command_line.h"

namespace orvanta {
namespace {

WellKnownFolders Folders(std::string windows) {
  WellKnownFolders folders;
  folders.WindowsFolder = windows;
  folders.ProgramFilesFolder = "C:\\Program Files\\";
  return folders;
}

TEST(CommandLineToExePath, GivesTheProgramOfRegisteredOpenCommands) {
  const auto folders = Folders("C:\\WINDOWS\\");
  EXPECT_EQ(CommandLineToExePath(folders, "\"C:\\Program Files\\App\\app.exe\" \"%1\""),
            "C:\\PROGRAM FILES\\APP\\APP.EXE");
  EXPECT_EQ(CommandLineToExePath(folders, "%SystemRoot%\\system32\\NOTEPAD.EXE %1"),
            "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE");
  EXPECT_EQ(CommandLineToExePath(
                folders, "rundll32.exe C:\\WINDOWS\\system32\\shimgvw.dll,ImageView_Fullscreen %1"),
            "C:\\WINDOWS\\SYSTEM32\\SHIMGVW.DLL");
  EXPECT_EQ(CommandLineToExePath(folders, "   "), "");
  EXPECT_EQ(CommandLineToExePath(folders, "\t\r\n"), "");
  // The Windows folder as it is on Linux.
  EXPECT_EQ(CommandLineToExePath(Folders("/"), "%SystemRoot%\\system32\\NOTEPAD.EXE %1"),
            "/SYSTEM32\\NOTEPAD.EXE");
  EXPECT_EQ(CommandLineToExePath(folders, "%PROGRAMFILES%\\Tool\\t.cmd /q"),
            "C:\\Program Files\\TOOL\\T.CMD"); // the folder keeps its case
}

TEST(CommandLineToExePath, CutsAtASecondPathAStartAndAComma) {
  const auto folders = Folders("C:\\WINDOWS\\");
  EXPECT_EQ(CommandLineToExePath(folders, "C:\\Tools\\run D:\\data\\file.txt"), "C:\\TOOLS\\RUN ");
  EXPECT_EQ(CommandLineToExePath(folders, "start viewer.exe %1"), "VIEWER.EXE");
  EXPECT_EQ(CommandLineToExePath(folders, "C:\\App\\viewer.comx,1"), "C:\\APP\\VIEWER.COM");
  EXPECT_EQ(CommandLineToExePath(folders, "icon,X:pic"), "X:P"); // no dot: three characters
  EXPECT_EQ(CommandLineToExePath(folders, "a,b"), "A,B");
}

} // namespace
} // namespace orvanta
