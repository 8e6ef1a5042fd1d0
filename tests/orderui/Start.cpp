// The class library's unit and the warning picture's join the units before the test main starts
// them.
#include "orderui/uListsUI.h"
#include "platform/classlib/Forms.h"
#include "platform/user/guimain/GuiTest.h"

namespace {
struct Start {
  Start() {
    guitest::OnStage(guitest::Stage::BeforeUnits, [] {
      pf::RegisterClassLibUnits();
      order::uListsUI::Register();
    });
    guitest::OnStage(guitest::Stage::AfterUnits, [] { pf::Application->Initialize(); });
  }
} gStart;
}  // namespace
