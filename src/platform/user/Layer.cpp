// The layer's start-up and tear-down, the paint cycle's bookkeeping, key translation and system
// metrics.

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QScreen>
#include <QTranslator>

#include <optional>
#include <thread>
#include <vector>

#include "platform/gdi/Gdi_p.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Threads.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

// Held by a plain pointer, not a static owner: when the display goes away (its X server ended,
// say by the Ctrl+C that ends a virtual display) the toolkit ends the process with exit(), and a
// static owner would then destroy the application under windows that still live, which crashes.
// FinishLayer deletes it on every ordinary way out.
QApplication* gOwnApp = nullptr;
std::thread::id gGuiThread;
bool gStarted = false;

// The characters a key makes when its message did not come from the keyboard (a program or test
// posted it): letters follow Shift, as the platform's keyboard layout does for Latin keys.
String CharsOfKey(const MSG& m) {
  if (m.Extra && m.Extra->Native) {
    auto* ke = dynamic_cast<QKeyEvent*>(m.Extra->Native.get());
    if (ke) {
      return FromQ(ke->text());
    }
  }
  int vk = static_cast<int>(m.wParam);
  bool shift = GetKeyState(VK_SHIFT) < 0;
  if (GetKeyState(VK_CONTROL) < 0) {
    if (vk >= 'A' && vk <= 'Z') return String(1, static_cast<Char>(vk - 'A' + 1));
    return {};
  }
  if (vk >= 'A' && vk <= 'Z') return String(1, static_cast<Char>(shift ? vk : vk + 32));
  if (vk >= '0' && vk <= '9' && !shift) return String(1, static_cast<Char>(vk));
  // The keypad types its own characters, whatever Shift says.
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return String(1, static_cast<Char>(u'0' + (vk - VK_NUMPAD0)));
  switch (vk) {
    case VK_SPACE: return u" ";
    case VK_RETURN: return u"\r";
    case VK_BACK: return u"\b";
    case VK_TAB: return u"\t";
    case VK_ESCAPE: return u"\x1b";
    case VK_ADD: return u"+";
    case VK_SUBTRACT: return u"-";
    case VK_MULTIPLY: return u"*";
    case VK_DIVIDE: return u"/";
    case VK_DECIMAL: return u".";
    default: return {};
  }
}

}  // namespace

namespace layer {

void LoadTranslations(const QLocale& locale) {
  // Held by the application object, which frees it when the layer ends.
  static QPointer<QTranslator> current;
  if (current) {
    QCoreApplication::removeTranslator(current);
    delete current.data();
  }
  auto* t = new QTranslator(QCoreApplication::instance());
  if (t->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
              QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(t)) {
    current = t;
  } else {
    delete t;
  }
}

std::vector<void (*)()>& StartHooks() {
  static std::vector<void (*)()> hooks;
  return hooks;
}
void OnLayerStart(void (*hook)()) {
  StartHooks().push_back(hook);
  if (gStarted) hook();
}
}  // namespace layer

bool IsGuiThread() { return gStarted && std::this_thread::get_id() == gGuiThread; }
bool LayerStarted() { return gStarted; }

void StartLayer(int& argc, char** argv) {
  if (gStarted) return;
  if (!QApplication::instance()) gOwnApp = new QApplication(argc, argv);
  // One face for the canvas and the standard controls: the forms' default font.
  QFont font(gdi::UiFamily());
  font.setPixelSize(11);
  QApplication::setFont(font);
  layer::LoadTranslations(QLocale::system());
  QApplication::setDoubleClickInterval(static_cast<int>(GetDoubleClickTime()));
  QApplication::setStartDragDistance(GetSystemMetrics(SM_CXDRAG));
  gGuiThread = std::this_thread::get_id();
  TThread::SetMainThread();
  gStarted = true;
  layer::RegisterSystemClasses();
  layer::StartQueue();
  layer::StartInput();
  for (void (*hook)() : layer::StartHooks()) hook();
}

void FinishLayer() {
  if (!gStarted) return;
  layer::DestroyAllWindows();
  layer::FinishInput();
  layer::FinishQueue();
  layer::DropClasses();
  gStarted = false;
  delete gOwnApp;
  gOwnApp = nullptr;
}

bool TranslateMessage(const MSG* msg) {
  if (!msg) return false;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return false;
  String chars = CharsOfKey(*msg);
  if (chars.empty()) return false;
  UINT charMsg = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  for (Char c : chars) PostMessage(msg->hwnd, charMsg, static_cast<WPARAM>(c), msg->lParam);
  return true;
}

namespace {
constexpr int kMaxUpdateRects = 32;
}  // namespace

bool InvalidateRect(HWND h, const TRect* r, bool erase) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  if (w->IsNative()) {
    if (w->Widget) w->Widget->update();
    return true;
  }
  TRect c = w->ClientRect();
  QRegion add = r ? QRegion(Q(*r)).intersected(Q(c)) : QRegion(Q(c));
  if (add.isEmpty()) return true;
  w->Update += add;
  // Selecting every item of a long list invalidates each cell: a region of thousands of
  // rectangles costs more to build and walk than repainting their bounds.
  if (w->Update.rectCount() > kMaxUpdateRects) w->Update = QRegion(w->Update.boundingRect());
  if (erase) w->EraseBackground = true;
  return true;
}

bool ValidateRect(HWND h, const TRect* r) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  if (r)
    w->Update -= QRegion(Q(*r));
  else
    w->Update = QRegion();
  if (w->Update.isEmpty()) w->EraseBackground = false;
  return true;
}

bool GetUpdateRect(HWND h, TRect* r, bool /*erase*/) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  if (r) *r = FromQ(w->Update.boundingRect());
  return !w->Update.isEmpty();
}

bool UpdateWindow(HWND h) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  if ((!w->Update.isEmpty() || w->FramePaint) && IsWindowVisible(h)) {
    SendMessage(h, WM_PAINT, 0, 0);
    if (TWindowObj* still = layer::Find(h)) still->FramePaint = false;
  }
  return true;
}

bool RedrawWindow(HWND h, const TRect* r, UINT flags) {
  TWindowObj* w = layer::Find(h);
  if (!w) return false;
  if ((flags & RDW_FRAME) && (flags & RDW_INVALIDATE) && !w->IsNative()) {
    w->FrameDirty = true;
    w->FramePaint = true;
  }
  if (flags & RDW_INVALIDATE) InvalidateRect(h, r, (flags & RDW_ERASE) != 0);
  if (flags & RDW_VALIDATE) ValidateRect(h, r);
  if (flags & RDW_ALLCHILDREN) {
    for (TWindowObj* c : std::vector<TWindowObj*>(w->Children))
      if (c->IsChild()) RedrawWindow(c->Handle(), nullptr, flags & ~(RDW_UPDATENOW | RDW_ERASENOW));
  }
  if ((flags & RDW_ERASENOW) && IsWindowVisible(h)) layer::EraseNow(h);
  if ((flags & RDW_ALLCHILDREN) && (flags & RDW_ERASENOW) && layer::Find(h)) {
    for (TWindowObj* c : std::vector<TWindowObj*>(w->Children))
      if (c->IsChild() && IsWindowVisible(c->Handle())) layer::EraseNow(c->Handle());
  }
  if ((flags & RDW_UPDATENOW) && layer::Find(h)) UpdateWindow(h);
  return true;
}

unsigned GetDoubleClickTime() { return 500; }

namespace {
// Settings a program or test changed for this run; the rest come from the desktop.
struct TSettings {
  std::optional<UINT> WheelLines;
  UINT HoverTime{400};  // the platform's defaults
  UINT HoverWidth{4};
  UINT HoverHeight{4};
  std::optional<TRect> WorkArea;  // set by SPI_SETWORKAREA; the screen's otherwise
};
TSettings gSettings;
}  // namespace

bool SystemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT /*winIni*/) {
  auto put = [pvParam](UINT v) {
    if (!pvParam) return false;
    *static_cast<UINT*>(pvParam) = v;
    return true;
  };
  switch (action) {
    case SPI_GETWHEELSCROLLLINES: {
      if (gSettings.WheelLines && *gSettings.WheelLines == WHEEL_PAGESCROLL) return put(WHEEL_PAGESCROLL);
      int lines = gSettings.WheelLines ? static_cast<int>(*gSettings.WheelLines)
                                       : QApplication::instance() ? QApplication::wheelScrollLines() : 3;
      return put(static_cast<UINT>(std::max(1, lines)));
    }
    case SPI_SETWHEELSCROLLLINES:
      // A page per notch stays what it is; a line count is at least one.
      gSettings.WheelLines = uiParam == WHEEL_PAGESCROLL ? uiParam : std::max<UINT>(1, uiParam);
      return true;
    case SPI_GETMOUSEHOVERTIME: return put(gSettings.HoverTime);
    case SPI_GETMOUSEHOVERWIDTH: return put(gSettings.HoverWidth);
    case SPI_GETMOUSEHOVERHEIGHT: return put(gSettings.HoverHeight);
    case SPI_SETMOUSEHOVERTIME:
      gSettings.HoverTime = std::max<UINT>(10, uiParam);
      return true;
    case SPI_SETMOUSEHOVERWIDTH:
      gSettings.HoverWidth = std::max<UINT>(1, uiParam);
      return true;
    case SPI_SETMOUSEHOVERHEIGHT:
      gSettings.HoverHeight = std::max<UINT>(1, uiParam);
      return true;
    case SPI_SETWORKAREA:
      if (!pvParam) return false;
      gSettings.WorkArea = *static_cast<const TRect*>(pvParam);
      return true;
    case SPI_GETWORKAREA: {
      if (gSettings.WorkArea && pvParam) {
        *static_cast<TRect*>(pvParam) = *gSettings.WorkArea;
        return true;
      }
      QScreen* screen = QGuiApplication::instance() ? QGuiApplication::primaryScreen() : nullptr;
      if (!screen || !pvParam) return false;
      *static_cast<TRect*>(pvParam) = FromQ(screen->availableGeometry());
      return true;
    }
    default:
      return false;
  }
}

namespace testing {
void ResetSystemParameters() { gSettings = TSettings{}; }
}  // namespace testing

bool MessageBeep(UINT /*type*/) {
  if (QApplication::instance()) QApplication::beep();
  return true;
}

}  // namespace pf
