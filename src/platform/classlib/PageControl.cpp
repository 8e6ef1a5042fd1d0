#include "platform/classlib/PageControl.h"

#include <QSignalBlocker>
#include <QTabBar>

#include <algorithm>

#include "platform/classlib/HostedWidget_p.h"

namespace pf {

namespace {
// Posted by the tab row when the user picked a tab; wParam: the page's index.
constexpr UINT CM_TABPICKED = CM_BASE + 0x202;
// The row's height before the control has a window to measure it.
constexpr Integer DefaultTabRowHeight = 24;

QTabBar::Shape ShapeOf(TTabPosition p) {
  switch (p) {
    case TTabPosition::tpBottom: return QTabBar::RoundedSouth;
    case TTabPosition::tpLeft: return QTabBar::RoundedWest;
    case TTabPosition::tpRight: return QTabBar::RoundedEast;
    default: return QTabBar::RoundedNorth;
  }
}
}  // namespace

// ---- TTabSheet ----

void TTabSheet::Create(TComponent* owner) {
  TWinControl::Create(owner);
  FVisible = false;  // the page control shows the active page only
}

void TTabSheet::Destroy() {
  SetPageControl(nullptr);
  TWinControl::Destroy();
}

void TTabSheet::SetPageControl(TPageControl* pageControl) {
  if (FPageControl == pageControl) return;
  if (FPageControl) FPageControl->RemovePage(this);
  FPageControl = pageControl;
  if (pageControl) {
    SetParent(pageControl);
    pageControl->InsertPage(this);
  }
}

Integer TTabSheet::GetPageIndex() const {
  if (!FPageControl) return -1;
  auto& pages = FPageControl->FPages;
  return static_cast<Integer>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetTabVisible(bool visible) {
  if (FTabVisible == visible) return;
  FTabVisible = visible;
  if (FPageControl) FPageControl->UpdateLayout();
}

// ---- TPageControl ----

void TPageControl::Create(TComponent* owner) {
  TWinControl::Create(owner);
  FWidth = 289;
  FHeight = 193;
  TabStop = true;
}

void TPageControl::Destroy() {
  for (TTabSheet* page : std::vector<TTabSheet*>(FPages)) page->FPageControl = nullptr;
  FPages.clear();
  FActivePage = nullptr;
  TWinControl::Destroy();
}

void TPageControl::InsertPage(TTabSheet* page) {
  FPages.push_back(page);
  if (!FActivePage) FActivePage = page;
  UpdateLayout();
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(FPages.begin(), FPages.end(), page);
  if (it == FPages.end()) return;
  Integer index = static_cast<Integer>(it - FPages.begin());
  FPages.erase(it);
  if (FActivePage == page) {
    FActivePage = nullptr;
    if (!FPages.empty()) FActivePage = FPages[static_cast<size_t>(std::min<Integer>(index, PageCount() - 1))];
  }
  UpdateLayout();
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->FPageControl != this) return;
  if (FActivePage == page) return;
  FActivePage = page;
  UpdateLayout();
}

Integer TPageControl::GetActivePageIndex() const { return FActivePage ? FActivePage->GetPageIndex() : -1; }

void TPageControl::SetActivePageIndex(Integer index) {
  SetActivePage(index >= 0 && index < PageCount() ? Pages(index) : nullptr);
}

void TPageControl::SetTabPosition(TTabPosition position) {
  if (FTabPosition == position) return;
  FTabPosition = position;
  UpdateLayout();
}

void TPageControl::SetStyle(TTabStyle style) {
  if (FStyle == style) return;
  FStyle = style;
  UpdateLayout();
}

bool TPageControl::TabsShown() const {
  return std::any_of(FPages.begin(), FPages.end(), [](const TTabSheet* p) { return p->FTabVisible; });
}

Integer TPageControl::TabRowHeight() const {
  if (!TabsShown()) return 0;
  auto* bar = hosted::Inner<QTabBar>(FHandle);
  if (!bar) return DefaultTabRowHeight;
  bool vertical = FTabPosition == TTabPosition::tpLeft || FTabPosition == TTabPosition::tpRight;
  QSize hint = bar->sizeHint();
  return vertical ? hint.width() : hint.height();
}

TRect TPageControl::DisplayRect() const {
  TRect r = GetClientRect();
  Integer row = TabRowHeight();
  switch (FTabPosition) {
    case TTabPosition::tpTop: r.Top += row; break;
    case TTabPosition::tpBottom: r.Bottom -= row; break;
    case TTabPosition::tpLeft: r.Left += row; break;
    case TTabPosition::tpRight: r.Right -= row; break;
  }
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

void TPageControl::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  QWidget* host = hosted::Host(FHandle);
  if (!host) return;
  auto* bar = new QTabBar(host);
  bar->setExpanding(false);
  HWND h = FHandle;
  QObject::connect(bar, &QTabBar::tabBarClicked, bar, [h, bar](int tab) {
    if (tab >= 0) PostMessage(h, CM_TABPICKED, static_cast<WPARAM>(bar->tabData(tab).toInt()), 0);
  });
  UpdateLayout();
}

void TPageControl::BoundsChanged() {
  TWinControl::BoundsChanged();
  UpdateLayout();
}

void TPageControl::Dispatch(TMessage& msg) {
  if (msg.Msg == CM_TABPICKED) {
    Integer index = static_cast<Integer>(msg.WParam);
    if (index >= 0 && index < PageCount() && Pages(index) != FActivePage) {
      SetActivePageIndex(index);
      Change();
    }
    return;
  }
  TWinControl::Dispatch(msg);
}

void TPageControl::Change() {
  if (OnChange) OnChange(this);
}

void TPageControl::UpdateLayout() {
  if (auto* bar = hosted::Inner<QTabBar>(FHandle)) {
    QSignalBlocker block(bar);
    while (bar->count() > 0) bar->removeTab(0);
    bar->setShape(ShapeOf(FTabPosition));
    bar->setDrawBase(FStyle == TTabStyle::tsTabs);
    for (Integer i = 0; i < PageCount(); ++i) {
      if (!Pages(i)->FTabVisible) continue;
      int tab = bar->addTab(hosted::Q(Pages(i)->GetCaption()));
      bar->setTabData(tab, i);
      if (Pages(i) == FActivePage) bar->setCurrentIndex(tab);
    }
    bar->setVisible(bar->count() > 0);
    TRect c = GetClientRect();
    QSize hint = bar->sizeHint();
    switch (FTabPosition) {
      case TTabPosition::tpTop: bar->setGeometry(0, 0, c.Width(), hint.height()); break;
      case TTabPosition::tpBottom: bar->setGeometry(0, c.Height() - hint.height(), c.Width(), hint.height()); break;
      case TTabPosition::tpLeft: bar->setGeometry(0, 0, hint.width(), c.Height()); break;
      case TTabPosition::tpRight: bar->setGeometry(c.Width() - hint.width(), 0, hint.width(), c.Height()); break;
    }
  }
  TRect d = DisplayRect();
  for (TTabSheet* page : FPages) {
    page->SetBounds(d.Left, d.Top, d.Width(), d.Height());
    page->SetVisible(page == FActivePage);
  }
}

}  // namespace pf
