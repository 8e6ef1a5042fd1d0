// The program's windows for the desktop check (run.sh): under a real X server and a window
// manager, the peer opens one window after the other as the customer meets them -- the price-list
// dialog, the main window, a message box, the file dialog, the add-photos dialog, the preview and
// the order dialog -- and for each prints
//   OPEN <name> <X window>
// (the main window's line also names the window the others must be transient for). Then it waits
// for the checker's commands, one a line, on its standard input:
//   SHOT <x> <y> <width> <height> <file>
//                saves that part of the screen (the window with the window manager's frame around
//                it, which only the checker knows) as a PNG
//   NEXT         closes the window the way the customer does, and opens the next one
// It prints DONE after the last window and ends at the end of its input. Nothing here waits for a
// time: each step waits for the state it needs, looked at from a timer of the toolkit.
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/dialogs/DialogsFixture.h"
#include "app/uDlgAdd.h"
#include "app/uDlgDownload.h"
#include "app/uDlgPreview.h"
#include "app/uDlgUpload.h"
#include "app/uFormMain.h"
#include "app/uProgram.h"
#include "order/uLists.h"
#include "platform/classlib/Dialogs.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/Units.h"
#include "platform/user/Window_p.h"
#include "platform/user/guimain/GuiTest.h"
#include "support/TestEnv.h"

namespace {

using namespace app;
using namespace pf;

// One window of the road: how it opens (posted, so that a modal one runs its loop inside the
// current one), how to find its widget once it shows, and how the customer closes it (answers
// false while the window is not ready to be closed yet; none for the main window, which stays).
struct TWindowStep {
  std::string Name;
  std::function<void()> Open;
  std::function<QWidget*()> Find;
  std::function<bool(QWidget*)> Close;
};

TMain* gMain = nullptr;

QWidget* Shown(HWND h) { return h && IsWindowVisible(h) ? layer::WidgetOf(h) : nullptr; }

QWidget* ShownForm(const String& name) {
  if (!Screen) return nullptr;
  for (Integer i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->GetName() == name && f->HandleAllocated()) {
      if (QWidget* w = Shown(f->Handle())) return w;
    }
  }
  return nullptr;
}

template <class T>
T* FormOf(QWidget* w) {
  return dynamic_cast<T*>(FindControl(layer::HandleOf(w)));
}

bool CloseBox(QWidget* w) {
  PostMessage(layer::HandleOf(w), WM_CLOSE, 0, 0);
  return true;
}

class TPeer {
public:
  explicit TPeer(std::vector<TWindowStep> steps) : FSteps(std::move(steps)) {
    QObject::connect(&FInput, &QSocketNotifier::activated, [this] { ReadInput(); });
    QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
    FTimer.start(10);
  }
  // The checker has nothing more to say.
  bool Finished() const { return FEnd; }

private:
  enum class TState { Idle, Opening, Shown, Closing };

  void ReadInput() {
    char buf[4096];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
      FEnd = true;
      FInput.setEnabled(false);
      return;
    }
    FPending.append(buf, static_cast<size_t>(n));
    for (size_t eol; (eol = FPending.find('\n')) != std::string::npos;) {
      FCommands.push_back(FPending.substr(0, eol));
      FPending.erase(0, eol + 1);
    }
  }

  void Tick() {
    if (FPosted || FStep >= FSteps.size()) return;
    TWindowStep& step = FSteps[FStep];
    switch (FState) {
      case TState::Idle:
        FState = TState::Opening;
        FReturned = false;
        Post([this, &step] {
          step.Open();
          FReturned = true;
        });
        break;
      case TState::Opening:
        if ((FWindow = step.Find())) {
          std::printf("OPEN %s 0x%lx\n", step.Name.c_str(), static_cast<unsigned long>(FWindow->winId()));
          std::fflush(stdout);
          FState = TState::Shown;
        }
        break;
      case TState::Shown:
        if (FCommands.empty()) break;
        if (FCommands.front().rfind("SHOT ", 0) == 0) {
          Shot(FCommands.front().substr(5));
        } else if (FCommands.front() == "NEXT") {
          FState = TState::Closing;
        }
        FCommands.erase(FCommands.begin());
        break;
      case TState::Closing:
        // A modal window is gone when the work that opened it has returned.
        if (step.Close && !FClosed && FWindow && FWindow->isVisible()) {
          Post([this, &step] { FClosed = step.Close(FWindow); });
        } else if (FReturned && (!step.Close || FClosed)) {
          FState = TState::Idle;
          FClosed = false;
          if (++FStep == FSteps.size()) {
            std::printf("DONE\n");
            std::fflush(stdout);
          }
        }
        break;
    }
  }

  void Post(std::function<void()> work) {
    FPosted = true;
    guitest::PostWork([this, work = std::move(work)] {
      FPosted = false;
      work();
    });
  }

  void Shot(const std::string& request) {
    int x = 0, y = 0, width = 0, height = 0, used = 0;
    const bool read = std::sscanf(request.c_str(), "%d %d %d %d %n", &x, &y, &width, &height, &used) == 4 &&
                      width > 0 && height > 0 && request[static_cast<size_t>(used)] != '\0';
    const std::string file = read ? request.substr(static_cast<size_t>(used)) : request;
    bool saved = false;
    if (read) {
      const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, x, y, width, height);
      saved = shot.save(QString::fromStdString(file));
    }
    std::printf("SHOT %s %s\n", saved ? "saved" : "failed", file.c_str());
    std::fflush(stdout);
  }

  std::vector<TWindowStep> FSteps;
  size_t FStep{0};
  TState FState{TState::Idle};
  QPointer<QWidget> FWindow;
  bool FPosted{false};
  bool FReturned{false};
  bool FClosed{false};
  bool FEnd{false};
  std::string FPending;
  std::vector<std::string> FCommands;
  QSocketNotifier FInput{STDIN_FILENO, QSocketNotifier::Read};
  QTimer FTimer;
};

std::vector<TWindowStep> Road(const std::vector<std::string>& photos) {
  return {
      // The price list cannot be had (nothing listens at the lab's address): the dialog stays,
      // as it does for a customer without a connection.
      {"download",
       [] {
         Owned<TDlgDownload> dialog(TDlgDownload::New(Application));
         dialog->Execute();
       },
       [] { return ShownForm(u"DlgDownload"); }, CloseBox},
      {"main",
       [] {
         Application->CreateForm(gMain);
         gMain->Show();
       },
       [] { return gMain && gMain->HandleAllocated() ? Shown(gMain->Handle()) : nullptr; },
       nullptr},
      // The order with no photo yet: the program says so in a message box.
      {"message", [] { gMain->ActUpload->Execute(); }, [] { return Shown(pf::testing::OpenMessageBox()); }, CloseBox},
      // The toolkit's own file dialog, which the customer leaves with Cancel.
      {"open", [] { gMain->ActAddFoto->Execute(); },
       []() -> QWidget* {
         for (QWidget* w : QApplication::topLevelWidgets())
           if (w->objectName() == QLatin1String("DlgOpen") && w->isVisible()) return w;
         return nullptr;
       },
       [](QWidget* w) {
         static_cast<QDialog*>(w)->reject();
         return true;
       }},
      {"add",
       [photos] {
         pf::testing::SetOpenDialogHook([photos](const pf::testing::TOpenDialogRequest&, std::vector<String>& chosen, Integer&) {
           for (const std::string& p : photos) chosen.push_back(Utf8ToString(p));
           return true;
         });
         gMain->ActAddFoto->Execute();
       },
       [] { return ShownForm(u"DlgAdd"); },
       // The photos go into the order once their check has ended, as the customer's "Добавить".
       [](QWidget* w) {
         TDlgAdd* dlg = FormOf<TDlgAdd>(w);
         if (!dlg || !dlg->ActAdd->GetEnabled()) return false;
         dlg->ActAdd->Execute();
         return true;
       }},
      {"preview", [] { gMain->btnEnlargeClick(gMain); }, [] { return ShownForm(u"DlgPreview"); }, CloseBox},
      {"order", [] { gMain->ActUpload->Execute(); }, [] { return ShownForm(u"DlgUpload"); }, CloseBox},
  };
}

}  // namespace

int main(int argc, char** argv) {
  testsupport::SetUpProcessEnvironment();
  // Nothing answers here: the price-list dialog reports the failed download and stays open.
  setenv("PHOTO_ORDER_LAB_URL", "http://127.0.0.1:9", 1);
  StartLayer(argc, argv);
  RegisterProgramUnits();
  InitializeUnits();
  Application->Initialize();
  dlgtest::SetUpPriceList();
  const auto dir = testsupport::MakeTempDir("photos");
  // Photos small enough that the preview leaves some of the main window to click on.
  const std::vector<std::string> photos{dlgtest::WritePhoto(dir, "лето.jpg", 480, 320),
                                        dlgtest::WritePhoto(dir, "море.png", 300, 450)};
  // Any order is large enough to be made.
  order::MinPrice = 0;
  {
    TPeer peer(Road(photos));
    while (!peer.Finished() && !Application->Terminated()) Application->HandleMessage();
  }
  pf::testing::SetOpenDialogHook(nullptr);
  dlgtest::ResetPriceList();
  FinalizeUnits();
  FinishLayer();
  return 0;
}
