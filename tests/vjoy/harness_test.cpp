#include "vjoy/harness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vjoy::testing {
namespace {

std::vector<LogEntry> Parse(const std::string& text) {
  std::string path = (std::filesystem::temp_directory_path() / "vjoy-log-XXXXXX").string();
  const int fd = ::mkstemp(path.data());
  ::close(fd);
  std::ofstream(path) << text;
  auto log = ReadLog(path);
  std::filesystem::remove(path);
  return log;
}

TEST(HarnessLogTest, ReadsEveryKindOfLine) {
  const auto log = Parse(
      "0.100 7 start\n"
      "968.643 7 open /dev/hidraw0 flags=rw,nonblock -> fd=7\n"
      "968.700 7 open /dev/hidraw1 flags=rw -> err=EACCES\n"
      "968.654 7 ioctl hidraw0 fd=7 HIDIOCGRAWNAME -> 13\n"
      "1069.423 7 write hidraw0 fd=7 len=65 -> 65 bytes=005a00\n"
      "1069.500 7 write hidraw0 fd=7 len=65 -> err=ENODEV bytes=006a00\n"
      "1069.441 7 report hidraw0 to=2 bytes=807f005a04050001\n"
      "1069.452 7 read hidraw0 fd=9 len=16384 -> 8 bytes=807f005a04050001\n"
      "3500.000 7 unplug hidraw0\n"
      "3600.000 7 close hidraw0 fd=7\n");
  ASSERT_EQ(log.size(), 10u);
  EXPECT_EQ(log[0].op, "start");
  EXPECT_DOUBLE_EQ(log[1].ms, 968.643);
  EXPECT_EQ(log[1].pid, 7);
  EXPECT_EQ(log[1].node, "hidraw0");
  EXPECT_EQ(log[1].fd, 7);
  EXPECT_EQ(log[1].detail, "flags=rw,nonblock");
  EXPECT_FALSE(log[1].Failed());
  EXPECT_TRUE(log[2].Failed());
  EXPECT_EQ(log[2].fd, -1);
  EXPECT_EQ(log[3].detail, "HIDIOCGRAWNAME");
  EXPECT_EQ(log[3].result, "13");
  EXPECT_EQ(log[4].Command(), 0x5A);
  EXPECT_EQ(log[4].result, "65");
  EXPECT_TRUE(log[5].Failed());
  EXPECT_EQ(log[5].Command(), 0x6A);
  EXPECT_EQ(log[6].detail, "to=2");
  EXPECT_EQ(log[7].bytes.size(), 8u);
  EXPECT_EQ(log[7].fd, 9);
  EXPECT_EQ(log[8].node, "hidraw0");
  EXPECT_EQ(Only(log, "write", "hidraw0").size(), 2u);
  EXPECT_EQ(Only(log, "write", "hidraw1").size(), 0u);
}

}  // namespace
}  // namespace vjoy::testing
