#pragma once

#include <windows.h>

namespace trivexa::app::win32 {

inline constexpr int kDefaultDpi = 96;
// Messages of Windows 10 (1607 and 1703); not every SDK names them.
inline constexpr UINT kWmDpiChanged = 0x02E0;
inline constexpr UINT kWmGetDpiScaledSize = 0x02E4;

// The DPI of the monitor the window is on, for a per-monitor aware program;
// the system's DPI otherwise.
int DpiOfWindow(HWND window);

// GetSystemMetrics at `dpi`, where Windows can say it.
int SystemMetric(int index, int dpi);

// The outer size of `window` around a client area of that size in pixels,
// its frame drawn at `dpi`.
SIZE FrameAround(HWND window, SIZE client, int dpi);

}  // namespace trivexa::app::win32
