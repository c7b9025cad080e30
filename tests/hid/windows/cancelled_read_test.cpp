#include "hid/windows/cancelled_read.h"

#include <gtest/gtest.h>

namespace trivexa::hid {
namespace {

// A read as the system shows it while it is in flight: STATUS_PENDING in
// the record and its event not signalled. Nothing will ever complete it,
// as with a driver that never completes a cancel.
struct StuckRead {
  StuckRead() {
    record.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    record.Internal = static_cast<ULONG_PTR>(STATUS_PENDING);
  }
  ~StuckRead() { CloseHandle(record.hEvent); }
  OVERLAPPED record{};
};

TEST(EndCancelledReadTest, AReadThatNeverEndsIsGivenUpAfterTheLimit) {
  StuckRead stuck;
  HANDLE file = CreateFileW(L"NUL", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(EndCancelledRead(file, stuck.record, 20));
  CloseHandle(file);
}

TEST(EndCancelledReadTest, AReadThatHasEndedIsDoneAtOnce) {
  StuckRead ended;
  ended.record.Internal = 0;  // STATUS_SUCCESS
  SetEvent(ended.record.hEvent);
  EXPECT_TRUE(EndCancelledRead(INVALID_HANDLE_VALUE, ended.record, 20));
}

}  // namespace
}  // namespace trivexa::hid
