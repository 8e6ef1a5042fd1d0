// main() of the order's road: unlike the other window tests, nothing of the layer or the units is
// started here. The test runs the program's own entry point, which starts and ends both; only the
// toolkit's application object exists beforehand, so that the test's driver can keep time in it.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/TestEnv.h"

int main(int argc, char** argv) {
  testsupport::SetUpProcessEnvironment();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
