// main() of the test executables that need windows: the layer starts as it does in the program
// (the toolkit's application object, then the units), on the offscreen platform.
#include <gtest/gtest.h>

#include "platform/rtl/Units.h"
#include "platform/user/User.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

int main(int argc, char** argv) {
  testsupport::SetUpProcessEnvironment();
  ::testing::InitGoogleTest(&argc, argv);
  pf::StartLayer(argc, argv);
  guitest::RunStage(guitest::Stage::BeforeUnits);
  pf::InitializeUnits();
  guitest::RunStage(guitest::Stage::AfterUnits);
  int rc = RUN_ALL_TESTS();
  guitest::RunStage(guitest::Stage::BeforeFinish);
  pf::FinalizeUnits();
  pf::FinishLayer();
  return rc;
}
