// Run from a copy placed in a folder of the test's choosing: saves the
// settings beside itself and prints the folder it found, byte for byte.
#include <cstdio>
#include <string>

#include "settings/program_folder.h"
#include "settings/settings_store.h"

int main() {
  using namespace trivexa::settings;
  SaveSettings({8, 10, 5, 4}, ExecutableFolder);
  const std::string folder = ExecutableFolder().native();
  return std::fwrite(folder.data(), 1, folder.size(), stdout) == folder.size() ? 0 : 1;
}
