#include "settings/choice_lists.h"

#include <gtest/gtest.h>

#include "fakes/fake_window.h"

namespace trivexa::settings {
namespace {

// The record the file's defaults give.
constexpr JoystickSettings kDefaults{5, 5, 2, 1};

struct Lists {
  std::array<fakes::FakeChoiceList, 4> combos;
  ChoiceLists Pointers() { return {&combos[0], &combos[1], &combos[2], &combos[3]}; }
  std::array<std::string, 4> Shown() const {
    return {combos[0].shownText, combos[1].shownText, combos[2].shownText, combos[3].shownText};
  }
};

TEST(FillChoiceLists, ShowsTheStoredEntryOfEveryList) {
  Lists lists;
  FillChoiceLists(kDefaults, lists.Pointers());
  EXPECT_EQ(lists.Shown(), (std::array<std::string, 4>{" 3.5deg", " 0", " 3", " 20ms"}));

  FillChoiceLists({0, 0, 0, 0}, lists.Pointers());
  EXPECT_EQ(lists.Shown(), (std::array<std::string, 4>{" 1.0deg", " -5", " 1", " 10ms"}));

  FillChoiceLists({8, 10, 5, 4}, lists.Pointers());
  EXPECT_EQ(lists.Shown(), (std::array<std::string, 4>{" 5.0deg", " +5", " 6", " 50ms"}));
  EXPECT_EQ(lists.combos[1].selected, 10);
}

TEST(FillChoiceLists, RebuildsTheListsFromScratchInTableOrder) {
  Lists lists;
  lists.combos[0].Append("left over");
  FillChoiceLists(kDefaults, lists.Pointers());
  FillChoiceLists(kDefaults, lists.Pointers());
  EXPECT_EQ(lists.combos[0].Count(), 9);
  EXPECT_EQ(lists.combos[1].Count(), 11);
  EXPECT_EQ(lists.combos[2].Count(), 6);
  EXPECT_EQ(lists.combos[3].Count(), 5);
  EXPECT_EQ(lists.combos[1].entries,
            (std::vector<std::string>{" -5", " -4", " -3", " -2", " -1", " 0", " +1", " +2", " +3",
                                      " +4", " +5"}));
  EXPECT_EQ(lists.combos[3].entries.front(), " 10ms");
  EXPECT_EQ(lists.combos[3].entries.back(), " 50ms");
}

}  // namespace
}  // namespace trivexa::settings
