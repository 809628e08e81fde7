#pragma once

#include <string>
#include <string_view>

#include "settings/posix/xdg_dirs.h"

namespace orvanta {

// The open command of the desktop's default program for a MIME type, in the
// form the system registers open commands: the program's full path in
// quotes, then its arguments, with "%1" standing for the file, for example
// "/usr/bin/eog" "%1". The program is looked up as the freedesktop.org
// rules say: the [Default Applications] of every mimeapps.list in order of
// importance, then their [Added Associations] (less any [Removed
// Associations]), then the mimeinfo.cache files; the first entry whose
// desktop file is installed, not hidden and has an Exec line wins. Empty
// when there is none.
std::string DefaultOpenCommand(const XdgDirs &dirs, std::string_view mimeType);

// A desktop entry's Exec value as such a command line: the file field codes
// (%f %F %u %U) become "%1", "%%" becomes "%", the other field codes go, and
// a program given without a folder is looked up in `searchPath` (PATH).
std::string ExecToCommandLine(std::string_view exec, std::string_view searchPath);

} // namespace orvanta
