// The program's units (the list view's and the photo items' among them) start before the tests,
// as in the program.
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
