// Run from a copy placed in a folder of the test's choosing: saves the
// settings beside itself and prints the folder it found, byte for byte.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "settings/program_folder.h"
#include "settings/settings_store.h"

int main() {
  using namespace trivexa::settings;
  if (!SaveSettings({8, 10, 5, 4}, ExecutableFolder).saved) return 2;
  const auto folder = ExecutableFolder().native();
#ifdef _WIN32
  // UTF-16 code units, untouched by the text mode's line-end translation.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return std::fwrite(folder.data(), sizeof folder[0], folder.size(), stdout) == folder.size() ? 0
                                                                                              : 1;
}
