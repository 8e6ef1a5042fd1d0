// The program's units join before the test main starts them, and the application is initialised
// after them, as the program's main does.
#include "app/uProgram.h"
#include "platform/classlib/Forms.h"
#include "platform/user/guimain/GuiTest.h"

namespace {
struct Start {
  Start() {
    guitest::OnStage(guitest::Stage::BeforeUnits, [] { app::RegisterProgramUnits(); });
    guitest::OnStage(guitest::Stage::AfterUnits, [] { pf::Application->Initialize(); });
  }
} gStart;
}  // namespace
