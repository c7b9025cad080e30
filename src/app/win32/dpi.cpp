#include "app/win32/dpi.h"

namespace trivexa::app::win32 {
namespace {

// Functions of Windows 10 are looked up at run time, so the program still
// starts where they are missing (older systems, Wine).
template <typename Function>
Function User32Function(const char* name) {
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

}  // namespace

int DpiOfWindow(HWND window) {
  static const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  HDC dc = GetDC(window);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(window, dc);
  return dpi > 0 ? dpi : kDefaultDpi;
}

int SystemMetric(int index, int dpi) {
  static const auto forDpi = User32Function<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
  return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

SIZE FrameAround(HWND window, SIZE client, int dpi) {
  static const auto adjustForDpi =
      User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT frame{0, 0, client.cx, client.cy};
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const auto extended = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  if (adjustForDpi != nullptr) {
    adjustForDpi(&frame, style, FALSE, extended, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&frame, style, FALSE, extended);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace trivexa::app::win32
