#pragma once

#include <string>
#include <string_view>

#include "settings/well_known_folders.h"

namespace orvanta {

// The path of the program file behind a shell open-command line, as file
// types register them: the first absolute path in the line, upper-cased,
// with folder variables expanded, quotes removed, and cut after the first
// program extension (.EXE .DLL .BAT .CMD .CPL .APL .OCX). A "START " in
// front goes, and of a "file,argument" pair only the file is kept. Blank
// input gives the empty string. The result need not name an existing file;
// callers test that.
//
//   "C:\Program Files\App\app.exe" "%1"     ->  C:\PROGRAM FILES\APP\APP.EXE
//   %SystemRoot%\system32\NOTEPAD.EXE %1    ->  WindowsFolder + SYSTEM32\NOTEPAD.EXE
//   rundll32.exe C:\WINDOWS\system32\shimgvw.dll,ImageView_Fullscreen %1
//                                           ->  C:\WINDOWS\SYSTEM32\SHIMGVW.DLL
std::string CommandLineToExePath(const WellKnownFolders &folders, std::string_view commandLine);

} // namespace orvanta
