// The paths the virtual hidraw devices answer for: /dev/hidrawN, the sysfs
// paths mapped into the fixture's tree and back, and the /dev mirror.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "sysfs_tree.h"
#include "vjoy_core.h"
#include "vjoy_state.h"

using namespace vjoy;

extern "C" {

enum vjoy_path_kind vjoy_classify(const char* path, char* out, size_t outSize, unsigned* node) {
  const std::string_view text(path);
  constexpr std::string_view kNode = "/dev/hidraw";
  if (text.starts_with(kNode) && text.size() > kNode.size() &&
      std::all_of(text.begin() + kNode.size(), text.end(),
                  [](char c) { return c >= '0' && c <= '9'; })) {
    *node = static_cast<unsigned>(std::strtoul(path + kNode.size(), nullptr, 10));
    return VJOY_PATH_NODE;
  }
  const std::string charPrefix = "/sys/dev/char/" + std::to_string(kHidrawMajor) + ":";
  bool ours = text.starts_with(charPrefix);
  for (std::string_view prefix : {"/sys/class/hidraw", "/sys/devices/vjoy"}) {
    if (text.starts_with(prefix) && (text.size() == prefix.size() || text[prefix.size()] == '/')) {
      ours = true;
    }
  }
  if (!ours) return VJOY_PATH_OTHER;
  std::string root;
  {
    std::lock_guard lock(g_state->mutex);
    MakeTreeLocked();
    root = g_state->sysRoot;
  }
  const std::string mapped = root + std::string(text.substr(4));
  if (mapped.size() + 1 > outSize) return VJOY_PATH_OTHER;
  std::memcpy(out, mapped.c_str(), mapped.size() + 1);
  return VJOY_PATH_SYSFS;
}

int vjoy_in_tree(const char* path) {
  if (g_state == nullptr) return 0;
  std::lock_guard lock(g_state->mutex);
  const std::string& root = g_state->sysRoot;
  return g_state->treeMade && std::strncmp(path, root.c_str(), root.size()) == 0 &&
                 (path[root.size()] == '/' || path[root.size()] == '\0')
             ? 1
             : 0;
}

void vjoy_unmap(char* path) {
  if (g_state == nullptr || !g_state->treeMade) return;
  const std::string& base = g_state->base;
  if (std::strncmp(path, base.c_str(), base.size()) != 0) return;
  std::memmove(path, path + base.size(), std::strlen(path + base.size()) + 1);
}

int vjoy_dev_mirror(char* out, size_t outSize) {
  std::lock_guard lock(g_state->mutex);
  MakeTreeLocked();
  const std::string folder = DevMirrorLocked();
  if (folder.size() + 1 > outSize) return -1;
  std::memcpy(out, folder.c_str(), folder.size() + 1);
  return 0;
}

int vjoy_present_nodes(unsigned* out, int max) {
  std::lock_guard lock(g_state->mutex);
  int count = 0;
  for (const Device& device : g_state->devices) {
    if (device.present && count < max) out[count++] = device.virtualInterface.number;
  }
  return count;
}

}  // extern "C"
