#include "app/logic/mainfrm_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

namespace trivexa::app {
namespace {

const ControlDefinition& Control(std::string_view name) {
  const ControlDefinition* control = FindMainfrmControl(name);
  EXPECT_NE(control, nullptr) << name;
  static const ControlDefinition kNone{};
  return control != nullptr ? *control : kNone;
}

bool TakesFocus(const ControlDefinition& control) {
  return control.kind != ControlKind::kLabel && control.kind != ControlKind::kTimer;
}

TEST(MainfrmDefinition, ColourValuesPutBlueHighAndRedLow) {
  EXPECT_EQ(kGreen.ColourValue(), 0xFF00u);
  EXPECT_EQ(kRed.ColourValue(), 0xFFu);
  EXPECT_EQ(kLightYellow.ColourValue(), 0xC0FFFFu);
  EXPECT_EQ(kLightPink.ColourValue(), 0xFFC0FFu);
}

TEST(MainfrmDefinition, NamesAreUniqueAndTabIndexesRunWithoutGaps) {
  std::set<std::string_view> names;
  std::vector<int> tabIndexes;
  for (const ControlDefinition& control : kMainfrmControls) {
    EXPECT_TRUE(names.insert(control.name).second) << control.name;
    if (control.kind != ControlKind::kTimer) tabIndexes.push_back(control.tabIndex);
  }
  EXPECT_EQ(names.size(), 17u);
  std::sort(tabIndexes.begin(), tabIndexes.end());
  for (std::size_t i = 0; i < tabIndexes.size(); ++i) {
    EXPECT_EQ(tabIndexes[i], static_cast<int>(i));
  }
  EXPECT_EQ(FindMainfrmControl("Combo5"), nullptr);
}

// Tab walks Write EEPROM, EXIT and the four lists in turn: labels and hidden
// controls are passed over.
TEST(MainfrmDefinition, FocusVisitsTheButtonsThenTheListsInOrder) {
  std::vector<const ControlDefinition*> visited;
  for (const ControlDefinition& control : kMainfrmControls) {
    if (TakesFocus(control) && control.shown) visited.push_back(&control);
  }
  std::sort(visited.begin(), visited.end(),
            [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
  std::vector<std::string_view> order;
  for (const ControlDefinition* control : visited) order.push_back(control->name);
  EXPECT_EQ(order, (std::vector<std::string_view>{"Cmd_WriteEEPROM", "Cmd_Exit", "Combo1", "Combo2",
                                                  "Combo3", "Combo4"}));
}

TEST(MainfrmDefinition, ShownControlsFitTheClientAreaAndHiddenOnesLieBelowIt) {
  std::vector<std::string_view> hidden;
  for (const ControlDefinition& control : kMainfrmControls) {
    if (control.kind == ControlKind::kTimer) continue;
    SCOPED_TRACE(control.name);
    const TwipsRect& place = control.place;
    if (control.shown) {
      EXPECT_LE(place.left + place.width, kMainfrmWindow.clientWidth);
      EXPECT_LE(place.top + place.height, kMainfrmWindow.clientHeight);
    } else {
      hidden.push_back(control.name);
      EXPECT_GE(place.top, 3720);
    }
  }
  EXPECT_EQ(hidden, (std::vector<std::string_view>{"Clear", "lstResults", "Label_XY", "Label5"}));
}

// Each caption stands left of its list, one row every 600 twips.
TEST(MainfrmDefinition, CaptionsAndListsFormRowsBesideEachOther) {
  const std::string_view captions[] = {"Label1", "Label2", "Label3", "Label4"};
  const std::string_view lists[] = {"Combo1", "Combo2", "Combo3", "Combo4"};
  for (int row = 0; row < 4; ++row) {
    const ControlDefinition& caption = Control(captions[row]);
    const ControlDefinition& list = Control(lists[row]);
    EXPECT_EQ(caption.place.top, 480 + 600 * row);
    EXPECT_EQ(list.place.top, caption.place.top);
    EXPECT_EQ(caption.place.left, 840);
    EXPECT_EQ(list.place.left, 3480);
    EXPECT_EQ(list.kind, ControlKind::kDropDownCombo);
    EXPECT_TRUE(list.text.empty());
  }
}

TEST(MainfrmDefinition, AHandfulOfControlsInPlace) {
  const ControlDefinition& write = Control("Cmd_WriteEEPROM");
  EXPECT_EQ(write.kind, ControlKind::kButton);
  EXPECT_EQ(write.text, "Write EEPROM");
  EXPECT_EQ(write.place.left, 6120);
  EXPECT_EQ(write.place.height, 645);
  EXPECT_EQ(write.background, kLightPink);
  EXPECT_FALSE(write.font.has_value());

  const ControlDefinition& timer = Control("Timer1");
  EXPECT_EQ(timer.kind, ControlKind::kTimer);
  EXPECT_EQ(timer.timerIntervalMs, 1000);
  EXPECT_TRUE(timer.timerEnabled);

  // The only control with its own font, text colour and size.
  const ControlDefinition& connection = Control("Label_USBConnect");
  EXPECT_EQ(connection.text, kUnconnectedLook.text);
  EXPECT_EQ(connection.background, kUnconnectedLook.background);
  EXPECT_EQ(connection.textColour, SystemColour::kWindowText);
  EXPECT_TRUE(connection.sizesToText);
  ASSERT_TRUE(connection.font.has_value());
  EXPECT_EQ(connection.font->points, 12.0);
  EXPECT_EQ(connection.font->face, kMainfrmWindow.font.face);
  for (const ControlDefinition& control : kMainfrmControls) {
    if (control.name == connection.name) continue;
    EXPECT_FALSE(control.sizesToText) << control.name;
    EXPECT_FALSE(control.font.has_value()) << control.name;
    EXPECT_EQ(control.textColour, SystemColour::kButtonText) << control.name;
  }

  EXPECT_EQ(Control("Label5").text,
            "Please keep the joystick on center point before write EEPROM.");
  EXPECT_EQ(kConnectedLook.background, kGreen);
  EXPECT_EQ(kConnectedLook.text, "Joystick connected");
}

TEST(MainfrmDefinition, WindowFrameAndFont) {
  EXPECT_EQ(kMainfrmWindow.caption, "Trivexa");
  EXPECT_EQ(kMainfrmWindow.clientWidth, 8460);
  EXPECT_EQ(kMainfrmWindow.clientHeight, 3975);
  EXPECT_EQ(kMainfrmWindow.background, kLightYellow);
  EXPECT_EQ(kMainfrmWindow.font.face, "宋体");
  EXPECT_EQ(kMainfrmWindow.font.points, 10.5);
  EXPECT_EQ(kMainfrmWindow.font.charset, 134);
  EXPECT_EQ(kMainfrmWindow.font.weight, 400);
  EXPECT_TRUE(kMainfrmWindow.closeBox);
  EXPECT_FALSE(kMainfrmWindow.minimizeBox || kMainfrmWindow.maximizeBox);
}

}  // namespace
}  // namespace trivexa::app
