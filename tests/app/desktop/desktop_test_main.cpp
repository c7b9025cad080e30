#include <gtest/gtest.h>

#include <QCoreApplication>

// The plumbing's tests need Qt's event loop, but no display.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
