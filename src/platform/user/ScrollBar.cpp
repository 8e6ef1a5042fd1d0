// A window's own scroll bars: state, geometry and painting with the toolkit's style, and the
// platform's tracking loop.

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include "platform/gdi/Gdi_p.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

constexpr UINT_PTR kTrackTimer = 0xFFFE;
constexpr UINT kFirstRepeatMs = 400;
constexpr UINT kRepeatMs = 50;
constexpr int kBandRows = 95, kBandMargin = 2;

bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

DWORD StyleBit(int bar) { return bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL; }

int MaxPos(const TScrollState& s) {
  int maxPos = s.Max - std::max(static_cast<int>(s.Page) - 1, 0);
  return std::max(maxPos, s.Min);
}

// Whether the range holds more than one page: a bar that cannot move is useless.
bool Needed(const TScrollState& s) {
  if (s.Max <= s.Min) return false;
  return s.Page == 0 || static_cast<int64_t>(s.Max) - s.Min + 1 > static_cast<int64_t>(s.Page);
}

QStyleOptionSlider OptionFor(TWindowObj* wnd, int bar, const TRect& r) {
  const TScrollState& s = wnd->Scroll[bar];
  QStyleOptionSlider opt;
  opt.rect = QRect(0, 0, r.Width(), r.Height());
  opt.orientation = bar == SB_VERT ? Qt::Vertical : Qt::Horizontal;
  opt.minimum = s.Min;
  opt.maximum = MaxPos(s);
  opt.pageStep = std::max(1, static_cast<int>(s.Page));
  opt.singleStep = 1;
  opt.sliderPosition = s.Tracking ? s.TrackPos : s.Pos;
  opt.sliderValue = opt.sliderPosition;
  opt.upsideDown = false;
  opt.subControls = QStyle::SC_All;
  opt.activeSubControls = QStyle::SC_None;
  opt.state = QStyle::State_None;
  if (!s.Disabled && Needed(s) && !(wnd->Style & WS_DISABLED)) opt.state |= QStyle::State_Enabled;
  if (bar == SB_HORZ) opt.state |= QStyle::State_Horizontal;
  return opt;
}

TPoint ToWindow(HWND h, TPoint screen) {
  TRect w;
  GetWindowRect(h, &w);
  return TPoint{screen.X - w.Left, screen.Y - w.Top};
}

void Repaint(TWindowObj* wnd, int bar = SB_BOTH) {
  if (wnd->Widget && IsWindowVisible(wnd->Handle())) layer::PaintScrollBars(wnd, bar);
}

// What a bar shows, tracking aside.
bool SameLook(const TScrollState& a, const TScrollState& b) {
  return a.Min == b.Min && a.Max == b.Max && a.Page == b.Page && a.Pos == b.Pos && a.Disabled == b.Disabled;
}

}  // namespace

namespace layer {

TRect ScrollBarRect(TWindowObj* wnd, int bar) {
  if (!ValidBar(bar) || !(wnd->Style & StyleBit(bar)) || !wnd->IsChild() || wnd->IsNative()) return {};
  TPoint o = wnd->SurfaceClientOrigin();
  TRect c = wnd->ClientRect();
  int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  if (bar == SB_VERT) {
    int x = (wnd->ExStyle & WS_EX_LEFTSCROLLBAR) ? o.X - cx : o.X + c.Width();
    return TRect{x, o.Y, x + cx, o.Y + c.Height()};
  }
  return TRect{o.X, o.Y + c.Height(), o.X + c.Width(), o.Y + c.Height() + cy};
}

void PaintScrollBars(TWindowObj* wnd, int only) {
  if (!wnd->Surface || wnd->Surface->Width() == 0) return;
  QImage img = gdi::SurfaceImage(*wnd->Surface);
  QStyle* style = QApplication::style();
  QRect dirty;
  for (int bar : {SB_HORZ, SB_VERT}) {
    if (only != SB_BOTH && only != bar) continue;
    const TRect r = ScrollBarRect(wnd, bar);
    if (r.Width() <= 0 || r.Height() <= 0) continue;
    const QStyleOptionSlider opt = OptionFor(wnd, bar, r);
    // The toolkit's rasteriser hands a fill of more than about a hundred rows to its thread pool
    // and waits for it: for a bar a few pixels wide, waking the pool's threads costs many times
    // the drawing. The bar is drawn on a few rows of the surface at a time, too few for that,
    // which gives the same pixels; the rows take in what the style draws just beside the bar.
    const QRect rows = QRect(0, r.Top - kBandMargin, img.width(), r.Height() + 2 * kBandMargin) & img.rect();
    for (int top = rows.top(); top <= rows.bottom(); top += kBandRows) {
      QImage band(img.bits() + top * img.bytesPerLine(), img.width(), std::min(kBandRows, rows.bottom() + 1 - top),
                  img.bytesPerLine(), img.format());
      QPainter p(&band);
      p.translate(r.Left, r.Top - top);
      p.fillRect(opt.rect, QApplication::palette().window());
      style->drawComplexControl(QStyle::CC_ScrollBar, &opt, &p, nullptr);
    }
    dirty |= Q(r);
  }
  TRect v = ScrollBarRect(wnd, SB_VERT), hz = ScrollBarRect(wnd, SB_HORZ);
  if (only == SB_BOTH && v.Width() > 0 && hz.Width() > 0) {
    QRect corner(v.Left, hz.Top, v.Width(), hz.Height());
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    QPainter p(&img);
    p.fillRect(corner, QColor(face & 0xFF, (face >> 8) & 0xFF, (face >> 16) & 0xFF));
    dirty |= corner;
  }
  if (wnd->Widget && !dirty.isEmpty()) wnd->Widget->update(dirty);
}

void TrackScrollBar(HWND h, int bar, TPoint screen) {
  TWindowObj* wnd = Find(h);
  if (!wnd || !ValidBar(bar)) return;
  TRect r = ScrollBarRect(wnd, bar);
  QStyle* style = QApplication::style();
  auto local = [&](TPoint windowPt) { return QPoint(windowPt.X - r.Left, windowPt.Y - r.Top); };
  QStyleOptionSlider opt = OptionFor(wnd, bar, r);
  if (!(opt.state & QStyle::State_Enabled)) return;
  QPoint press = local(ToWindow(h, screen));
  QStyle::SubControl sc = style->hitTestComplexControl(QStyle::CC_ScrollBar, &opt, press, nullptr);
  WPARAM code;
  switch (sc) {
    case QStyle::SC_ScrollBarSubLine: code = SB_LINEUP; break;
    case QStyle::SC_ScrollBarAddLine: code = SB_LINEDOWN; break;
    case QStyle::SC_ScrollBarSubPage: code = SB_PAGEUP; break;
    case QStyle::SC_ScrollBarAddPage: code = SB_PAGEDOWN; break;
    case QStyle::SC_ScrollBarSlider: code = SB_THUMBTRACK; break;
    default: return;
  }
  UINT msgId = bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  auto send = [&](WPARAM c, int pos) { SendMessage(h, msgId, MAKEWPARAM(static_cast<int>(c), pos), 0); };
  bool thumb = code == SB_THUMBTRACK;
  bool vertical = bar == SB_VERT;
  QRect slider = style->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, nullptr);
  int grabOffset = vertical ? press.y() - slider.top() : press.x() - slider.left();
  QPoint last = press;

  SetCapture(h);
  if (thumb) {
    wnd->Scroll[bar].Tracking = true;
    wnd->Scroll[bar].TrackPos = wnd->Scroll[bar].Pos;
  } else {
    SetTimer(h, kTrackTimer, kFirstRepeatMs);
    send(code, 0);
  }
  bool quit = false;
  int quitCode = 0;
  MSG msg;
  while (IsWindow(h) && GetCapture() == h) {
    if (!GetMessage(&msg, nullptr, 0, 0)) {
      quit = true;
      quitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (msg.hwnd == h && msg.message == WM_LBUTTONUP) break;
    if (msg.hwnd == h && msg.message == WM_MOUSEMOVE) {
      TPoint c{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
      TWindowObj* w = Find(h);
      if (!w) break;
      last = local(TPoint{c.X + w->NcInsets.Left, c.Y + w->NcInsets.Top});
      if (thumb) {
        QStyleOptionSlider o = OptionFor(w, bar, r);
        QRect groove = style->subControlRect(QStyle::CC_ScrollBar, &o, QStyle::SC_ScrollBarGroove, nullptr);
        QRect sl = style->subControlRect(QStyle::CC_ScrollBar, &o, QStyle::SC_ScrollBarSlider, nullptr);
        int span = vertical ? groove.height() - sl.height() : groove.width() - sl.width();
        int at = (vertical ? last.y() - groove.top() : last.x() - groove.left()) - grabOffset;
        int value = QStyle::sliderValueFromPosition(o.minimum, o.maximum, std::clamp(at, 0, std::max(span, 0)),
                                                    std::max(span, 1));
        if (value != w->Scroll[bar].TrackPos) {
          w->Scroll[bar].TrackPos = value;
          Repaint(w);
          send(SB_THUMBTRACK, value);
        }
      }
      continue;
    }
    if (msg.hwnd == h && msg.message == WM_TIMER && msg.wParam == kTrackTimer) {
      // Repeats while the button is held over the part it went down on; a page press stops
      // when the thumb reaches the mouse.
      TWindowObj* w = Find(h);
      if (!w) break;
      QStyleOptionSlider o = OptionFor(w, bar, r);
      SetTimer(h, kTrackTimer, kRepeatMs);
      if (style->hitTestComplexControl(QStyle::CC_ScrollBar, &o, last, nullptr) == sc) send(code, 0);
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  if (IsWindow(h)) {
    KillTimer(h, kTrackTimer);
    if (GetCapture() == h) ReleaseCapture();
    TWindowObj* w = Find(h);
    if (thumb && w) {
      int pos = w->Scroll[bar].TrackPos;
      send(SB_THUMBPOSITION, pos);
      if ((w = Find(h))) w->Scroll[bar].Tracking = false;
    }
    send(SB_ENDSCROLL, 0);
    if ((w = Find(h))) Repaint(w);
  }
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace layer

int SetScrollInfo(HWND h, int bar, const SCROLLINFO* si, bool redraw) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || !si || !ValidBar(bar)) return 0;
  TScrollState& s = wnd->Scroll[bar];
  const TScrollState before = s;
  const DWORD styleBefore = wnd->Style;
  if (si->fMask & SIF_RANGE) {
    s.Min = si->nMin;
    s.Max = std::max(si->nMax, si->nMin);
  }
  if (si->fMask & SIF_PAGE) s.Page = si->nPage;
  if (si->fMask & SIF_POS) s.Pos = si->nPos;
  int64_t range = static_cast<int64_t>(s.Max) - s.Min + 1;
  if (static_cast<int64_t>(s.Page) > range) s.Page = static_cast<UINT>(range);
  s.Pos = std::clamp(s.Pos, s.Min, MaxPos(s));
  if (si->fMask & (SIF_RANGE | SIF_PAGE)) {
    bool needed = Needed(s);
    if (si->fMask & SIF_DISABLENOSCROLL) {
      s.Disabled = !needed;
      ShowScrollBar(h, bar, true);
    } else {
      s.Disabled = false;
      ShowScrollBar(h, bar, needed);
    }
  }
  // Drawing a bar with the toolkit's style costs as much as painting a list's content: a bar is
  // drawn again only when what it shows changed, and then alone.
  if (redraw && (wnd = layer::Find(h))) {
    if (wnd->Style != styleBefore)
      Repaint(wnd);
    else if (!SameLook(before, wnd->Scroll[bar]))
      Repaint(wnd, bar);
  }
  return s.Pos;
}

bool GetScrollInfo(HWND h, int bar, SCROLLINFO* si) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || !si || !ValidBar(bar)) return false;
  const TScrollState& s = wnd->Scroll[bar];
  if (si->fMask & SIF_RANGE) {
    si->nMin = s.Min;
    si->nMax = s.Max;
  }
  if (si->fMask & SIF_PAGE) si->nPage = s.Page;
  if (si->fMask & SIF_POS) si->nPos = s.Pos;
  if (si->fMask & SIF_TRACKPOS) si->nTrackPos = s.Tracking ? s.TrackPos : s.Pos;
  return true;
}

int SetScrollPos(HWND h, int bar, int pos, bool redraw) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd || !ValidBar(bar)) return 0;
  int old = wnd->Scroll[bar].Pos;
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(h, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND h, int bar) {
  TWindowObj* wnd = layer::Find(h);
  return wnd && ValidBar(bar) ? wnd->Scroll[bar].Pos : 0;
}

bool SetScrollRange(HWND h, int bar, int minPos, int maxPos, bool redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  return layer::Find(h) && (SetScrollInfo(h, bar, &si, redraw), true);
}

bool ShowScrollBar(HWND h, int bar, bool show) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd) return false;
  DWORD bits = bar == SB_BOTH ? (WS_VSCROLL | WS_HSCROLL) : ValidBar(bar) ? StyleBit(bar) : 0;
  DWORD style = show ? (wnd->Style | bits) : (wnd->Style & ~bits);
  if (style == wnd->Style) return true;
  wnd->Style = style;
  // The client area changes: the frame is computed again and the window hears WM_SIZE.
  SetWindowPos(h, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  return true;
}

bool EnableScrollBar(HWND h, UINT bars, UINT arrows) {
  TWindowObj* wnd = layer::Find(h);
  if (!wnd) return false;
  bool disable = arrows == ESB_DISABLE_BOTH;
  for (int bar : {SB_HORZ, SB_VERT})
    if (static_cast<int>(bars) == bar || static_cast<int>(bars) == SB_BOTH) wnd->Scroll[bar].Disabled = disable;
  Repaint(wnd);
  return true;
}

}  // namespace pf
