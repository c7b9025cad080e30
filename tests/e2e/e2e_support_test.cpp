#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

namespace trivexa::e2e {
namespace {

LogEntry Entry(const std::string& op, int fd, const std::string& result = "") {
  LogEntry entry;
  entry.op = op;
  entry.node = "hidraw1";
  entry.fd = fd;
  entry.result = result;
  entry.line = op + " fd=" + std::to_string(fd);
  return entry;
}

TEST(CloseFaultsTest, ADescriptorMayBeReusedAfterItsClose) {
  const std::vector<LogEntry> log{Entry("open", 7, "fd=7"), Entry("close", 7),
                                  Entry("open", 7, "fd=7"), Entry("close", 7)};
  EXPECT_EQ(CloseFaults(log), std::vector<std::string>{});
}

TEST(CloseFaultsTest, FindsDoubleClosesLeaksAndFailedOpensThatGetClosed) {
  const std::vector<LogEntry> log{Entry("open", 7, "fd=7"),
                                  Entry("close", 7),
                                  Entry("close", 7),
                                  Entry("open", 8, "fd=8"),
                                  Entry("open", -1, "err=EACCES"),
                                  Entry("close", -1),
                                  Entry("open", 9, "fd=9")};
  EXPECT_EQ(CloseFaults(log, {9}), (std::vector<std::string>{"closed but not open: close fd=7",
                                                             "closed but not open: close fd=-1",
                                                             "never closed: open fd=8"}));
}

}  // namespace
}  // namespace trivexa::e2e
