#include "sysfs_tree.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace vjoy {
namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*X", digits, value);
  return text;
}
std::string LowerHex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*x", digits, value);
  return text;
}

// The USB port the interface hangs on: as the scenario says, or 1-(N+1).
std::string Port(const VirtualInterface& virtualInterface) {
  if (!virtualInterface.port.empty()) return virtualInterface.port;
  return "1-" + std::to_string(virtualInterface.number + 1);
}
std::string UsbFolder(const VirtualInterface& virtualInterface) {
  return "devices/vjoy/usb1/" + Port(virtualInterface);
}
std::string InterfaceFolder(const VirtualInterface& virtualInterface) {
  return UsbFolder(virtualInterface) + "/" + Port(virtualInterface) + ":1.0";
}
std::string HidName(const VirtualInterface& virtualInterface) {
  return Hex(virtualInterface.bus, 4) + ":" + Hex(virtualInterface.vendor, 4) + ":" +
         Hex(virtualInterface.product, 4) + "." + Hex(virtualInterface.number + 1, 4);
}
std::string HidFolder(const VirtualInterface& virtualInterface) {
  return InterfaceFolder(virtualInterface) + "/" + HidName(virtualInterface);
}

// Raw system calls only: the open and write wrappers of the fixture must
// not see its own files.
bool Write(const std::string& path, std::string_view content) {
  const long fd =
      ::syscall(SYS_openat, AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const long written = ::syscall(SYS_write, fd, content.data(), content.size());
  ::syscall(SYS_close, fd);
  return written == static_cast<long>(content.size());
}

bool MakeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::syscall(SYS_mkdirat, AT_FDCWD, prefix.c_str(), 0755) != 0 && errno != EEXIST) {
      return false;
    }
    if (slash == std::string::npos) return true;
  }
}

bool Link(const std::string& target, const std::string& path) {
  ::syscall(SYS_unlinkat, AT_FDCWD, path.c_str(), 0);
  return ::syscall(SYS_symlinkat, target.c_str(), AT_FDCWD, path.c_str()) == 0;
}

// "../" once per folder of `from` below the sysfs root.
std::string UpTo(std::string_view from) {
  std::string up = "../";
  for (char c : from) {
    if (c == '/') up += "../";
  }
  return up;
}

constexpr std::uint16_t kBusUsb = 3;

// The attributes of the USB device and its interface, above the HID device.
bool AddUsbDevice(const std::string& sys, const VirtualInterface& virtualInterface) {
  const std::string k = std::to_string(virtualInterface.number + 1);
  const std::string ids =
      LowerHex(virtualInterface.vendor, 0) + "/" + LowerHex(virtualInterface.product, 0) + "/100";
  const std::string usb = UsbFolder(virtualInterface);
  bool ok = Write(
      sys + usb + "/uevent",
      "MAJOR=189\nMINOR=" + k + "\nDEVNAME=bus/usb/001/" + Hex(virtualInterface.number + 1, 3) +
          "\nDEVTYPE=usb_device\nDRIVER=usb\nPRODUCT=" + ids +
          "\nTYPE=0/0/0\nBUSNUM=001\nDEVNUM=" + Hex(virtualInterface.number + 1, 3) + "\n");
  ok = Write(sys + usb + "/idVendor", LowerHex(virtualInterface.vendor, 4) + "\n") && ok;
  ok = Write(sys + usb + "/idProduct", LowerHex(virtualInterface.product, 4) + "\n") && ok;
  ok = Write(sys + usb + "/bcdDevice", "0100\n") && ok;
  ok = Write(sys + usb + "/product", virtualInterface.name + "\n") && ok;
  ok = Write(sys + usb + "/manufacturer", "vjoy\n") && ok;
  ok = Write(sys + usb + "/busnum", "1\n") && ok;
  ok = Write(sys + usb + "/devnum", k + "\n") && ok;
  ok = Link(UpTo(usb) + "bus/usb", sys + usb + "/subsystem") && ok;
  ok = Link(UpTo(usb) + "bus/usb/drivers/usb", sys + usb + "/driver") && ok;

  const std::string iface = InterfaceFolder(virtualInterface);
  ok =
      Write(sys + iface + "/uevent",
            "DEVTYPE=usb_interface\nDRIVER=usbhid\nPRODUCT=" + ids +
                "\nTYPE=0/0/0\nINTERFACE=3/0/0\nMODALIAS=usb:v" + Hex(virtualInterface.vendor, 4) +
                "p" + Hex(virtualInterface.product, 4) + "d0100dc00dsc00dp00ic03isc00ip00in00\n") &&
      ok;
  ok = Write(sys + iface + "/bInterfaceNumber", "00\n") && ok;
  ok = Write(sys + iface + "/bInterfaceClass", "03\n") && ok;
  ok = Link(UpTo(iface) + "bus/usb", sys + iface + "/subsystem") && ok;
  ok = Link(UpTo(iface) + "bus/usb/drivers/usbhid", sys + iface + "/driver") && ok;
  return ok;
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
  ::syscall(SYS_unlinkat, AT_FDCWD, path, type == FTW_DP ? AT_REMOVEDIR : 0);
  return 0;
}

}  // namespace

std::string NodeFolder(const VirtualInterface& virtualInterface) {
  return HidFolder(virtualInterface) + "/hidraw/hidraw" + std::to_string(virtualInterface.number);
}

bool AddInterface(const std::string& root, const VirtualInterface& virtualInterface) {
  const std::string sys = root + "/";
  const std::string n = std::to_string(virtualInterface.number);
  const std::string k = std::to_string(virtualInterface.number + 1);
  const std::string node = NodeFolder(virtualInterface);
  bool ok = true;
  for (const char* folder : {"class/hidraw", "dev/char", "bus/usb/drivers/usb",
                             "bus/usb/drivers/usbhid", "bus/hid/drivers/hid-generic"}) {
    ok = MakeFolders(sys + folder) && ok;
  }
  ok = MakeFolders(sys + node) && ok;

  // Only a USB device has the USB folders' attributes: on another bus the
  // HID device's parents are plain folders.
  if (virtualInterface.bus == kBusUsb) ok = AddUsbDevice(sys, virtualInterface) && ok;
  const std::string hid = HidFolder(virtualInterface);
  ok = Write(sys + hid + "/uevent",
             "DRIVER=hid-generic\nHID_ID=" + Hex(virtualInterface.bus, 4) + ":" +
                 Hex(virtualInterface.vendor, 8) + ":" + Hex(virtualInterface.product, 8) +
                 "\nHID_NAME=" + virtualInterface.name + "\nHID_PHYS=usb-vjoy-" + k +
                 "/input0\nHID_UNIQ=\nMODALIAS=hid:b" + Hex(virtualInterface.bus, 4) + "g0001v" +
                 Hex(virtualInterface.vendor, 8) + "p" + Hex(virtualInterface.product, 8) + "\n") &&
       ok;
  ok = Write(sys + hid + "/report_descriptor",
             std::string_view(reinterpret_cast<const char*>(virtualInterface.descriptor.data()),
                              virtualInterface.descriptor.size())) &&
       ok;
  ok = Link(UpTo(hid) + "bus/hid", sys + hid + "/subsystem") && ok;
  ok = Link(UpTo(hid) + "bus/hid/drivers/hid-generic", sys + hid + "/driver") && ok;

  ok = Write(sys + node + "/uevent", "MAJOR=" + std::to_string(kHidrawMajor) + "\nMINOR=" + n +
                                         "\nDEVNAME=hidraw" + n + "\n") &&
       ok;
  ok = Write(sys + node + "/dev", std::to_string(kHidrawMajor) + ":" + n + "\n") && ok;
  ok = Link(UpTo(node) + "class/hidraw", sys + node + "/subsystem") && ok;
  ok = Link("../../../" + HidName(virtualInterface), sys + node + "/device") && ok;

  ok = Link("../../" + node, sys + "class/hidraw/hidraw" + n) && ok;
  ok = Link("../../" + node, sys + "dev/char/" + std::to_string(kHidrawMajor) + ":" + n) && ok;
  return ok;
}

void RemoveInterface(const std::string& root, const VirtualInterface& virtualInterface) {
  const std::string n = std::to_string(virtualInterface.number);
  ::syscall(SYS_unlinkat, AT_FDCWD, (root + "/class/hidraw/hidraw" + n).c_str(), 0);
  ::syscall(SYS_unlinkat, AT_FDCWD,
            (root + "/dev/char/" + std::to_string(kHidrawMajor) + ":" + n).c_str(), 0);
  ::nftw((root + "/" + UsbFolder(virtualInterface)).c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void RemoveTree(const std::string& root) {
  ::nftw(root.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace vjoy
