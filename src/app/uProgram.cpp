#include "app/uProgram.h"

#include "app/uDlgDownload.h"
#include "app/uDlgUpdate.h"
#include "app/uFormMain.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "orderui/uListsUI.h"
#include "orderui/uUtilsUI.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Units.h"
#include "shell/ShellUnits.h"

namespace app {

namespace {

// Unit order: the class library's forms (10) come first; the order core's after them, with the
// warning picture.
constexpr int OrderCoreUnits = 100;

// Finalises the units however the main block ends.
class TUnitsGuard {
public:
  TUnitsGuard() { InitializeUnits(); }
  ~TUnitsGuard() {
    try {
      FinalizeUnits();
    } catch (...) {
      // Nothing may leave a destructor; a unit that fails to shut down still lets the program end.
    }
  }
  TUnitsGuard(const TUnitsGuard&) = delete;
  TUnitsGuard& operator=(const TUnitsGuard&) = delete;
};

TDownloadResult RunDownloadDialog() {
  Owned<TDlgDownload> dialog(TDlgDownload::New(Application));
  return dialog->Execute();
}

void RunUpdateDialog() {
  Owned<TDlgUpdate> dialog(TDlgUpdate::New(Application));
  dialog->ShowModal();
}

}  // namespace

void RegisterProgramUnits() {
  RegisterClassLibUnits();
  // The common library's units, then the shell library's special folders, which use their item ID
  // list tests.
  shell::RegisterShellUnits();
  RegisterUnit(OrderCoreUnits, "uLists", order::uLists::Initialize, order::uLists::Finalize);
  order::uListsUI::Register();
}

int ProgramMain() {
  // The customer's folder is named by the first argument: a bad one is refused before anything
  // touches the disk.
  String profileError = order::ProfileArgumentError();
  if (!profileError.empty()) {
    order::ShowError(profileError);
    return 2;
  }
  TUnitsGuard units;
  Application->Initialize();
  Application->MainFormOnTaskBar = true;
  switch (RunDownloadDialog()) {
    case drClose:
      return 0;
    case drUpdate:
      RunUpdateDialog();
      return 0;
    case drProcess:
      break;
  }
  // A price list without a valid city or print size leaves nothing to order: the program ends.
  if (order::Cities()->Count() == 0 || order::PhotoSizes()->Count() == 0) return 0;
  TMain* Main = nullptr;
  Application->CreateForm(Main);
  Application->Run();
  FreeAndNil(Main);
  return 0;
}

int RunProgram(int argc, char** argv) {
  SetCommandLine(argc, argv);
  StartLayer(argc, argv);
  RegisterProgramUnits();
  int rc = 0;
  try {
    rc = ProgramMain();
  } catch (const std::exception& e) {
    // Nothing reaches here but a failure of the start-up itself.
    order::ShowError(Utf8ToString(e.what()));
    rc = 1;
  }
  FinishLayer();
  return rc;
}

}  // namespace app
