// main() of the thumbnail drawing tests: the toolkit's application object on the offscreen
// platform, which the canvas needs, without the window layer.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "support/TestEnv.h"

int main(int argc, char** argv) {
  testsupport::SetUpProcessEnvironment();
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
