#pragma once

// The program the desktop opens a type of file with.
#if defined(_WIN32)
#include "settings/windows/default_application.h"
#else
#include "settings/posix/default_application.h"
#endif
