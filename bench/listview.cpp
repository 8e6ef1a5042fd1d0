// The list view against Qt's QListView in icon mode, in one process and one run, on the offscreen
// platform: a 1024 x 768 viewport, uniform 200-pixel thumbnails, our thumbnail view with its
// default cell (QListView gets the same grid and icon area), at 1,000, 10,000 and 100,000 items.
// Per figure and count it prints: name, items, our ms, QListView ms, ratio (ours / theirs).
//
//   fill    the model filled inside one update (one item object per photo on both sides), laid
//           out and, on our side, painted as the update ends
//   paint   a paint of the whole window, each side starting from caches that other work has
//           taken (see Evict)
//   hit     1,000 hit tests at random points of the client area
//   scroll  the offset set to the end of the content, then a paint
//   selectall, clear  every item selected, then none, each followed by a paint
//   bandmove  the slowest single mouse move of a rubber band growing over half the items in 20
//           moves
//   regroup the items put into one group per key, every key different, then a paint (QListView's
//           model gets one parent row per key, its rows moved under them)
//
// Each figure is the median of five runs, the two sides interleaved (fill, paint, hit and scroll
// alternate which side goes first).
#include <QHash>
#include <QIcon>
#include <QStandardItemModel>
#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "listview/EmberListview.h"
#include "platform/classlib/Forms.h"
#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Units.h"
#include "platform/user/User.h"

using namespace ember;

namespace {

constexpr int kWidth = 1024, kHeight = 768, kThumb = 200, kRuns = 5, kHits = 1000;

// A rubber band dragged over half the items in this many mouse moves.
constexpr int kBandMoves = 20;

double Ms(const std::function<void()>& f) {
  auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// What a paint costs depends on whether the window's buffers are still in the processor's caches.
// Left to the order of the steps, one side's paint came right after the other side filled its
// hundred thousand items (its buffers evicted) while the other side's first paint, deferred to the
// event loop just before, had left its own buffer warm. Each side's measured paint now starts after
// the same eviction: a scratch block well beyond the last-level cache is written and read back.
void Evict() {
  static std::vector<unsigned char> scratch(128u << 20);
  static unsigned sink = 0;
  for (size_t i = 0; i < scratch.size(); i += 64) scratch[i] = static_cast<unsigned char>(i + sink);
  for (size_t i = 0; i < scratch.size(); i += 64) sink += scratch[i];
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

String Caption(int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "IMG_%06d.JPG", i);
  return String(buf, buf + std::char_traits<char>::length(buf));
}

// ---- Our side: the photo item draws one shared picture, fitted into the thumbnail area ----
TBitmap* gThumb = nullptr;

// The picture at the size last drawn, made once as QIcon keeps its scaled pixmap (and as the
// program's items keep thumbnails made at their display size).
TBitmap* gScaled = nullptr;
TBitmap* ScaledThumb(Integer side) {
  if (!gScaled || gScaled->GetWidth() != side) {
    FreeAndNil(gScaled);
    gScaled = TBitmap::New();
    gScaled->SetPixelFormat(TPixelFormat::pf32bit);
    gScaled->SetSize(side, side);
    gScaled->GetCanvas()->StretchDraw(TRect{0, 0, side, side}, gThumb);
  }
  return gScaled;
}

class TBenchItem : public TEmberItemStored {
  EMBER_ITEM_CLASS(TBenchItem, TEmberItemStored)
public:
  void ThumbnailDraw(TCanvas* ACanvas, const TRect& R, TEmberAlphaBlender*, bool& DoDefault) override {
    DoDefault = false;
    const Integer side = std::min(R.Width(), R.Height());
    if (side <= 0) return;
    const Integer x = R.Left + (R.Width() - side) / 2, y = R.Top + (R.Height() - side) / 2;
    ACanvas->Draw(x, y, ScaledThumb(side));
  }
};

struct Ours {
  TForm* Form{nullptr};
  TEmberListview* LV{nullptr};
  explicit Ours() {
    Form = TForm::New(nullptr);
    Form->SetClientWidth(kWidth);
    Form->SetClientHeight(kHeight);
    LV = TEmberListview::New(Form);
    LV->SetParent(Form);
    LV->SetBorderStyle(common::TBorderStyle::bsNone);
    LV->SetBounds(0, 0, kWidth, kHeight);
    LV->SetView(TEmberListStyle::elsThumbnail);
    // The back buffer is kept between paints, as QListView keeps its backing store.
    LV->SetCacheDoubleBufferBits(true);
    Form->Show();
    LV->HandleNeeded();
  }
  ~Ours() { FreeAndNil(Form); }
  void Fill(int n) {
    TEmberUpdateGuard update(LV);
    TEmberGroup* g = LV->GetGroups()->Add();
    TEmberItems* items = g->GetItems();
    for (int i = 0; i < n; ++i) items->AddCustom(&TBenchItem::StaticClass())->SetCaption(Caption(i));
    update.End();
  }
  void Paint() {
    InvalidateRect(LV->Handle(), nullptr, false);
    UpdateWindow(LV->Handle());
  }
  int Hits(const std::vector<TPoint>& pts) {
    int found = 0;
    for (const TPoint& p : pts)
      if (LV->GetGroups()->ItemByPoint(LV->GetScrollbars()->MapWindowToView(p))) ++found;
    return found;
  }
  void SelectAll() {
    LV->GetSelection()->SetMultiSelect(true);
    LV->GetSelection()->SelectAll();
    UpdateWindow(LV->Handle());
  }
  void ClearAll() {
    LV->GetSelection()->ClearAll();
    UpdateWindow(LV->Handle());
  }
  // A rubber band from the top left growing down over half the items, one step per mouse move;
  // answers the slowest move.
  double Band(int moves) {
    LV->GetSelection()->SetMultiSelect(true);
    const TRect view = LV->GetGroups()->ViewRect();
    TRect old{0, 0, 1, 1};
    double slowest = 0;
    for (int m = 1; m <= moves; ++m) {
      const TRect band{0, 0, view.Right, view.Bottom / 2 * m / moves};
      slowest = std::max(slowest, Ms([&] {
        LV->GetSelection()->DragSelect(false, band, old);
        UpdateWindow(LV->Handle());
      }));
      old = band;
    }
    return slowest;
  }
  // Every item its own group: the key handler answers a key no caption can give.
  void Regroup() {
    LV->OnAutoGroupGetKey = [](TCustomEmberListview*, TEmberItem* item, Integer, TEmberGroups*, Cardinal& key) {
      key = 0x10000 + static_cast<Cardinal>(item->GetIndex());
    };
    LV->GetSort()->SetAutoRegroup(true);
    UpdateWindow(LV->Handle());
  }
  void ScrollToEnd() {
    const TRect view = LV->GetGroups()->ViewRect();
    LV->GetScrollbars()->SetOffsetY(std::max(0, view.Bottom - LV->GetClientHeight()));
    Paint();
  }
};

// ---- Qt's side: a standard item model, one item per photo with its caption and the shared
// picture, as ours holds one item object per photo ----
struct BandView : QListView {
  // What the view's own rubber band does on each mouse move.
  void SetBand(const QRect& r) { setSelection(r, QItemSelectionModel::ClearAndSelect); }
};
struct Theirs {
  BandView View;
  QStandardItemModel M;
  QIcon Picture;
  explicit Theirs(const QPixmap& picture) : Picture(picture) {
    View.setViewMode(QListView::IconMode);
    View.setUniformItemSizes(true);
    View.setMovement(QListView::Static);
    View.setResizeMode(QListView::Adjust);
    View.setLayoutMode(QListView::SinglePass);
    // The thumbnail view's default cell and picture area (125 x 143, the picture inside a 4-pixel
    // border above two caption lines).
    View.setGridSize(QSize(125, 143));
    View.setIconSize(QSize(109, 109));
    View.resize(kWidth, kHeight);
    View.setModel(&M);
    View.show();
  }
  void Fill(int n) {
    QList<QStandardItem*> items;
    items.reserve(n);
    for (int i = 0; i < n; ++i) items.append(new QStandardItem(Picture, QString::asprintf("IMG_%06d.JPG", i)));
    M.invisibleRootItem()->appendRows(items);
    View.doItemsLayout();
  }
  void Paint() { View.viewport()->repaint(); }
  void SelectAll() {
    View.setSelectionMode(QAbstractItemView::ExtendedSelection);
    View.selectAll();
    View.viewport()->repaint();
  }
  void ClearAll() {
    View.clearSelection();
    View.viewport()->repaint();
  }
  // The rubber band's work per mouse move: the selection of the band's rectangle, then a paint.
  double Band(int moves) {
    View.setSelectionMode(QAbstractItemView::ExtendedSelection);
    const int height = View.verticalScrollBar()->maximum() + View.viewport()->height();
    double slowest = 0;
    for (int m = 1; m <= moves; ++m) {
      const QRect band(0, 0, kWidth, height / 2 * m / moves);
      slowest = std::max(slowest, Ms([&] {
        View.SetBand(band);
        View.viewport()->repaint();
      }));
    }
    return slowest;
  }
  void Regroup() {
    QList<QStandardItem*> rows = M.invisibleRootItem()->takeColumn(0);
    QHash<int, QStandardItem*> byKey;
    QList<QStandardItem*> groups;
    for (qsizetype i = 0; i < rows.size(); ++i) {
      QStandardItem*& group = byKey[static_cast<int>(0x10000 + i)];
      if (!group) {
        group = new QStandardItem();
        groups.append(group);
      }
      group->appendRow(rows[i]);
    }
    M.invisibleRootItem()->appendRows(groups);
    View.doItemsLayout();
    View.viewport()->repaint();
  }
  int Hits(const std::vector<TPoint>& pts) {
    int found = 0;
    for (const TPoint& p : pts)
      if (View.indexAt(QPoint(p.X, p.Y)).isValid()) ++found;
    return found;
  }
  void ScrollToEnd() {
    View.verticalScrollBar()->setValue(View.verticalScrollBar()->maximum());
    Paint();
  }
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  pf::StartLayer(argc, argv);
  pf::InitializeUnits();
  common::InitializeCommonObjects();
  InitializeEmberListview();

  QImage img(kThumb, kThumb, QImage::Format_RGB32);
  QPainter p(&img);
  p.fillRect(img.rect(), QColor(90, 140, 200));
  p.fillRect(QRect(40, 60, 120, 80), QColor(220, 180, 60));
  p.end();
  QPixmap picture = QPixmap::fromImage(img);
  gThumb = TBitmap::New();
  gThumb->SetPixelFormat(TPixelFormat::pf32bit);
  gThumb->SetSize(kThumb, kThumb);
  gThumb->GetCanvas()->GetBrush()->SetColor(0x00C88C5A);
  gThumb->GetCanvas()->FillRect(TRect{0, 0, kThumb, kThumb});
  gThumb->GetCanvas()->GetBrush()->SetColor(0x003CB4DC);
  gThumb->GetCanvas()->FillRect(TRect{40, 60, 160, 140});

  std::mt19937 rng(12345);
  std::vector<TPoint> pts(kHits);
  for (TPoint& pt : pts) pt = TPoint{static_cast<Integer>(rng() % kWidth), static_cast<Integer>(rng() % kHeight)};

  std::printf("%-10s %8s %10s %10s %7s\n", "figure", "items", "ours_ms", "qt_ms", "ratio");
  for (int n : {1000, 10000, 100000}) {
    std::vector<double> fill[2], paint[2], hit[2], scroll[2], selectall[2], clear[2], band[2], regroup[2];
    int hitsOurs = 0, hitsTheirs = 0;
    for (int run = 0; run < kRuns; ++run) {
      Ours ours;
      Theirs theirs(picture);
      // The side that goes second works in caches the first one's hundred thousand items have
      // just filled: every other run the two change places.
      const bool theirsFirst = run % 2 == 1;
      auto both = [theirsFirst](std::vector<double>* v, const std::function<void()>& a, const std::function<void()>& b,
                                bool cold = false) {
        auto measure = [cold](const std::function<void()>& f) {
          if (cold) Evict();
          return Ms(f);
        };
        if (theirsFirst) v[1].push_back(measure(b));
        v[0].push_back(measure(a));
        if (!theirsFirst) v[1].push_back(measure(b));
      };
      both(fill, [&] { ours.Fill(n); }, [&] { theirs.Fill(n); });
      QCoreApplication::processEvents();
      both(paint, [&] { ours.Paint(); }, [&] { theirs.Paint(); }, true);
      both(hit, [&] { hitsOurs = ours.Hits(pts); }, [&] { hitsTheirs = theirs.Hits(pts); });
      both(scroll, [&] { ours.ScrollToEnd(); }, [&] { theirs.ScrollToEnd(); }, true);
      selectall[0].push_back(Ms([&] { ours.SelectAll(); }));
      selectall[1].push_back(Ms([&] { theirs.SelectAll(); }));
      clear[0].push_back(Ms([&] { ours.ClearAll(); }));
      clear[1].push_back(Ms([&] { theirs.ClearAll(); }));
      band[0].push_back(ours.Band(kBandMoves));
      band[1].push_back(theirs.Band(kBandMoves));
      regroup[0].push_back(Ms([&] { ours.Regroup(); }));
      regroup[1].push_back(Ms([&] { theirs.Regroup(); }));
    }
    auto line = [n](const char* name, std::vector<double>* v) {
      const double a = Median(v[0]), b = Median(v[1]);
      std::printf("%-10s %8d %10.3f %10.3f %7.2f\n", name, n, a, b, b > 0 ? a / b : 0.0);
    };
    line("fill", fill);
    line("paint", paint);
    line("hit", hit);
    line("scroll", scroll);
    line("selectall", selectall);
    line("clear", clear);
    line("bandmove", band);  // the slowest single mouse move of the band
    line("regroup", regroup);
    std::fflush(stdout);
    if (hitsOurs == 0 || hitsTheirs == 0) std::fprintf(stderr, "warning: a side found no item under its points\n");
  }

  FreeAndNil(gScaled);
  FreeAndNil(gThumb);
  FinalizeEmberListview();
  common::FinalizeCommonObjects();
  pf::FinalizeUnits();
  pf::FinishLayer();
  return 0;
}
