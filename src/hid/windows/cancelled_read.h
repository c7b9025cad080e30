#pragma once

#include <windows.h>

namespace trivexa::hid {

// How long closing a handle waits for its cancelled read to end. A driver
// completes a cancel at once; one that never does must not hang the window
// at reconnect or exit.
inline constexpr DWORD kCancelledReadLimitMs = 500;

// Cancels the read started with `record` on `file` and waits at most
// `limitMs` for it to end. True once it has ended; false when it is still in
// flight, in which case the system may still write into `record` and its
// buffer, and neither may be freed or reused.
bool EndCancelledRead(HANDLE file, OVERLAPPED& record, DWORD limitMs);

}  // namespace trivexa::hid
