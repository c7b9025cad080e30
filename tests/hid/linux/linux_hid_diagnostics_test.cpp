#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <string>

#include "fakes/temp_dir.h"
#include "hid/linux/linux_hid_platform.h"

namespace trivexa::hid {
namespace {

namespace fs = std::filesystem;

// A sysfs tree as the kernel lays it out for a USB joystick:
// hidraw3/device -> .../usb1/1-1/1-1:1.0/0003:0079:0026.0001, with the USB
// device's attributes two levels up.
class SysfsTree {
 public:
  explicit SysfsTree(const fs::path& root) : root_(root) {
    usbDevice_ = root / "devices" / "usb1" / "1-1";
    hidDevice_ = usbDevice_ / "1-1:1.0" / "0003:0079:0026.0001";
    fs::create_directories(hidDevice_);
    fs::create_directories(Class() / "hidraw3");
    fs::create_directory_symlink(hidDevice_, Class() / "hidraw3" / "device");
    fakes::WriteFile(usbDevice_ / "idVendor", "0079\n");
    fakes::WriteFile(hidDevice_ / "uevent",
                     "DRIVER=hid-generic\nHID_ID=0003:00000079:00000026\n"
                     "HID_NAME=DragonRise Inc.   Generic   USB  Joystick  \n");
    fs::create_directories(root / "dev");
    fakes::WriteFile(Node(), "");  // opens like a node; every ioctl fails
  }

  fs::path Class() const { return root_ / "class"; }
  fs::path Dev() const { return root_ / "dev"; }
  std::string Node() const { return (root_ / "dev" / "hidraw3").string(); }
  const fs::path& UsbDevice() const { return usbDevice_; }
  const fs::path& HidDevice() const { return hidDevice_; }

 private:
  fs::path root_;
  fs::path usbDevice_;
  fs::path hidDevice_;
};

std::string ProductText(LinuxHidPlatform& platform, Handle handle) {
  std::array<std::uint8_t, kProductStringBytes> buffer{};
  if (!platform.GetProductString(handle, buffer)) return "(failed)";
  std::string text;
  for (std::size_t i = 0; i + 1 < buffer.size() && buffer[i] != 0; i += 2) {
    text += static_cast<char>(buffer[i]);
  }
  return text;
}

TEST(LinuxHidDiagnosticsTest, FailuresKeepTheSystemsReasonAndSuccessClearsIt) {
  fakes::TempDir temp;
  SysfsTree tree(temp.path());
  LinuxHidPlatform platform(tree.Class().string(), tree.Dev().string());
  EXPECT_TRUE(platform.LastError().text.empty());

  const std::string missing = (tree.Dev() / "hidraw9").string();
  EXPECT_EQ(platform.Open(missing, false), kInvalidHandle);
  EXPECT_EQ(platform.LastError().text, "open " + missing + ": No such file or directory");
  EXPECT_FALSE(platform.LastError().accessDenied);

  const Handle handle = platform.Open(tree.Node(), false);
  ASSERT_TRUE(IsOpen(handle));
  EXPECT_TRUE(platform.LastError().text.empty());

  EXPECT_FALSE(platform.GetAttributes(handle));
  EXPECT_EQ(platform.LastError().text,
            "ioctl HIDIOCGRAWINFO " + tree.Node() + ": Inappropriate ioctl for device");
  EXPECT_FALSE(platform.GetCaps(handle));
  EXPECT_EQ(platform.LastError().text,
            "ioctl HIDIOCGRDESC " + tree.Node() + ": Inappropriate ioctl for device");
  EXPECT_FALSE(platform.GetAttributes(Handle{4242}));
  EXPECT_EQ(platform.LastError().text, "HIDIOCGRAWINFO: handle 4242 is not open");
  EXPECT_FALSE(platform.Write(Handle{4242}, std::array<std::uint8_t, 2>{0, 1}));
  EXPECT_EQ(platform.LastError().text, "write: handle 4242 is not open");
}

TEST(LinuxHidDiagnosticsTest, ARefusedOpenSaysPermissionDeniedAndCountsAsAccess) {
  fakes::TempDir temp;
  const fs::path node = temp.path() / "hidraw0";
  fakes::WriteFile(node, "");
  fs::permissions(node, fs::perms::owner_read | fs::perms::owner_write);

  // Root opens anything, so the open runs as nobody in a child process.
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    LinuxHidPlatform platform(temp.path().string(), temp.path().string());
    const bool refused = platform.Open(node.string(), false) == kInvalidHandle;
    const SystemError error = platform.LastError();
    std::string answer = (refused && error.accessDenied ? "1" : "0") + error.text;
    // A later failure of another kind no longer counts as refused access.
    platform.Write(Handle{4242}, std::array<std::uint8_t, 2>{0, 1});
    answer += platform.LastError().accessDenied ? " 1" : " 0";
    const bool sent =
        ::write(pipeFds[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
    ::_exit(sent ? 0 : 3);
  }
  ::close(pipeFds[1]);
  std::string answer;
  char chunk[256];
  for (ssize_t got; (got = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
    answer.append(chunk, static_cast<std::size_t>(got));
  ::close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(answer, "1open " + node.string() + ": Permission denied 0");
}

TEST(LinuxHidDiagnosticsTest, TheSysfsEntryIdentifiesANodeWithoutOpeningIt) {
  fakes::TempDir temp;
  SysfsTree tree(temp.path());
  LinuxHidPlatform platform(tree.Class().string(), tree.Dev().string());

  const auto ids = platform.IdentifyUnopened("/no/such/dev/hidraw3");  // only the name counts
  ASSERT_TRUE(ids.has_value());
  EXPECT_EQ(ids->vendorId, 0x0079);
  EXPECT_EQ(ids->productId, 0x0026);

  // The USB device's folder names its port; a root hub's ("usb1") names none.
  EXPECT_EQ(platform.UsbPort(tree.Node()), "1-1");
  fs::rename(tree.UsbDevice() / "idVendor", tree.UsbDevice().parent_path() / "idVendor");
  EXPECT_FALSE(platform.UsbPort(tree.Node()));

  // What a problem report records of it, also unopened.
  fakes::WriteFile(tree.HidDevice() / "report_descriptor", std::string("\x06\x00\xff\x00", 4));
  const InterfaceRecord record = platform.Describe("/no/such/dev/hidraw3");
  EXPECT_EQ(record.bus, 3);
  EXPECT_EQ(record.name, "DragonRise Inc.   Generic   USB  Joystick  ");
  EXPECT_FALSE(record.phys);
  EXPECT_EQ(record.descriptor, (std::vector<std::uint8_t>{0x06, 0x00, 0xff, 0x00}));
  EXPECT_FALSE(platform.Describe(tree.Dev() / "hidraw4").descriptor);

  EXPECT_FALSE(platform.IdentifyUnopened(tree.Dev() / "hidraw4"));   // no sysfs entry
  EXPECT_FALSE(platform.IdentifyUnopened(tree.Dev() / "hidraw03"));  // not a hidraw name
  EXPECT_FALSE(platform.IdentifyUnopened(tree.Dev() / "../hidraw3/x"));
  for (const char* bad :
       {"HID_ID=0003:00000079\n", "HID_ID=0003:00000079:0000002G\n",
        "HID_ID=0003:00010079:00000026\n", "HID_ID=0003::00000026\n", "HID_NAME=x\n", ""}) {
    fakes::WriteFile(tree.HidDevice() / "uevent", bad);
    EXPECT_FALSE(platform.IdentifyUnopened(tree.Node())) << bad;
  }
}

TEST(LinuxHidDiagnosticsTest, TheProductNameIsTheUsbDevicesOwnWithTheRawNameAsFallback) {
  fakes::TempDir temp;
  SysfsTree tree(temp.path());
  LinuxHidPlatform platform(tree.Class().string(), tree.Dev().string());
  const Handle handle = platform.Open(tree.Node(), false);
  ASSERT_TRUE(IsOpen(handle));

  // Not "DragonRise Inc.   Generic   USB  Joystick", as HIDIOCGRAWNAME has it.
  fakes::WriteFile(tree.UsbDevice() / "product", "Generic   USB  Joystick  \n");
  EXPECT_EQ(ProductText(platform, handle), "Generic   USB  Joystick  ");
  EXPECT_TRUE(platform.LastError().text.empty());

  // Without a product attribute (or an empty one) the kernel's name is asked,
  // which this plain file cannot answer.
  fakes::WriteFile(tree.UsbDevice() / "product", "");
  EXPECT_EQ(ProductText(platform, handle), "(failed)");
  fs::remove(tree.UsbDevice() / "product");
  EXPECT_EQ(ProductText(platform, handle), "(failed)");
  EXPECT_EQ(platform.LastError().text,
            "ioctl HIDIOCGRAWNAME " + tree.Node() + ": Inappropriate ioctl for device");

  // A product file of some other level is not the USB device's.
  fakes::WriteFile(tree.HidDevice() / "product", "Not me\n");
  fakes::WriteFile(tree.UsbDevice() / ".." / "product", "Nor me\n");
  EXPECT_EQ(ProductText(platform, handle), "(failed)");
}

}  // namespace
}  // namespace trivexa::hid
