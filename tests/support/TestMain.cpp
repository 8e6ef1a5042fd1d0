// main() of the test executables that need no window.
#include <gtest/gtest.h>

#include "support/TestEnv.h"

int main(int argc, char** argv) {
  testsupport::SetUpProcessEnvironment();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
