// The default window procedure, the end of every procedure chain. For standard controls it hands
// the toolkit's original event to the widget, so a subclassed control still behaves natively.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QWheelEvent>

#include <utility>

#include "platform/user/Layer_p.h"

namespace pf {

namespace {

bool IsKeyMessage(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }
bool IsMouseMessage(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MOUSELAST; }

bool KeyAsksForContextMenu(UINT msg, WPARAM w) {
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) return w == static_cast<WPARAM>(VK_F10) && GetKeyState(VK_SHIFT) < 0;
  if (msg == WM_KEYUP || msg == WM_SYSKEYUP) return w == static_cast<WPARAM>(VK_APPS);
  return false;
}

// What a key or a WM_CHAR types into a standard control, as into the platform's edit: every
// character but the control characters, so also format characters (joiners, variation selectors)
// and surrogate pairs, which the toolkit does not call printable. A tab counts: as on the
// platform, the Tab key types into an edit control only through its WM_CHAR, never through the
// key itself as well.
bool IsText(const QString& t) {
  return !t.isEmpty() && (t.at(0) == u'\t' || t.at(0).category() != QChar::Other_Control);
}

// The text a WM_CHAR types. A character beyond the basic plane comes as two WM_CHARs, one per
// UTF-16 unit, as the platform posts them: the high half waits for the low one and the two type
// one character. A half without its partner types nothing.
QString TypedText(TWindowObj* wnd, WPARAM w) {
  const auto unit = static_cast<char16_t>(w);
  const char16_t high = std::exchange(wnd->PendingHighSurrogate, char16_t{0});
  if (QChar::isHighSurrogate(unit)) {
    wnd->PendingHighSurrogate = unit;
    return {};
  }
  if (QChar::isLowSurrogate(unit)) {
    if (!high) return {};
    const QChar pair[] = {QChar(high), QChar(unit)};
    return QString(pair, 2);
  }
  const QString text(1, QChar(unit));
  return IsText(text) ? text : QString();
}

bool DeliverOriginal(TWindowObj* wnd, UINT msg, WPARAM w);

// Input of a widget placed inside a custom window goes back to that widget.
bool DeliverToInner(TWindowObj* wnd, UINT msg, WPARAM w) {
  if (wnd->IsNative()) return false;
  layer::TDispatchFrame* f = layer::TopFrame();
  if (!f || !f->Extra || !f->Extra->Receiver || f->Extra->Receiver == wnd->Widget.data()) return false;
  return DeliverOriginal(wnd, msg, w);
}

Qt::KeyboardModifiers ModifiersNow() {
  Qt::KeyboardModifiers m;
  if (GetKeyState(VK_SHIFT) < 0) m |= Qt::ShiftModifier;
  if (GetKeyState(VK_CONTROL) < 0) m |= Qt::ControlModifier;
  if (GetKeyState(VK_MENU) < 0) m |= Qt::AltModifier;
  return m;
}

QKeyEvent CharKeyEvent(const QString& text) {
  const auto key = static_cast<int>(QChar::toUpper(text.toUcs4().constFirst()));
  return QKeyEvent(QEvent::KeyPress, key, ModifiersNow() & ~Qt::ControlModifier, text);
}

// Hands the event the message was made from to the widget, once. A hook that changed the key
// of a key message gets the synthesised event for its key instead.
bool DeliverOriginal(TWindowObj* wnd, UINT msg, WPARAM w) {
  layer::TDispatchFrame* f = layer::TopFrame();
  if (!f || !f->Extra || !f->Extra->Native) return false;
  if (f->Msg.hwnd != wnd->Handle() || f->Msg.message != msg) return false;
  if (IsKeyMessage(msg) && f->Msg.wParam != w) return false;
  std::unique_ptr<QEvent> e = std::move(f->Extra->Native);
  if (msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN) {
    // A key that types a character reaches the widget as WM_CHAR, after TranslateMessage, so that
    // a hook can change or swallow the character.
    if (IsText(static_cast<QKeyEvent*>(e.get())->text()) &&
        !(static_cast<QKeyEvent*>(e.get())->modifiers() & Qt::ControlModifier))
      return true;
  }
  QObject* receiver = f->Extra->Receiver ? f->Extra->Receiver.data() : wnd->Widget.data();
  layer::DeliverNative(receiver, e.get());
  return true;
}

void SynthesizeKey(TWindowObj* wnd, UINT msg, WPARAM w) {
  if (!wnd->Widget) return;
  if (msg == WM_CHAR) {
    const QString text = TypedText(wnd, w);
    if (text.isEmpty()) return;
    QKeyEvent e = CharKeyEvent(text);
    layer::DeliverNative(wnd->Widget, &e);
    return;
  }
  bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
  if (!down && msg != WM_KEYUP && msg != WM_SYSKEYUP) return;
  int key = layer::QtKeyOf(static_cast<int>(w));
  if (key == Qt::Key_unknown) return;
  QString text;
  if (key == Qt::Key_Return) text = QStringLiteral("\r");
  else if (key == Qt::Key_Escape) text = QString(QChar(0x1B));
  else if (key == Qt::Key_Backspace) text = QString(QChar(0x08));
  else if (key == Qt::Key_Tab) text = QStringLiteral("\t");
  QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, key, ModifiersNow(), text);
  layer::DeliverNative(wnd->Widget, &e);
}

void SynthesizeCharTo(TWindowObj* wnd, QWidget* target, WPARAM w) {
  const QString text = TypedText(wnd, w);
  if (text.isEmpty()) return;
  QKeyEvent e = CharKeyEvent(text);
  layer::DeliverNative(target, &e);
}

void SynthesizeMouse(TWindowObj* wnd, UINT msg, WPARAM w, LPARAM l) {
  if (!wnd->Widget) return;
  QEvent::Type type;
  Qt::MouseButton button = Qt::NoButton;
  switch (msg) {
    case WM_MOUSEMOVE: type = QEvent::MouseMove; break;
    case WM_LBUTTONDOWN: type = QEvent::MouseButtonPress; button = Qt::LeftButton; break;
    case WM_LBUTTONUP: type = QEvent::MouseButtonRelease; button = Qt::LeftButton; break;
    case WM_LBUTTONDBLCLK: type = QEvent::MouseButtonDblClick; button = Qt::LeftButton; break;
    case WM_RBUTTONDOWN: type = QEvent::MouseButtonPress; button = Qt::RightButton; break;
    case WM_RBUTTONUP: type = QEvent::MouseButtonRelease; button = Qt::RightButton; break;
    case WM_MBUTTONDOWN: type = QEvent::MouseButtonPress; button = Qt::MiddleButton; break;
    case WM_MBUTTONUP: type = QEvent::MouseButtonRelease; button = Qt::MiddleButton; break;
    default: return;
  }
  Qt::MouseButtons buttons;
  if (w & MK_LBUTTON) buttons |= Qt::LeftButton;
  if (w & MK_RBUTTON) buttons |= Qt::RightButton;
  if (w & MK_MBUTTON) buttons |= Qt::MiddleButton;
  Qt::KeyboardModifiers mods;
  if (w & MK_SHIFT) mods |= Qt::ShiftModifier;
  if (w & MK_CONTROL) mods |= Qt::ControlModifier;
  QPointF local(GET_X_LPARAM(l), GET_Y_LPARAM(l));
  QPointF global = wnd->Widget->mapToGlobal(local);
  QMouseEvent e(type, local, local, global, button, buttons, mods);
  layer::DeliverNative(wnd->Widget, &e);
}

void NcCalc(DWORD s, DWORD exStyle, bool child, bool native, TRect& r) {
  auto inset = [&r](int l, int t, int rr, int b) {
    r.Left += l;
    r.Top += t;
    r.Right -= rr;
    r.Bottom -= b;
  };
  if (!child) {
    // Top-level frames are drawn by the desktop; the layer keeps the platform's sizes so that a
    // form's outer size and client size relate as the program's layouts expect.
    int frame = 0;
    if (s & WS_THICKFRAME) frame = kSizingFrame;
    else if ((s & WS_CAPTION) == WS_CAPTION || (s & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
      frame = GetSystemMetrics(SM_CXDLGFRAME);
    else if (s & WS_BORDER) frame = 1;
    int caption = (s & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
    inset(frame, frame + caption, frame, frame);
    return;
  }
  if (native) return;  // the widget draws its own frame
  if (s & WS_BORDER) inset(1, 1, 1, 1);
  if (exStyle & WS_EX_CLIENTEDGE) inset(2, 2, 2, 2);
  if (s & WS_VSCROLL) {
    if (exStyle & WS_EX_LEFTSCROLLBAR) inset(GetSystemMetrics(SM_CXVSCROLL), 0, 0, 0);
    else inset(0, 0, GetSystemMetrics(SM_CXVSCROLL), 0);
  }
  if (s & WS_HSCROLL) inset(0, 0, 0, GetSystemMetrics(SM_CYHSCROLL));
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
}

void DefaultNcCalcSize(TWindowObj* wnd, NCCALCSIZE_PARAMS* p) {
  if (p) NcCalc(wnd->Style, wnd->ExStyle, wnd->IsChild(), wnd->IsNative(), p->rgrc[0]);
}

LRESULT HitTest(HWND h, LPARAM l) {
  TPoint p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
  TRect w;
  GetWindowRect(h, &w);
  if (p.X < w.Left || p.X >= w.Right || p.Y < w.Top || p.Y >= w.Bottom) return HTNOWHERE;
  TPoint c = p;
  ScreenToClient(h, &c);
  TRect cr;
  GetClientRect(h, &cr);
  if (c.X >= 0 && c.Y >= 0 && c.X < cr.Right && c.Y < cr.Bottom) return HTCLIENT;
  TWindowObj* wnd = layer::Find(h);
  if (!wnd->IsChild() && c.Y < 0 && c.X >= 0 && c.X < cr.Right) return HTCAPTION;
  TPoint wp{p.X - w.Left, p.Y - w.Top};
  auto in = [&wp](const TRect& r) { return wp.X >= r.Left && wp.X < r.Right && wp.Y >= r.Top && wp.Y < r.Bottom; };
  if (in(layer::ScrollBarRect(wnd, SB_VERT))) return HTVSCROLL;
  if (in(layer::ScrollBarRect(wnd, SB_HORZ))) return HTHSCROLL;
  return HTBORDER;
}

// The default answer to WM_SETCURSOR for the window the pointer is over (wParam); other windows
// asked on a child's behalf leave it to the child.
LRESULT SetCursorFor(TWindowObj* wnd, WPARAM w, LPARAM l) {
  if (reinterpret_cast<HWND>(w) != wnd->Handle()) return 0;
  LRESULT hit = static_cast<int16_t>(LOWORD(l));
  switch (hit) {
    case HTCLIENT:
      if (!wnd->Class || !wnd->Class->Cursor) return 0;
      SetCursor(wnd->Class->Cursor);
      return 1;
    case HTERROR: {
      UINT mouse = HIWORD(l);
      if (mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN || mouse == WM_MBUTTONDOWN) MessageBeep(0);
      return 0;
    }
    case HTLEFT:
    case HTRIGHT: SetCursor(LoadCursor(IDC_SIZEWE)); return 1;
    case HTTOP:
    case HTBOTTOM: SetCursor(LoadCursor(IDC_SIZENS)); return 1;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: SetCursor(LoadCursor(IDC_SIZENWSE)); return 1;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: SetCursor(LoadCursor(IDC_SIZENESW)); return 1;
    default: SetCursor(LoadCursor(IDC_ARROW)); return 1;
  }
}

// The keys a standard control keeps from the dialog's navigation; a self-drawn window keeps none
// unless its procedure says so.
LRESULT DialogCode(const TWindowObj* wnd) {
  switch (wnd->Kind) {
    case TWindowKind::Edit: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case TWindowKind::Memo: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | DLGC_WANTALLKEYS;
    case TWindowKind::Button:
      return DLGC_BUTTON | ((wnd->Style & 0xF) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case TWindowKind::CheckBox: return DLGC_BUTTON;
    case TWindowKind::Static: return DLGC_STATIC;
    case TWindowKind::Custom: return 0;
  }
  return 0;
}

String WidgetText(TWindowObj* wnd) {
  QWidget* w = wnd->Widget;
  if (!w) return wnd->Text;
  switch (wnd->Kind) {
    case TWindowKind::Edit: return FromQ(static_cast<QLineEdit*>(w)->text());
    case TWindowKind::Memo: return FromQ(static_cast<QPlainTextEdit*>(w)->toPlainText());
    case TWindowKind::Button:
    case TWindowKind::CheckBox: return FromQ(static_cast<QAbstractButton*>(w)->text());
    case TWindowKind::Static: return FromQ(static_cast<QLabel*>(w)->text());
    case TWindowKind::Custom: return wnd->Text;
  }
  return wnd->Text;
}

void SetWidgetText(TWindowObj* wnd, const String& text) {
  wnd->Text = text;
  QWidget* w = wnd->Widget;
  if (!w) return;
  switch (wnd->Kind) {
    case TWindowKind::Edit: static_cast<QLineEdit*>(w)->setText(Q(text)); break;
    case TWindowKind::Memo: static_cast<QPlainTextEdit*>(w)->setPlainText(Q(text)); break;
    case TWindowKind::Button:
    case TWindowKind::CheckBox: static_cast<QAbstractButton*>(w)->setText(Q(text)); break;
    case TWindowKind::Static: static_cast<QLabel*>(w)->setText(Q(text)); break;
    case TWindowKind::Custom: break;
  }
  if (!wnd->IsChild()) w->setWindowTitle(Q(text));
}

}  // namespace

bool AdjustWindowRectEx(TRect* r, DWORD style, bool /*menu*/, DWORD exStyle) {
  if (!r) return false;
  TRect probe{0, 0, 1000, 1000};
  NcCalc(style, exStyle, (style & WS_CHILD) != 0, false, probe);
  r->Left -= probe.Left;
  r->Top -= probe.Top;
  r->Right += 1000 - probe.Right;
  r->Bottom += 1000 - probe.Bottom;
  return true;
}

LRESULT DefWindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd) return 0;
  switch (msg) {
    case WM_NCCREATE:
      return 1;
    case WM_NCCALCSIZE:
      DefaultNcCalcSize(wnd, reinterpret_cast<NCCALCSIZE_PARAMS*>(l));
      return 0;
    case WM_NCHITTEST:
      return HitTest(h, l);
    case WM_WINDOWPOSCHANGING: {
      // A sizable top-level window keeps within its track sizes, however it is sized.
      auto* pos = reinterpret_cast<WINDOWPOS*>(l);
      if (!pos || (pos->flags & SWP_NOSIZE) || wnd->IsChild() || !(wnd->Style & WS_THICKFRAME)) return 0;
      const MINMAXINFO mm = layer::MinMaxInfo(wnd);
      pos->cx = std::max<int>(std::min<int>(pos->cx, mm.ptMaxTrackSize.X), mm.ptMinTrackSize.X);
      pos->cy = std::max<int>(std::min<int>(pos->cy, mm.ptMaxTrackSize.Y), mm.ptMinTrackSize.Y);
      return 0;
    }
    case WM_GETMINMAXINFO:
      return 0;
    case WM_WINDOWPOSCHANGED: {
      // The client area's new place and size, as WM_MOVE (its top-left in the parent's client
      // coordinates) and WM_SIZE.
      auto* pos = reinterpret_cast<const WINDOWPOS*>(l);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOCLIENTMOVE)) {
        TPoint o{wnd->Rect.Left + wnd->NcInsets.Left, wnd->Rect.Top + wnd->NcInsets.Top};
        SendMessage(h, WM_MOVE, 0, MAKELPARAM(o.X, o.Y));
      }
      if (!(pos->flags & SWP_NOCLIENTSIZE) && IsWindow(h)) {
        TRect c = wnd->ClientRect();
        SendMessage(h, WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.Width(), c.Height()));
      }
      return 0;
    }
    case WM_GETDLGCODE:
      return DialogCode(wnd);
    case WM_PAINT:
      if (wnd->IsNative()) {
        ValidateRect(h, nullptr);
      } else {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        EndPaint(h, &ps);
      }
      return 0;
    case WM_NCPAINT:
      wnd->FrameDirty = false;
      layer::PaintDefaultFrame(h);
      return 0;
    case WM_ERASEBKGND:
      // With the class's background brush (a dialog box's button face); a class without one
      // leaves the background to the program.
      if (wnd->Class && wnd->Class->Background && w) {
        TRect c = wnd->ClientRect();
        FillRect(reinterpret_cast<HDC>(w), &c, wnd->Class->Background);
        return 1;
      }
      return 0;
    case WM_SETCURSOR:
      // The parent decides first (except over a sizing border); then the window whose cursor it
      // is shows its class cursor over the client area, the arrow or a sizing shape elsewhere.
      if (wnd->IsChild() && wnd->Parent && (static_cast<int16_t>(LOWORD(l)) < HTLEFT ||
                                            static_cast<int16_t>(LOWORD(l)) > HTBOTTOMRIGHT)) {
        if (SendMessage(wnd->Parent->Handle(), WM_SETCURSOR, w, l)) return 1;
        if (!IsWindow(h)) return 1;
      }
      return SetCursorFor(wnd, w, l);
    case WM_CLOSE:
      DestroyWindow(h);
      return 0;
    case WM_SYSCOMMAND:
      if ((w & 0xFFF0) == SC_CLOSE) SendMessage(h, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETTEXT:
      SetWidgetText(wnd, l ? String(reinterpret_cast<const Char*>(l)) : String());
      return 1;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(WidgetText(wnd).size());
    case WM_GETTEXT: {
      if (!l || w == 0) return 0;
      String t = WidgetText(wnd);
      size_t n = std::min<size_t>(t.size(), w - 1);
      Char* buf = reinterpret_cast<Char*>(l);
      std::copy(t.begin(), t.begin() + static_cast<ptrdiff_t>(n), buf);
      buf[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_CONTEXTMENU:
      if (wnd->IsChild() && wnd->Parent) return SendMessage(wnd->Parent->Handle(), WM_CONTEXTMENU, w, l);
      return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      if (wnd->IsNative() && DeliverOriginal(wnd, msg, w)) return 0;
      if (DeliverToInner(wnd, msg, w)) return 0;
      if (wnd->IsChild() && wnd->Parent) return SendMessage(wnd->Parent->Handle(), msg, w, l);
      return 0;
    case WM_RBUTTONUP: {
      if (wnd->IsNative() && !DeliverOriginal(wnd, msg, w)) SynthesizeMouse(wnd, msg, w, l);
      DeliverToInner(wnd, msg, w);
      if (!IsWindow(h)) return 0;
      TPoint p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
      ClientToScreen(h, &p);
      SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), MAKELPARAM(p.X, p.Y));
      return 0;
    }
    case WM_CHAR:
      if (wnd->IsNative()) {
        SynthesizeKey(wnd, msg, w);
      } else if (QWidget* f = QApplication::focusWidget(); f && wnd->Widget && wnd->Widget->isAncestorOf(f)) {
        // A widget placed inside the custom window types the character.
        SynthesizeCharTo(wnd, f, w);
      }
      return 0;
    case WM_MOUSEACTIVATE:
      // A child asks its parent, up to the top-level window; a press on a caption does not
      // activate (the move or size that follows does).
      if (wnd->IsChild() && wnd->Parent) {
        if (LRESULT r = SendMessage(wnd->Parent->Handle(), WM_MOUSEACTIVATE, w, l)) return r;
      }
      return HIWORD(l) == WM_LBUTTONDOWN && static_cast<int16_t>(LOWORD(l)) == HTCAPTION ? MA_NOACTIVATE
                                                                                         : MA_ACTIVATE;
    case WM_NCLBUTTONDOWN:
      if (w == static_cast<WPARAM>(HTVSCROLL) || w == static_cast<WPARAM>(HTHSCROLL))
        layer::TrackScrollBar(h, w == static_cast<WPARAM>(HTVSCROLL) ? SB_VERT : SB_HORZ,
                              TPoint{GET_X_LPARAM(l), GET_Y_LPARAM(l)});
      return 0;
    case BM_CLICK:
      if (auto* b = qobject_cast<QAbstractButton*>(wnd->Widget.data())) b->click();
      return 0;
    case BM_GETCHECK:
      if (auto* b = qobject_cast<QAbstractButton*>(wnd->Widget.data())) return b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
      return 0;
    case BM_SETCHECK:
      if (auto* b = qobject_cast<QAbstractButton*>(wnd->Widget.data())) b->setChecked(w == BST_CHECKED);
      return 0;
    case EM_SETSEL:
      if (auto* e = qobject_cast<QLineEdit*>(wnd->Widget.data())) {
        int len = static_cast<int>(e->text().size());
        int a = static_cast<int>(static_cast<intptr_t>(w)), b = static_cast<int>(l);
        if (a < 0) {
          e->deselect();
        } else {
          if (b < 0 || b > len) b = len;
          e->setSelection(a, b - a);
        }
      } else if (auto* m = qobject_cast<QPlainTextEdit*>(wnd->Widget.data())) {
        QTextCursor c = m->textCursor();
        const int len = static_cast<int>(m->toPlainText().size());
        int a = static_cast<int>(static_cast<intptr_t>(w)), b = static_cast<int>(l);
        if (a < 0) {
          c.clearSelection();
        } else {
          if (b < 0 || b > len) b = len;
          a = std::min(a, len);
          c.setPosition(a);
          c.setPosition(b, QTextCursor::KeepAnchor);
        }
        m->setTextCursor(c);
      }
      return 0;
    case EM_REPLACESEL: {
      const QString text = l ? Q(String(reinterpret_cast<const Char*>(l))) : QString();
      if (auto* e = qobject_cast<QLineEdit*>(wnd->Widget.data())) {
        e->insert(text);
      } else if (auto* m = qobject_cast<QPlainTextEdit*>(wnd->Widget.data())) {
        QTextCursor c = m->textCursor();
        c.insertText(text);
        m->setTextCursor(c);
        m->ensureCursorVisible();
      }
      return 0;
    }
    case EM_LINEINDEX: {
      const int line = static_cast<int>(static_cast<intptr_t>(w));
      if (auto* m = qobject_cast<QPlainTextEdit*>(wnd->Widget.data())) {
        const QTextBlock block = line < 0 ? m->textCursor().block() : m->document()->findBlockByNumber(line);
        return block.isValid() ? block.position() : -1;
      }
      if (qobject_cast<QLineEdit*>(wnd->Widget.data())) return line <= 0 ? 0 : -1;
      return -1;
    }
    case EM_SCROLLCARET:
      if (auto* m = qobject_cast<QPlainTextEdit*>(wnd->Widget.data())) m->ensureCursorVisible();
      return 1;
    case EM_LIMITTEXT:
      if (auto* e = qobject_cast<QLineEdit*>(wnd->Widget.data())) e->setMaxLength(w ? static_cast<int>(w) : 32767);
      return 0;
    case EM_SETREADONLY:
      layer::SetEditReadOnly(wnd->Widget.data(), w != 0);
      if (w) wnd->Style |= ES_READONLY; else wnd->Style &= ~ES_READONLY;
      return 1;
    default:
      break;
  }
  if (wnd->IsNative() && (IsKeyMessage(msg) || IsMouseMessage(msg))) {
    if (!DeliverOriginal(wnd, msg, w)) {
      if (IsKeyMessage(msg)) SynthesizeKey(wnd, msg, w);
      else SynthesizeMouse(wnd, msg, w, l);
    }
    // A standard control that takes the focus on a click takes it here, in its own handling of
    // the press, as the platform's controls do.
    if ((msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) && IsWindow(h) && layer::TakesFocusOnClick(wnd) &&
        IsWindowEnabled(h) && GetFocus() != h)
      SetFocus(h);
  } else if (IsKeyMessage(msg) || IsMouseMessage(msg)) {
    DeliverToInner(wnd, msg, w);
  }
  // The keyboard's context menu, as the platform's default procedure makes it: Shift+F10 as it
  // goes down, the menu key as it comes up; the point (-1, -1) says "from the keyboard".
  if (KeyAsksForContextMenu(msg, w) && IsWindow(h))
    SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), MAKELPARAM(-1, -1));
  return 0;
}

}  // namespace pf
