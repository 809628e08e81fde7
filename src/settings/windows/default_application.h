#pragma once

#include <string>
#include <string_view>

namespace orvanta {

// The open command of the program the system opens files of an extension
// (".txt") with, as the system registers it: the program's full path in
// quotes, then its arguments, with "%1" standing for the file, for example
// "C:\Windows\system32\NOTEPAD.EXE" %1. Empty when there is none.
std::string DefaultOpenCommand(std::string_view extension);

} // namespace orvanta
