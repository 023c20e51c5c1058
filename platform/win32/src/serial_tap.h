// What the ports delivered to their readers: the copy a host may ask for
// (W32SetSerialTap) and the running count it may wait on.
#pragma once

#include <windows.h>

namespace w32 {

// Hands the bytes a completed read delivered to the installed tap, if any.
void TapSerialBytes(int com, const char* bytes, DWORD size);

}  // namespace w32
