// Message boxes built from layer windows (a caption, an icon, the text, the buttons) and run by a
// layer loop of their own, as the platform's are.

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>

#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

struct TBoxButton {
  int Id;
  const char16_t* Caption;
  const char* Name;
};

// The captions of the platform's buttons in the program's language.
const TBoxButton kOk{IDOK, u"ОК", "OK"};
const TBoxButton kCancel{IDCANCEL, u"Отмена", "Cancel"};
const TBoxButton kAbort{IDABORT, u"Прервать", "Abort"};
const TBoxButton kRetry{IDRETRY, u"Повторить", "Retry"};
const TBoxButton kIgnore{IDIGNORE, u"Пропустить", "Ignore"};
const TBoxButton kYes{IDYES, u"Да", "Yes"};
const TBoxButton kNo{IDNO, u"Нет", "No"};

std::vector<TBoxButton> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {kOk, kCancel};
    case MB_ABORTRETRYIGNORE: return {kAbort, kRetry, kIgnore};
    case MB_YESNOCANCEL: return {kYes, kNo, kCancel};
    case MB_YESNO: return {kYes, kNo};
    case MB_RETRYCANCEL: return {kRetry, kCancel};
    default: return {kOk};
  }
}

// What Esc and the close box answer: Cancel when there is one, OK for a lone OK, else nothing.
int EscapeAnswer(const std::vector<TBoxButton>& buttons) {
  for (const TBoxButton& b : buttons)
    if (b.Id == IDCANCEL) return IDCANCEL;
  if (buttons.size() == 1 && buttons[0].Id == IDOK) return IDOK;
  return 0;
}

std::function<int(const testing::TMessageBoxRequest&)> gHook;
std::vector<testing::TMessageBoxRequest> gLog;
HWND gOpenBox = nullptr;

QStyle::StandardPixmap IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QStyle::SP_MessageBoxCritical;
    case MB_ICONQUESTION: return QStyle::SP_MessageBoxQuestion;
    case MB_ICONEXCLAMATION: return QStyle::SP_MessageBoxWarning;
    case MB_ICONASTERISK: return QStyle::SP_MessageBoxInformation;
    default: return QStyle::SP_CustomBase;
  }
}

}  // namespace

int MessageBox(HWND owner, StringView text, StringView caption, UINT type) {
  Assert(IsGuiThread(), u"MessageBox called outside the GUI thread");
  testing::TMessageBoxRequest request{owner, String(text), String(caption), type};
  gLog.push_back(request);
  if (gHook) {
    if (int answer = gHook(request)) return answer;
  }

  std::vector<TBoxButton> buttons = ButtonsOf(type);
  int escape = EscapeAnswer(buttons);
  size_t defIndex = std::min<size_t>((type & MB_DEFMASK) >> 8, buttons.size() - 1);

  // Layout in the box's font: icon, text wrapped at 400 pixels, buttons centred below.
  QFontMetrics fm(QApplication::font());
  QRect textRect = fm.boundingRect(QRect(0, 0, 400, 10000), Qt::TextWordWrap, Q(text));
  bool hasIcon = IconOf(type) != QStyle::SP_CustomBase;
  const int margin = 12, iconSize = 32, buttonW = 75, buttonH = 23, gap = 6;
  int textLeft = margin + (hasIcon ? iconSize + margin : 0);
  int contentH = std::max(textRect.height(), hasIcon ? iconSize : 0);
  int buttonsW = static_cast<int>(buttons.size()) * buttonW + static_cast<int>(buttons.size() - 1) * gap;
  int clientW = std::max(textLeft + textRect.width() + margin, buttonsW + 2 * margin);
  int clientH = margin + contentH + margin + buttonH + margin;

  int result = 0;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  TRect outer{0, 0, clientW, clientH};
  AdjustWindowRectEx(&outer, style, false, WS_EX_DLGMODALFRAME);
  // Centred over the owner's window, or the screen without one.
  TRect around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner && IsWindow(owner)) GetWindowRect(owner, &around);
  int x = std::max(0, around.Left + (around.Width() - outer.Width()) / 2);
  int y = std::max(0, around.Top + (around.Height() - outer.Height()) / 2);

  HWND box = CreateWindowEx(WS_EX_DLGMODALFRAME, u"#32770", caption, style, x, y, outer.Width(), outer.Height(),
                            owner && IsWindow(owner) ? owner : nullptr,
                            [&result, escape](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                              if (m == WM_COMMAND && HIWORD(w) == BN_CLICKED) {
                                result = LOWORD(w);
                                return 0;
                              }
                              if (m == WM_CLOSE) {
                                if (escape) result = escape;
                                return 0;
                              }
                              return DefWindowProc(h, m, w, l);
                            });
  if (!box) return 0;
  if (QWidget* w = layer::WidgetOf(box)) w->setObjectName(QStringLiteral("MessageBox"));
  if (hasIcon) {
    HWND icon = CreateWindowEx(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, margin, margin, iconSize, iconSize, box);
    if (auto* l = qobject_cast<QLabel*>(layer::WidgetOf(icon)))
      l->setPixmap(QApplication::style()->standardIcon(IconOf(type)).pixmap(iconSize, iconSize));
  }
  HWND label = CreateWindowEx(0, u"STATIC", text, WS_CHILD | WS_VISIBLE, textLeft, margin, textRect.width() + 1,
                              contentH, box);
  if (auto* l = qobject_cast<QLabel*>(layer::WidgetOf(label))) {
    l->setWordWrap(true);
    l->setObjectName(QStringLiteral("Text"));
  }
  std::vector<HWND> buttonWnds;
  int bx = (clientW - buttonsW) / 2, by = clientH - margin - buttonH;
  for (size_t i = 0; i < buttons.size(); ++i) {
    DWORD bs = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND b = CreateWindowEx(0, u"BUTTON", buttons[i].Caption, bs, bx, by, buttonW, buttonH, box, {}, 0, buttons[i].Id);
    if (QWidget* w = layer::WidgetOf(b)) w->setObjectName(QString::fromLatin1(buttons[i].Name));
    buttonWnds.push_back(b);
    bx += buttonW + gap;
  }

  // The owner's top-level window waits while the box is up.
  HWND ownerTop = owner;
  while (ownerTop && (GetWindowLongPtr(ownerTop, GWL_STYLE) & WS_CHILD)) ownerTop = GetParent(ownerTop);
  bool ownerWasEnabled = ownerTop && IsWindowEnabled(ownerTop);
  if (ownerWasEnabled) EnableWindow(ownerTop, false);
  HWND previousBox = gOpenBox;
  gOpenBox = box;
  ShowWindow(box, SW_SHOW);
  SetFocus(buttonWnds[defIndex]);

  bool quit = false;
  int quitCode = 0;
  MSG msg;
  while (result == 0 && IsWindow(box)) {
    if (!GetMessage(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      result = escape ? escape : buttons[defIndex].Id;
      break;
    }
    bool inBox = msg.hwnd == box || IsChild(box, msg.hwnd);
    if (inBox && msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
      if (msg.wParam == VK_ESCAPE) {
        if (escape) result = escape;
      } else {
        HWND focused = GetFocus();
        auto it = std::find(buttonWnds.begin(), buttonWnds.end(), focused);
        result = buttons[it == buttonWnds.end() ? defIndex : static_cast<size_t>(it - buttonWnds.begin())].Id;
      }
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }

  gOpenBox = previousBox;
  if (ownerWasEnabled && IsWindow(ownerTop)) EnableWindow(ownerTop, true);
  if (IsWindow(box)) DestroyWindow(box);
  if (ownerTop && IsWindow(ownerTop)) SetActiveWindow(ownerTop);
  // A quit that ended the box still ends the loop that called it.
  if (quit) PostQuitMessage(quitCode);
  return result;
}

namespace testing {

void SetMessageBoxHook(std::function<int(const TMessageBoxRequest&)> hook) { gHook = std::move(hook); }
const std::vector<TMessageBoxRequest>& MessageBoxLog() { return gLog; }
void ClearMessageBoxLog() { gLog.clear(); }
HWND OpenMessageBox() { return gOpenBox && IsWindow(gOpenBox) ? gOpenBox : nullptr; }

}  // namespace testing

}  // namespace pf
