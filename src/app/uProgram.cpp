#include "app/uProgram.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "app/uDlgDownload.h"
#include "app/uDlgUpdate.h"
#include "app/uFormMain.h"
#include "app/uItems.h"
#include "listview/EmberControl.h"
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
constexpr int ListviewUnits = 250;

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
  // The list view after the common and shell libraries it builds on; its streams then know the
  // photo items by name.
  RegisterUnit(ListviewUnits, "EmberListview",
               [] {
                 ember::InitializeEmberListview();
                 RegisterItemClasses();
               },
               ember::FinalizeEmberListview);
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
  // A price list whose every city or every print size is invalid leaves nothing to order: the
  // program ends there, quietly, without its main window.
  if (order::Cities()->Count() == 0 || order::PhotoSizes()->Count() == 0) return 0;
  TMain* Main = nullptr;
  Application->CreateForm(Main);
  Application->Run();
  FreeAndNil(Main);
  return 0;
}

namespace {

// The desktop's per-user runtime folder. A session without one (a plain su, a virtual display
// started by hand) makes the toolkit warn on every start; the program takes the folder the
// toolkit would fall back to, made private to the user, before the toolkit starts.
void EnsureRuntimeFolder() {
  const char* set = std::getenv("XDG_RUNTIME_DIR");
  if (set && *set) return;
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/runtime-" + std::to_string(getuid());
  struct stat st {};
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
  // Only a folder of our own that nobody else can enter will do.
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return;
  if ((st.st_mode & 0777) != 0700 && chmod(folder.c_str(), 0700) != 0) return;
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

}  // namespace

int RunProgram(int argc, char** argv) {
  SetCommandLine(argc, argv);
  EnsureRuntimeFolder();
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
