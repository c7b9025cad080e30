#include "app/win32/running_window.h"

#include <windows.h>

#include <vector>

#include "app/win32/window_ids.h"
#include "host/text.h"

namespace trivexa::app::win32 {
namespace {

// The TOKEN_USER of a process, empty where it cannot be read.
std::vector<unsigned char> UserOfProcess(HANDLE process) {
  std::vector<unsigned char> user;
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return user;
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  user.resize(size);
  if (size == 0 || !GetTokenInformation(token, TokenUser, user.data(), size, &size)) user.clear();
  CloseHandle(token);
  return user;
}

// Whether the process behind `window` runs as this same user: a copy of
// another account's (runas, on the same desktop) is left alone.
bool SameUser(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return false;
  const std::vector<unsigned char> theirs = UserOfProcess(process);
  CloseHandle(process);
  const std::vector<unsigned char> ours = UserOfProcess(GetCurrentProcess());
  if (theirs.empty() || ours.empty()) return false;
  return EqualSid(reinterpret_cast<const TOKEN_USER*>(theirs.data())->User.Sid,
                  reinterpret_cast<const TOKEN_USER*>(ours.data())->User.Sid) != FALSE;
}

// Asked before the window is raised; a window busy in a long handler has a
// second to answer.
std::string FollowedKeyOf(HWND window) {
  DWORD_PTR atom = 0;
  if (SendMessageTimeoutW(window, kFollowedJoystickMessage, 0, 0, SMTO_ABORTIFHUNG, 1000, &atom) ==
          0 ||
      atom == 0) {
    return {};
  }
  wchar_t name[256] = {};
  const UINT length = GlobalGetAtomNameW(static_cast<ATOM>(atom), name, 256);
  GlobalDeleteAtom(static_cast<ATOM>(atom));
  return Narrow(std::wstring_view(name, length));
}

}  // namespace

bool RaiseRunningWindow(std::string* followedKey) {
  for (HWND window = FindWindowExW(nullptr, nullptr, kMainfrmClass, nullptr); window != nullptr;
       window = FindWindowExW(nullptr, window, kMainfrmClass, nullptr)) {
    if (!SameUser(window)) continue;
    if (followedKey != nullptr) *followedKey = FollowedKeyOf(window);
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    if (!SetForegroundWindow(window)) {
      FLASHWINFO flash{sizeof flash, window, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
      FlashWindowEx(&flash);
    }
    return true;
  }
  return false;
}

}  // namespace trivexa::app::win32
