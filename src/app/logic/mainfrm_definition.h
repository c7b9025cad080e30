#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/pauses.h"

namespace trivexa::app {

// The main window as plain data: every front-end builds its widgets by
// walking this table, so the Qt and the Win32 window cannot drift apart.
// Places and sizes are in twips (1/1440 inch, 15 to a pixel at 96 dpi),
// measured from the top left corner of the client area. Texts are UTF-8.

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  // The platform's colour number: blue in the high byte, red in the low one.
  constexpr std::uint32_t ColourValue() const {
    return std::uint32_t{red} | (std::uint32_t{green} << 8) | (std::uint32_t{blue} << 16);
  }
  friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kLightYellow{255, 255, 192};
inline constexpr Rgb kLightPink{255, 192, 255};
inline constexpr Rgb kGreen{0, 255, 0};
inline constexpr Rgb kRed{255, 0, 0};

// Colours the platform's theme provides rather than the table.
enum class SystemColour { kButtonText, kWindowText };

struct FontDefinition {
  std::string_view face{};
  double points = 0;
  int charset = 0;  // 134: GB2312
  int weight = 0;   // 400: normal
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};

constexpr FontDefinition SimSun(double points) {
  return FontDefinition{"宋体", points, 134, 400, false, false, false};
}

enum class ControlKind {
  kDropDownCombo,  // editable field over an unsorted list of entries
  kButton,         // drawn in the graphical style, so its background shows
  kListBox,        // one column, single selection, unsorted
  kLabel,          // never takes the focus
  kTimer,          // no place on screen
};

struct TwipsRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Places and sizes are kept in twips (1/1440 inch); a screen works in
// pixels at its resolution, `dotsPerInch`.
inline int TwipsToPixels(int twips, double dotsPerInch) {
  return static_cast<int>(std::lround(twips * dotsPerInch / 1440.0));
}

struct ControlDefinition {
  std::string_view name{};
  ControlKind kind = ControlKind::kLabel;
  std::string_view text{};  // at load
  TwipsRect place{};
  int tabIndex = -1;                             // -1 for the timer, which takes no focus
  bool shown = true;                             // hidden controls still take every update
  std::optional<Rgb> background = std::nullopt;  // none: the system's for the kind
  SystemColour textColour = SystemColour::kButtonText;
  std::optional<FontDefinition> font = std::nullopt;  // none: the window's
  // Takes the size of its text whenever the text changes, its top left
  // corner staying where it is.
  bool sizesToText = false;
  int timerIntervalMs = 0;
  bool timerEnabled = false;  // at load; enabling starts a fresh interval
};

struct WindowDefinition {
  std::string_view caption{};
  int clientWidth = 0;  // twips
  int clientHeight = 0;
  Rgb background{};
  FontDefinition font{};
  // A close box and neither a minimize nor a maximize box; centred on the
  // screen when first shown.
  bool closeBox = true;
  bool minimizeBox = false;
  bool maximizeBox = false;
};

inline constexpr WindowDefinition kMainfrmWindow{.caption = "Trivexa",
                                                 .clientWidth = 8460,
                                                 .clientHeight = 3975,
                                                 .background = kLightYellow,
                                                 .font = SimSun(10.5)};

// In the order of the window definition.
// clang-format off
inline constexpr std::array<ControlDefinition, 17> kMainfrmControls{{
    // name               kind                          text at load
    //   {left, top, width, height}  tab  shown  background
    {"Combo4",            ControlKind::kDropDownCombo,  "",
       {3480, 2280, 1455, 330},      12,  true},
    {"Combo3",            ControlKind::kDropDownCombo,  "",
       {3480, 1680, 1455, 330},      10,  true},
    {"Combo2",            ControlKind::kDropDownCombo,  "",
       {3480, 1080, 1455, 330},       8,  true},
    {"Combo1",            ControlKind::kDropDownCombo,  "",
       {3480,  480, 1455, 330},       6,  true},
    {"Cmd_WriteEEPROM",   ControlKind::kButton,         "Write EEPROM",
       {6120,  960, 1590, 645},       0,  true,  kLightPink},
    {.name = "Timer1", .kind = ControlKind::kTimer, .timerIntervalMs = protocol::kPollIntervalMs,
     .timerEnabled = true},
    {"Clear",             ControlKind::kButton,         "Clear Log",
       {6000, 3960, 1350, 405},       3,  false, kLightPink},
    {"lstResults",        ControlKind::kListBox,        "",
       { 120, 4440, 8175, 900},       2,  false},
    {"Cmd_Exit",          ControlKind::kButton,         "EXIT",
       {6120, 2160, 1590, 525},       4,  true,  kLightPink},
    {"Label_XY",          ControlKind::kLabel,          "",
       { 720, 3720, 2175, 255},      15,  false, kLightYellow},
    {"Label5",            ControlKind::kLabel,
       "Please keep the joystick on center point before write EEPROM.",
       { 360, 4200, 7335, 255},      14,  false, kLightYellow},
    {"Label4",            ControlKind::kLabel,          "Transmission interval :",
       { 840, 2280, 2535, 255},      13,  true,  kLightYellow},
    {"Label3",            ControlKind::kLabel,          "Movement threshold :",
       { 840, 1680, 2535, 255},      11,  true,  kLightYellow},
    {"Label2",            ControlKind::kLabel,          "Maximum angle offset :",
       { 840, 1080, 2535, 255},       9,  true,  kLightYellow},
    {"Label1",            ControlKind::kLabel,          "Dead zone angle :",
       { 840,  480, 2535, 255},       7,  true,  kLightYellow},
    {"Label_JoyState",    ControlKind::kLabel,          "",
       { 720, 3240, 6495, 255},       5,  true,  kLightYellow},
    {.name = "Label_USBConnect",
     .kind = ControlKind::kLabel,
     .text = "Joystick unconnected",
     .place = {5760, 360, 2400, 240},
     .tabIndex = 1,
     .background = kRed,
     .textColour = SystemColour::kWindowText,
     .font = SimSun(12),
     .sizesToText = true},
}};
// clang-format on

// The two looks of Label_USBConnect; it starts unconnected.
struct ConnectionLook {
  Rgb background;
  std::string_view text;
};
inline constexpr ConnectionLook kConnectedLook{kGreen, "Joystick connected"};
inline constexpr ConnectionLook kUnconnectedLook{kRed, "Joystick unconnected"};

// Which label names which list for assistive technology: the caption beside
// it in its row.
struct LabelPair {
  std::string_view control;
  std::string_view label;
};
inline constexpr std::array<LabelPair, 4> kMainfrmListLabels{{
    {"Combo1", "Label1"},
    {"Combo2", "Label2"},
    {"Combo3", "Label3"},
    {"Combo4", "Label4"},
}};

// A caption as a screen reader should say it: without the trailing colon and
// the blanks before it ("Dead zone angle :" is "Dead zone angle").
constexpr std::string_view AccessibleNameOf(std::string_view caption) {
  if (!caption.empty() && caption.back() == ':') caption.remove_suffix(1);
  while (!caption.empty() && caption.back() == ' ') caption.remove_suffix(1);
  return caption;
}

// The control of that name, or null.
constexpr const ControlDefinition* FindMainfrmControl(std::string_view name) {
  for (const ControlDefinition& control : kMainfrmControls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

// The place in kMainfrmControls of the control of that name, by which a
// front-end may number its controls. Known while compiling: a name the table
// lacks is a build error, not a control that never answers.
consteval std::size_t MainfrmControlIndex(std::string_view name) {
  for (std::size_t index = 0; index < kMainfrmControls.size(); ++index) {
    if (kMainfrmControls[index].name == name) return index;
  }
  throw "no control of that name in the window definition";
}

}  // namespace trivexa::app
