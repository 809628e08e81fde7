#pragma once

#include <windows.h>

namespace orvanta {

// The errno value that says what a system error code says, for the
// program's messages, which name errors as the C library does; EIO for
// codes it has no word for.
int ErrnoOf(DWORD error);

} // namespace orvanta
