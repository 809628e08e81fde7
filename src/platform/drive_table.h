#pragma once

// The drive table of the system the program runs on: its removable drives
// and the images named in ORVANTA_DRIVES, each under a drive letter.
#if defined(_WIN32)
#include "platform/windows/drive_table.h"
#else
#include "platform/posix/drive_table.h"
#endif
