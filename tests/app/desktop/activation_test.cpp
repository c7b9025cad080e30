#include "app/desktop/activation.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTest>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "app/desktop/desktop_launch.h"
#include "fakes/child_process.h"
#include "fakes/temp_dir.h"

namespace trivexa::app {
namespace {

namespace fs = std::filesystem;

TEST(LaunchRequest, OnlyWellFormedRequestsAndTokensPass) {
  const LaunchTokens both{"token-1", "host-42_TIME1234"};
  EXPECT_EQ(ParseRequestLine(RequestLine(both).chopped(1)), both);
  // Tokens that are not well formed are left out of a request.
  EXPECT_EQ(RequestLine({QByteArray(kMaxTokenSize + 1, 't'), "a b"}), "show\n");
  for (const char* line : {"", "shows", "show ", "show token=a", "show activation-token=",
                           "show startup-id=a startup-id=b", "show startup-id=\"a\""}) {
    EXPECT_FALSE(ParseRequestLine(line)) << line;
  }
  EXPECT_EQ(LaunchTime("launcher-7_TIME4294967295"), 4294967295U);
  for (const char* id : {"launcher-7", "x_TIME12a", "x_TIME4294967296"}) {
    EXPECT_FALSE(LaunchTime(id)) << id;
  }
}

// A listener with short limits, and what it showed.
class ActivationListenerTest : public ::testing::Test {
 protected:
  void Listen(const fs::path& folder) {
    listener = std::make_unique<ActivationListener>(
        folder, [this](const LaunchTokens& tokens) { shown.push_back(tokens); },
        ActivationListener::Limits{300, 4, 100}, [](const std::string& why) { FAIL() << why; });
  }
  // Asks from another thread, as a second copy would.
  static bool Ask(const fs::path& folder, const LaunchTokens& tokens) {
    auto asked =
        std::async(std::launch::async, [&] { return AskRunningCopyToShow(folder, tokens); });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    return asked.get();
  }
  // A raw connection that sends `bytes`, then stays.
  int Connect(const QByteArray& bytes = {}) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{AF_UNIX, {}};
    (dir.path() / kActivationSocketName).string().copy(address.sun_path, 100);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())), bytes.size());
    return fd;
  }
  // Whether the listener closes the connection while it runs.
  static bool ClosedByListener(int fd) {
    char byte = 0;
    const bool closed = QTest::qWaitFor([&] { return ::recv(fd, &byte, 1, MSG_DONTWAIT) == 0; });
    ::close(fd);
    return closed;
  }

  fakes::TempDir dir;
  std::unique_ptr<ActivationListener> listener;
  std::vector<LaunchTokens> shown;
};

TEST_F(ActivationListenerTest, OnlyACompleteRequestInTimeShowsTheWindowAndFloodsPass) {
  Listen(dir.path());
  EXPECT_EQ(fs::status(dir.path() / kActivationSocketName).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_TRUE(Ask(dir.path(), {"token", "id_TIME5"}));
  // Empty, idle, half a request, a token too long: dropped, unseen.
  for (const QByteArray& sent : {QByteArray(), QByteArray("show startup-id="),
                                 "show activation-token=" + QByteArray(4000, 't'),
                                 "show activation-token=" + QByteArray(300, 't') + '\n'}) {
    EXPECT_TRUE(ClosedByListener(Connect(sent))) << sent.left(40).constData();
  }
  const int split = Connect("show activation-tok");
  ASSERT_EQ(::write(split, "en=late\n", 8), 8);
  EXPECT_TRUE(ClosedByListener(split));

  // A flood of idle connections takes no more than four descriptors, and
  // leaves room for a request.
  const std::size_t before = fakes::OpenDescriptors();
  std::vector<int> idle;
  for (int i = 0; i < 12; ++i) idle.push_back(Connect());
  QTest::qWait(50);
  EXPECT_LE(fakes::OpenDescriptors(), before + 12 + 4);
  EXPECT_TRUE(Ask(dir.path(), {}));
  for (int fd : idle) EXPECT_TRUE(ClosedByListener(fd));
  // A launch that gave up before the window read its request: not shown.
  ::close(Connect("show startup-id=stale_TIME1\n"));
  QTest::qWait(100);
  EXPECT_EQ(shown, (std::vector<LaunchTokens>{{"token", "id_TIME5"}, {"late", {}}, {}}));
}

TEST_F(ActivationListenerTest, ARemovedSocketComesBackAndAnyFolderGetsOne) {
  // Longer than a socket's address allows, and not UTF-8.
  const fs::path folder = dir.path() / std::string(120, 'f') / "\xff\xfe";
  fs::create_directories(folder);
  Listen(folder);
  EXPECT_TRUE(fs::is_socket(folder / kActivationSocketName));
  EXPECT_TRUE(Ask(folder, {"far", {}}));

  fs::remove(folder / kActivationSocketName);
  EXPECT_FALSE(AskRunningCopyToShow(folder, {}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(folder / kActivationSocketName); }));
  EXPECT_TRUE(Ask(folder, {"again", {}}));
  EXPECT_EQ(shown, (std::vector<LaunchTokens>{{"far", {}}, {"again", {}}}));
  listener.reset();
  EXPECT_FALSE(fs::exists(folder / kActivationSocketName));
}

}  // namespace
}  // namespace trivexa::app
