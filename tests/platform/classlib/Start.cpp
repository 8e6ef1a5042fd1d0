// The class library's unit joins the program's units before they start, and the application is
// initialised after them, as the program's main does.
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
