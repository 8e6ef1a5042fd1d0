// The class library's unit joins the program's units before they start, and the application is
// initialised after them, as the program's main does. The common library's own units are started
// by the tests that need them, so that its start-up can be tested too.
#include "platform/classlib/Forms.h"
#include "platform/user/guimain/GuiTest.h"

namespace {
struct Start {
  Start() {
    guitest::OnStage(guitest::Stage::BeforeUnits, [] { pf::RegisterClassLibUnits(); });
    guitest::OnStage(guitest::Stage::AfterUnits, [] { pf::Application->Initialize(); });
  }
} gStart;
}  // namespace
