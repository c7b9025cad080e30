#include <gtest/gtest.h>

#include <cstring>

#include "e2e/window_child.h"

int main(int argc, char* argv[]) {
  // The window tests start this same program as their child.
  if (argc > 1 && std::strcmp(argv[1], "window-child") == 0) {
    return trivexa::e2e::RunWindowChild(argc, argv);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
