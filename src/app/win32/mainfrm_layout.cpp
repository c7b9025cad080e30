#include <string>
#include <utility>
#include <vector>

#include "app/win32/child_controls.h"
#include "app/win32/dpi.h"
#include "app/win32/mainfrm_window.h"
#include "app/win32/resource_ids.h"

namespace trivexa::app::win32 {

int Mainfrm::Px(int twips) const { return TwipsToPixels(twips, dpi_); }

SIZE Mainfrm::FrameSize(int dpi) const {
  return FrameAround(window_,
                     {TwipsToPixels(kMainfrmWindow.clientWidth, dpi),
                      TwipsToPixels(kMainfrmWindow.clientHeight, dpi)},
                     dpi);
}

// "宋体" (SimSun) with its character set; where the face is missing the font
// mapper picks one of that character set, which shows the same texts.
HFONT Mainfrm::MakeFont(const FontDefinition& font) {
  const std::wstring face = Widen(font.face);
  HFONT made =
      CreateFontW(-MulDiv(static_cast<int>(font.points * 10 + 0.5), dpi_, 720), 0, 0, 0,
                  font.weight, font.italic, font.underline, font.strikeOut,
                  static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  fonts_.push_back(made);
  return made;
}

HWND Mainfrm::CreateWindowShell() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Mainfrm::WindowProc;
  windowClass.hInstance = instance_;
  // The icons are set per window, in the sizes of its monitor's DPI.
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  // No class brush: the background is painted on WM_ERASEBKGND.
  windowClass.lpszClassName = kMainfrmClass;
  RegisterClassExW(&windowClass);  // fails harmlessly when a second window registers it again

  // A caption with the close box only (as the definition has it), and a
  // fixed frame. Its size follows once the DPI of its monitor is known.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
  if (kMainfrmWindow.closeBox) style |= WS_SYSMENU;
  if (kMainfrmWindow.minimizeBox) style |= WS_MINIMIZEBOX;
  if (kMainfrmWindow.maximizeBox) style |= WS_MAXIMIZEBOX;
  return CreateWindowExW(0, kMainfrmClass, Widen(kMainfrmWindow.caption).c_str(), style,
                         CW_USEDEFAULT, CW_USEDEFAULT, Px(kMainfrmWindow.clientWidth),
                         Px(kMainfrmWindow.clientHeight), nullptr, nullptr, instance_, this);
}

void Mainfrm::BuildControls() {
  for (const ControlDefinition* control : CreationOrder()) {
    CreateChildControl(window_, instance_, *control);
  }
}

void Mainfrm::LayOut() {
  // The fonts of the previous DPI go once every control has its new one.
  const std::vector<HFONT> previous = std::move(fonts_);
  fonts_.clear();
  windowFont_ = MakeFont(kMainfrmWindow.font);
  for (const ControlDefinition& control : kMainfrmControls) {
    if (!HasWindow(control)) continue;
    PlaceChildControl(Control(IdOfDefinition(control)), control,
                      control.font ? MakeFont(*control.font) : windowFont_, dpi_);
  }
  // The connection label keeps its place and fits its text in the new font.
  if (connection_) {
    connection_->SetFont(
        reinterpret_cast<HFONT>(SendMessageW(Control(kLabelUsbConnect), WM_GETFONT, 0, 0)));
  }
  for (HFONT font : previous) DeleteObject(font);
  LoadIcons();
}

// The icon in the sizes Windows shows at this DPI (title bar, Alt+Tab), each
// chosen from the images of the .ico.
void Mainfrm::LoadIcons() {
  const auto load = [&](int width, int height) {
    return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kIdiTrivexa), IMAGE_ICON,
                                         SystemMetric(width, dpi_), SystemMetric(height, dpi_), 0));
  };
  HICON big = load(SM_CXICON, SM_CYICON);
  HICON small = load(SM_CXSMICON, SM_CYSMICON);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  bigIcon_ = big;
  smallIcon_ = small;
}

void Mainfrm::OnDpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0 || dpi == dpi_) return;
  dpi_ = dpi;
  LayOut();
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea();
  InvalidateRect(window_, nullptr, TRUE);
}

void Mainfrm::SizeFrame() {
  const SIZE frame = FrameSize(dpi_);
  SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea();
}

// Where the frame did not grow with the DPI as the system said it would (a
// window whose frame the system draws at another DPI, as Wine does), the
// client area is set right by the difference, its top left corner staying.
void Mainfrm::FitClientArea() {
  RECT client{};
  RECT frame{};
  GetClientRect(window_, &client);
  GetWindowRect(window_, &frame);
  const int wider = Px(kMainfrmWindow.clientWidth) - client.right;
  const int higher = Px(kMainfrmWindow.clientHeight) - client.bottom;
  if (wider == 0 && higher == 0) return;
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + wider,
               frame.bottom - frame.top + higher, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace trivexa::app::win32
