// Makes the raw calls a program makes on hidraw, one per argument, and
// prints one line per call, for the fixture's own tests:
//   vjoy_probe "ls /sys/class/hidraw" "open 0 /dev/hidraw1 nb" "info 0" ...
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string ErrorName(int error) {
  const char* name = ::strerrorname_np(error);
  return name != nullptr ? name : "errno" + std::to_string(error);
}

std::string Err() { return "err=" + ErrorName(errno); }

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  std::string text;
  char pair[3];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(pair, sizeof(pair), "%02x", bytes[i]);
    text += pair;
  }
  return text;
}

std::vector<std::uint8_t> Bytes(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Kind(mode_t mode, dev_t rdev) {
  if (S_ISCHR(mode))
    return "chr " + std::to_string(major(rdev)) + ":" + std::to_string(minor(rdev));
  if (S_ISDIR(mode)) return "dir";
  if (S_ISLNK(mode)) return "lnk";
  if (S_ISREG(mode)) return "reg";
  return "other";
}

// What Wine's HID bus asks libudev about a node: the device of a device
// number, its node, and its hid and usb parents' properties and attributes.
// libudev is loaded at run time, so the probe builds without its headers.
std::string Udev(const std::string& devnum) {
  void* library = ::dlopen("libudev.so.1", RTLD_NOW);
  if (library == nullptr) return "no libudev";
  auto symbol = [&](const char* name) { return ::dlsym(library, name); };
  using New = void* (*)();
  using FromDevnum = void* (*)(void*, char, dev_t);
  using Text = const char* (*)(void*);
  using Parent = void* (*)(void*, const char*, const char*);
  using Value = const char* (*)(void*, const char*);
  const auto udevNew = reinterpret_cast<New>(symbol("udev_new"));
  const auto fromDevnum = reinterpret_cast<FromDevnum>(symbol("udev_device_new_from_devnum"));
  const auto syspath = reinterpret_cast<Text>(symbol("udev_device_get_syspath"));
  const auto devnode = reinterpret_cast<Text>(symbol("udev_device_get_devnode"));
  const auto parent =
      reinterpret_cast<Parent>(symbol("udev_device_get_parent_with_subsystem_devtype"));
  const auto property = reinterpret_cast<Value>(symbol("udev_device_get_property_value"));
  const auto sysattr = reinterpret_cast<Value>(symbol("udev_device_get_sysattr_value"));
  const std::size_t colon = devnum.find(':');
  const auto major = static_cast<unsigned>(std::stoul(devnum.substr(0, colon)));
  const auto minor = static_cast<unsigned>(std::stoul(devnum.substr(colon + 1)));
  void* device = fromDevnum(udevNew(), 'c', makedev(major, minor));
  if (device == nullptr) return Err();
  auto text = [](const char* value) { return std::string(value != nullptr ? value : "(null)"); };
  std::string answer = text(syspath(device)) + " " + text(devnode(device));
  void* hid = parent(device, "hid", nullptr);
  answer += hid == nullptr
                ? " no-hid"
                : " " + text(property(hid, "HID_ID")) + " " + text(property(hid, "HID_NAME"));
  void* usb = parent(device, "usb", "usb_device");
  answer += usb == nullptr
                ? " no-usb"
                : " " + text(sysattr(usb, "idVendor")) + " " + text(sysattr(usb, "idProduct")) +
                      " " + text(sysattr(usb, "product"));
  return answer;
}

std::string Run(const std::vector<std::string>& words, std::map<int, int>& slots) {
  const std::string& verb = words[0];
  auto arg = [&](std::size_t i) { return i < words.size() ? words[i] : std::string(); };
  auto slot = [&] { return slots.count(std::stoi(arg(1))) ? slots[std::stoi(arg(1))] : -1; };
  if (verb == "ls") {
    DIR* dir = ::opendir(arg(1).c_str());
    if (dir == nullptr) return Err();
    std::vector<std::string> names;
    // An optional second word keeps only the names that start with it.
    const std::string prefix = arg(2);
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name[0] != '.' && name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
  }
  if (verb == "cat" || verb == "hexcat") {
    FILE* file = std::fopen(arg(1).c_str(), "rb");
    if (file == nullptr) return Err();
    std::string content;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof(buffer), file)) > 0;) {
      content.append(buffer, got);
    }
    std::fclose(file);
    if (verb == "hexcat") {
      return Hex(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    }
    std::replace(content.begin(), content.end(), '\n', '|');
    return content;
  }
  if (verb == "readlink") {
    char target[PATH_MAX];
    const ssize_t got = ::readlink(arg(1).c_str(), target, sizeof(target) - 1);
    if (got < 0) return Err();
    return std::string(target, static_cast<std::size_t>(got));
  }
  if (verb == "realpath") {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(arg(1).c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : Err();
  }
  if (verb == "stat" || verb == "lstat") {
    struct stat status {};
    const int result =
        verb == "stat" ? ::stat(arg(1).c_str(), &status) : ::lstat(arg(1).c_str(), &status);
    return result != 0 ? Err() : Kind(status.st_mode, status.st_rdev);
  }
  if (verb == "access") return ::access(arg(1).c_str(), R_OK | W_OK) == 0 ? "ok" : Err();
  if (verb == "open") {
    int flags = O_RDWR | O_CLOEXEC;
    for (std::size_t i = 3; i < words.size(); ++i) {
      if (words[i] == "nb") flags |= O_NONBLOCK;
      if (words[i] == "ro") flags = (flags & ~O_ACCMODE) | O_RDONLY;
      if (words[i] == "wo") flags = (flags & ~O_ACCMODE) | O_WRONLY;
    }
    const int fd = ::open(arg(2).c_str(), flags);
    if (fd < 0) return Err();
    slots[std::stoi(arg(1))] = fd;
    return "ok";
  }
  if (verb == "fstat") {
    struct stat status {};
    return ::fstat(slot(), &status) != 0 ? Err() : Kind(status.st_mode, status.st_rdev);
  }
  if (verb == "info") {
    hidraw_devinfo info{};
    if (::ioctl(slot(), HIDIOCGRAWINFO, &info) != 0) return Err();
    char text[64];
    std::snprintf(text, sizeof(text), "bus=%u vendor=%04x product=%04x", info.bustype,
                  static_cast<unsigned>(info.vendor) & 0xFFFF,
                  static_cast<unsigned>(info.product) & 0xFFFF);
    return text;
  }
  if (verb == "name") {
    char name[256];
    std::memset(name, 'X', sizeof(name));
    const unsigned length = words.size() > 2 ? static_cast<unsigned>(std::stoul(arg(2))) : 256;
    const int got = ::ioctl(slot(), HIDIOCGRAWNAME(length), name);
    if (got < 0) return Err();
    std::string text(name, static_cast<std::size_t>(got));
    if (!text.empty() && text.back() == '\0') text.replace(text.size() - 1, 1, "<nul>");
    return std::to_string(got) + " " + text;
  }
  if (verb == "desc") {
    int size = 0;
    if (::ioctl(slot(), HIDIOCGRDESCSIZE, &size) != 0) return Err();
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = static_cast<std::uint32_t>(size);
    if (::ioctl(slot(), HIDIOCGRDESC, descriptor.get()) != 0) return Err();
    return std::to_string(size) + " " + Hex(descriptor->value, static_cast<std::size_t>(size));
  }
  if (verb == "write") {
    std::vector<std::uint8_t> bytes = Bytes(arg(2));
    if (words.size() > 3) bytes.resize(std::stoul(arg(3)), 0);
    const ssize_t written = ::write(slot(), bytes.data(), bytes.size());
    return written < 0 ? Err() : std::to_string(written);
  }
  if (verb == "read") {
    std::vector<std::uint8_t> buffer(words.size() > 2 ? std::stoul(arg(2)) : 64);
    const ssize_t got = ::read(slot(), buffer.data(), buffer.size());
    return got < 0 ? Err() : Hex(buffer.data(), static_cast<std::size_t>(got));
  }
  if (verb == "poll") {
    pollfd poller{slot(), POLLIN, 0};
    const int ready = ::poll(&poller, 1, std::stoi(arg(2)));
    if (ready < 0) return Err();
    std::string text;
    if (poller.revents & POLLIN) text += " IN";
    if (poller.revents & POLLERR) text += " ERR";
    if (poller.revents & POLLHUP) text += " HUP";
    return text.empty() ? "none" : text.substr(1);
  }
  if (verb == "drain") {  // reads until nothing is queued; gives the count
    int count = 0;
    std::uint8_t buffer[64];
    for (pollfd poller{slot(), POLLIN, 0};
         ::poll(&poller, 1, 0) > 0 && (poller.revents & POLLIN);) {
      if (::read(slot(), buffer, sizeof(buffer)) <= 0) break;
      ++count;
    }
    return std::to_string(count);
  }
  if (verb == "watchdev") {  // an inotify watch on /dev, as Wine's HID bus keeps
    static const int watcher = ::inotify_init1(IN_CLOEXEC);
    slots[-1] = watcher;
    return ::inotify_add_watch(watcher, "/dev", IN_CREATE | IN_DELETE) >= 0 ? "ok" : Err();
  }
  if (verb == "devevents") {  // what the watch saw within MS: "delete hidraw1 create ..."
    std::string seen;
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stoi(arg(1)));
    alignas(inotify_event) char buffer[4096];
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now()) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
      pollfd poller{slots[-1], POLLIN, 0};
      if (::poll(&poller, 1, static_cast<int>(left.count()) + 1) <= 0) continue;
      const ssize_t got = ::read(slots[-1], buffer, sizeof(buffer));
      for (ssize_t at = 0; got > 0 && at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (!seen.empty()) seen += ' ';
        seen += std::string(event->mask & IN_DELETE ? "delete " : "create ") + event->name;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return seen.empty() ? "none" : seen;
  }
  if (verb == "udev") return Udev(arg(1));
  if (verb == "sleep") {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(arg(1))));
    return "ok";
  }
  if (verb == "close") {
    const int fd = slot();
    slots.erase(std::stoi(arg(1)));
    return ::close(fd) == 0 ? "ok" : Err();
  }
  return "unknown command";
}

}  // namespace

int main(int argc, char* argv[]) {
  std::map<int, int> slots;
  for (int i = 1; i < argc; ++i) {
    std::istringstream line(argv[i]);
    std::vector<std::string> words;
    for (std::string word; line >> word;) words.push_back(word);
    if (words.empty()) continue;
    std::printf("%s: %s\n", argv[i], Run(words, slots).c_str());
    std::fflush(stdout);
  }
  return 0;
}
