#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instance/instance_lock.h"

namespace trivexa::instance {
namespace {

LockPlace UniquePlace() {
  return {"Local\\Trivexa.Test." + std::to_string(GetCurrentProcessId()) + "." +
              std::to_string(GetTickCount64()),
          false};
}

// A mutex is owned by a thread and may be taken again by its owner: the
// other copy is played by another thread.
template <typename Result>
Result Elsewhere(const std::function<Result()>& work) {
  Result result{};
  std::thread([&] { result = work(); }).join();
  return result;
}

TEST(InstanceLockWindowsTest, OnlyTheFirstCopyRunsUntilItEnds) {
  const LockPlace place = UniquePlace();
  EXPECT_EQ(ProbeInstance(place), InstanceState::kNotRunning);
  std::optional<InstanceLock> first(std::in_place, place);
  EXPECT_FALSE(first->AnotherInstanceRunning());
  EXPECT_FALSE(first->AnotherInstanceRunning()) << "asking again is no second copy";
  EXPECT_EQ(Elsewhere<InstanceState>([&] { return ProbeInstance(place); }),
            InstanceState::kRunning);
  EXPECT_TRUE(Elsewhere<bool>([&] {
    InstanceLock second(place);
    return second.AnotherInstanceRunning() && !second.Held();
  }));
  first.reset();
  EXPECT_FALSE(Elsewhere<bool>([&] {
    InstanceLock third(place);
    return third.AnotherInstanceRunning();
  })) << "the lock goes with the copy that held it";
}

TEST(InstanceLockWindowsTest, ANameTakenByAnotherKindOfObjectWarnsAndStarts) {
  const LockPlace place = UniquePlace();
  HANDLE squatter = CreateEventA(nullptr, TRUE, FALSE, place.name.c_str());
  ASSERT_NE(squatter, nullptr);
  std::vector<std::string> warnings;
  InstanceLock lock(place, [&](const std::string& why) { warnings.push_back(why); });
  EXPECT_FALSE(lock.AnotherInstanceRunning());
  EXPECT_EQ(warnings.size(), 1u);
  CloseHandle(squatter);
}

}  // namespace
}  // namespace trivexa::instance
