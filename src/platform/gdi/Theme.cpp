// Theme drawing with the toolkit's style. The style always draws with the Fusion look and a
// palette made of the layer's system colours, so a themed part looks the same on every desktop
// and in tests. A part is rendered into an image of its rectangle that starts as a copy of the
// DC's pixels (so parts that leave pixels alone keep the background), and copied back only where
// the DC may paint.

#include "platform/gdi/Theme.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <set>

#include "platform/gdi/Gdi_p.h"
#include "platform/rtl/Strings.h"

struct pf::HTHEME__ {
  int Class{0};
};

namespace pf {

namespace {

// The classes, in the order the program's theme manager opens them.
constexpr const char16_t* kClasses[] = {u"button",    u"listview", u"header",   u"treeview", u"explorerbar",
                                        u"combobox",  u"edit",     u"rebar",    u"window",   u"taskband",
                                        u"taskbar",   u"scrollbar", u"progress"};
enum Class { cButton, cListview, cHeader, cTreeview, cExplorerBar, cComboBox, cEdit, cRebar, cWindow, cTaskBand,
             cTaskBar, cScrollbar, cProgress };

std::atomic<bool> gActive{true};
std::mutex gMutex;
std::set<const HTHEME__*> gLive;
std::vector<String> gOpened;
int gClosed = 0;

bool Live(HTHEME t) {
  std::lock_guard<std::mutex> lock(gMutex);
  return t && gLive.count(t) != 0;
}

QColor QColorOf(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
COLORREF ColorOf(const QColor& c) {
  return RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()));
}

QPalette SystemPalette() {
  QPalette p;
  auto set = [&p](QPalette::ColorRole role, int index) { p.setColor(role, QColorOf(GetSysColor(index))); };
  set(QPalette::Window, COLOR_BTNFACE);
  set(QPalette::Button, COLOR_BTNFACE);
  set(QPalette::Base, COLOR_WINDOW);
  set(QPalette::AlternateBase, COLOR_BTNFACE);
  set(QPalette::WindowText, COLOR_WINDOWTEXT);
  set(QPalette::Text, COLOR_WINDOWTEXT);
  set(QPalette::ButtonText, COLOR_BTNTEXT);
  set(QPalette::Highlight, COLOR_HIGHLIGHT);
  set(QPalette::HighlightedText, COLOR_HIGHLIGHTTEXT);
  set(QPalette::Light, COLOR_BTNHIGHLIGHT);
  set(QPalette::Midlight, COLOR_3DLIGHT);
  set(QPalette::Mid, COLOR_BTNSHADOW);
  set(QPalette::Dark, COLOR_BTNSHADOW);
  set(QPalette::Shadow, COLOR_3DDKSHADOW);
  // A selection in a window without the focus is the platform's quiet grey.
  p.setColor(QPalette::Inactive, QPalette::Highlight, QColorOf(GetSysColor(COLOR_BTNFACE)).darker(110));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText, QColorOf(GetSysColor(COLOR_WINDOWTEXT)));
  p.setColor(QPalette::Disabled, QPalette::WindowText, QColorOf(GetSysColor(COLOR_GRAYTEXT)));
  p.setColor(QPalette::Disabled, QPalette::ButtonText, QColorOf(GetSysColor(COLOR_GRAYTEXT)));
  p.setColor(QPalette::Disabled, QPalette::Text, QColorOf(GetSysColor(COLOR_GRAYTEXT)));
  return p;
}

// The outline the Fusion look gives frames.
QColor Outline() { return QColorOf(GetSysColor(COLOR_BTNFACE)).darker(140); }

// One Fusion style for the program, made with the application object and freed with it. Nil
// without a widget application (nothing can be drawn then).
QStyle* Style() {
  static QPointer<QStyle> style;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  if (!style) {
    style = QStyleFactory::create(QStringLiteral("Fusion"));
    if (style) style->setParent(QCoreApplication::instance());
  }
  return style;
}

void InitOption(QStyleOption& o, const QRect& r, bool enabled) {
  o.rect = r;
  o.palette = SystemPalette();
  o.state = enabled ? QStyle::State_Enabled : QStyle::State_None;
  o.direction = Qt::LeftToRight;
}

bool DrawButton(QStyle* s, QPainter& p, int part, int state, const QRect& r) {
  if (part == BP_PUSHBUTTON) {
    QStyleOptionButton o;
    InitOption(o, r, state != PBS_DISABLED);
    o.state |= state == PBS_PRESSED ? QStyle::State_Sunken : QStyle::State_Raised;
    if (state == PBS_HOT) o.state |= QStyle::State_MouseOver;
    if (state == PBS_DEFAULTED) o.features |= QStyleOptionButton::DefaultButton;
    s->drawControl(QStyle::CE_PushButtonBevel, &o, &p, nullptr);
    return true;
  }
  if (part != BP_CHECKBOX && part != BP_RADIOBUTTON) return false;
  if (state < 1 || state > 8) return false;
  int kind = (state - 1) % 4;  // normal, hot, pressed, disabled
  QStyleOptionButton o;
  InitOption(o, r, kind != 3);
  o.state |= state >= 5 ? QStyle::State_On : QStyle::State_Off;
  if (kind == 1) o.state |= QStyle::State_MouseOver;
  if (kind == 2) o.state |= QStyle::State_Sunken;
  s->drawPrimitive(part == BP_CHECKBOX ? QStyle::PE_IndicatorCheckBox : QStyle::PE_IndicatorRadioButton, &o, &p,
                   nullptr);
  return true;
}

bool DrawHeader(QStyle* s, QPainter& p, int part, int state, const QRect& r) {
  if (part != HP_HEADERITEM) return false;
  QStyleOptionHeader o;
  InitOption(o, r, true);
  o.orientation = Qt::Horizontal;
  o.position = QStyleOptionHeader::Middle;
  o.state |= QStyle::State_Raised | QStyle::State_Horizontal;
  if (state == HIS_HOT || state == HIS_SORTEDHOT) o.state |= QStyle::State_MouseOver;
  bool pressed = state == HIS_PRESSED || state == HIS_SORTEDPRESSED;
  bool hot = state == HIS_HOT || state == HIS_SORTEDHOT;
  if (pressed) o.state |= QStyle::State_Sunken;
  s->drawControl(QStyle::CE_HeaderSection, &o, &p, nullptr);
  // The style draws a section alike in every state; hot and pressed get the platform's washes.
  if (pressed || hot) {
    QColor wash = pressed ? QColor(0, 0, 0, 40) : QColorOf(GetSysColor(COLOR_HIGHLIGHT));
    if (hot) wash.setAlpha(40);
    p.fillRect(r.adjusted(0, 0, -1, -1), wash);
  }
  return true;
}

bool DrawListview(QStyle* s, QPainter& p, int part, int state, const QRect& r) {
  if (part == LVP_BORDER) {
    p.fillRect(r, QColorOf(GetSysColor(COLOR_WINDOW)));
    p.setPen(Outline());
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    return true;
  }
  if (part != LVP_LISTITEM) return false;
  QStyleOptionViewItem o;
  InitOption(o, r, state != LISS_DISABLED);
  o.showDecorationSelected = true;
  o.viewItemPosition = QStyleOptionViewItem::OnlyOne;
  bool selected = state == LISS_SELECTED || state == LISS_SELECTEDNOTFOCUS || state == LISS_HOTSELECTED;
  if (selected) o.state |= QStyle::State_Selected;
  if (state != LISS_SELECTEDNOTFOCUS) o.state |= QStyle::State_Active;
  else o.palette.setCurrentColorGroup(QPalette::Inactive);
  s->drawPrimitive(QStyle::PE_PanelItemViewItem, &o, &p, nullptr);
  if (state == LISS_HOT || state == LISS_HOTSELECTED) {
    // The style paints no hover for item views: a light wash and an outline of the highlight.
    QColor h = QColorOf(GetSysColor(COLOR_HIGHLIGHT));
    QColor wash = h;
    wash.setAlpha(48);
    p.fillRect(r, wash);
    h.setAlpha(160);
    p.setPen(h);
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
  }
  return true;
}

bool DrawOther(QStyle* s, QPainter& p, int cls, int part, int state, const QRect& r) {
  if (cls == cTreeview && part == TVP_GLYPH) {
    QStyleOption o;
    InitOption(o, r, true);
    o.state |= QStyle::State_Children | QStyle::State_Item;
    if (state == GLPS_OPENED) o.state |= QStyle::State_Open;
    s->drawPrimitive(QStyle::PE_IndicatorBranch, &o, &p, nullptr);
    return true;
  }
  if (cls == cComboBox && part == CP_DROPDOWNBUTTON) {
    QStyleOptionButton o;
    InitOption(o, r, state != CBXS_DISABLED);
    o.state |= state == CBXS_PRESSED ? QStyle::State_Sunken : QStyle::State_Raised;
    if (state == CBXS_HOT) o.state |= QStyle::State_MouseOver;
    s->drawControl(QStyle::CE_PushButtonBevel, &o, &p, nullptr);
    QStyleOption a;
    InitOption(a, r.adjusted(3, 3, -3, -3), state != CBXS_DISABLED);
    s->drawPrimitive(QStyle::PE_IndicatorArrowDown, &a, &p, nullptr);
    return true;
  }
  if (cls == cExplorerBar && part == EBP_NORMALGROUPBACKGROUND) {
    p.fillRect(r, QColorOf(GetSysColor(COLOR_BTNFACE)).lighter(106));
    return true;
  }
  return false;
}

// Renders a part over `rect` on the DC; `paint` draws it into an image of the rectangle's size.
HRESULT Render(HDC dc, const TRect& rect, const TRect* clip, const std::function<bool(QPainter&, const QRect&)>& paint) {
  gdi::PixelBuffer pb = gdi::TargetOf(dc);
  if (!pb.Valid()) return THEME_E_HANDLE;
  QRect target = gdi::ToTarget(dc, rect);
  if (target.isEmpty()) return THEME_S_OK;
  QRegion where = gdi::PaintableRegion(dc) & QRegion(target) & QRegion(pb.Bounds());
  if (clip) where &= QRegion(gdi::ToTarget(dc, *clip));
  // A part wholly clipped away (a border round a client area that is excluded) costs nothing, and
  // only the pixels that can change are read in under the part.
  if (where.isEmpty()) return THEME_S_OK;
  QImage img(target.size(), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  for (const QRect& have : where) {
    for (int y = have.top(); y <= have.bottom(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y - target.top()));
      for (int x = have.left(); x <= have.right(); ++x) {
        COLORREF c = gdi::GetColor(pb, x, y);
        line[x - target.left()] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
      }
    }
  }
  {
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (!paint(p, QRect(QPoint(0, 0), target.size()))) return THEME_E_INVALIDARG;
  }
  for (const QRect& r : where) {
    for (int y = r.top(); y <= r.bottom(); ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y - target.top()));
      for (int x = r.left(); x <= r.right(); ++x) {
        QRgb c = line[x - target.left()];
        gdi::PutColor(pb, x, y, RGB(static_cast<BYTE>(qRed(c)), static_cast<BYTE>(qGreen(c)), static_cast<BYTE>(qBlue(c))));
      }
    }
  }
  if (!where.isEmpty()) gdi::MarkDirty(dc, where.boundingRect());
  return THEME_S_OK;
}

}  // namespace

bool IsAppThemed() { return gActive.load(); }
bool IsThemeActive() { return gActive.load(); }

namespace gdi {
void SetThemeSwitch(bool active) { gActive.store(active); }
}  // namespace gdi

HTHEME OpenThemeData(HWND, StringView classList) {
  if (!gActive.load()) return nullptr;
  String list = LowerCase(String(classList));
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(u';', start);
    if (end == String::npos) end = list.size();
    String name = Trim(list.substr(start, end - start));
    for (int i = 0; i < static_cast<int>(std::size(kClasses)); ++i) {
      if (name != kClasses[i]) continue;
      auto* t = new HTHEME__;
      t->Class = i;
      std::lock_guard<std::mutex> lock(gMutex);
      gLive.insert(t);
      gOpened.push_back(name);
      return t;
    }
    start = end + 1;
  }
  return nullptr;
}

HRESULT CloseThemeData(HTHEME theme) {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (!theme || gLive.erase(theme) == 0) return THEME_E_HANDLE;
    ++gClosed;
  }
  delete theme;
  return THEME_S_OK;
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const TRect* rect, const TRect* clip) {
  if (!Live(theme)) return THEME_E_HANDLE;
  if (!rect) return THEME_E_INVALIDARG;
  QStyle* s = Style();
  if (!s) return THEME_E_NOTFOUND;
  int cls = theme->Class;
  return Render(dc, *rect, clip, [&](QPainter& p, const QRect& r) {
    switch (cls) {
      case cButton: return DrawButton(s, p, part, state, r);
      case cHeader: return DrawHeader(s, p, part, state, r);
      case cListview: return DrawListview(s, p, part, state, r);
      default: return DrawOther(s, p, cls, part, state, r);
    }
  });
}

HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC, int part, int, const TRect* bounds, TRect* content) {
  if (!Live(theme)) return THEME_E_HANDLE;
  if (!bounds || !content) return THEME_E_INVALIDARG;
  TRect r = *bounds;
  auto inset = [&r](int dx, int dy) { r = TRect{r.Left + dx, r.Top + dy, r.Right - dx, r.Bottom - dy}; };
  switch (theme->Class) {
    case cListview:
      if (part == LVP_BORDER) inset(1, 1);
      break;
    case cButton:
      if (part == BP_PUSHBUTTON) inset(3, 3);
      break;
    case cHeader:
      if (part == HP_HEADERITEM) inset(3, 0);
      break;
    case cEdit:
    case cComboBox:
      inset(2, 2);
      break;
    default:
      break;
  }
  *content = r;
  return THEME_S_OK;
}

HRESULT GetThemePartSize(HTHEME theme, HDC, int part, int, const TRect* rect, THEMESIZE, TSize* out) {
  if (!Live(theme)) return THEME_E_HANDLE;
  if (!out) return THEME_E_INVALIDARG;
  QStyle* s = Style();
  *out = rect ? TSize{rect->Width(), rect->Height()} : TSize{0, 0};
  if (theme->Class == cButton && (part == BP_CHECKBOX || part == BP_RADIOBUTTON)) {
    bool radio = part == BP_RADIOBUTTON;
    *out = s ? TSize{s->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth),
                     s->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorHeight : QStyle::PM_IndicatorHeight)}
             : TSize{13, 13};
  } else if (theme->Class == cTreeview && part == TVP_GLYPH) {
    *out = TSize{9, 9};
  } else if (theme->Class == cComboBox && part == CP_DROPDOWNBUTTON) {
    *out = TSize{GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYVSCROLL)};
  }
  return THEME_S_OK;
}

HRESULT GetThemeColor(HTHEME theme, int part, int state, int propId, COLORREF* color) {
  if (!Live(theme)) return THEME_E_HANDLE;
  if (!color) return THEME_E_INVALIDARG;
  bool selectedItem = theme->Class == cListview && part == LVP_LISTITEM &&
                      (state == LISS_SELECTED || state == LISS_HOTSELECTED);
  bool face = theme->Class == cButton || theme->Class == cHeader || theme->Class == cComboBox;
  switch (propId) {
    case TMT_TEXTCOLOR:
      *color = GetSysColor(selectedItem ? COLOR_HIGHLIGHTTEXT : face ? COLOR_BTNTEXT : COLOR_WINDOWTEXT);
      return THEME_S_OK;
    case TMT_FILLCOLOR:
      *color = GetSysColor(selectedItem ? COLOR_HIGHLIGHT : face ? COLOR_BTNFACE : COLOR_WINDOW);
      return THEME_S_OK;
    case TMT_BORDERCOLOR:
      *color = ColorOf(Outline());
      return THEME_S_OK;
    default:
      return THEME_E_NOTFOUND;
  }
}

namespace testing {

const std::vector<String>& OpenedThemeClasses() { return gOpened; }

int ClosedThemeCount() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gClosed;
}

int LiveThemeCount() {
  std::lock_guard<std::mutex> lock(gMutex);
  return static_cast<int>(gLive.size());
}

void ClearThemeLog() {
  std::lock_guard<std::mutex> lock(gMutex);
  gOpened.clear();
  gClosed = 0;
}

}  // namespace testing

}  // namespace pf
