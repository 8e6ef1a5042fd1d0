// Cursors and the pointer: the shapes behind cursor handles (one map for the whole platform
// layer, and the cursors loaded from the program's resources), the shape shown over the program's
// windows, and the pointer's position.

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>

#include <cstring>
#include <map>
#include <vector>

#include "platform/rtl/Resources.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

// A cursor loaded from a resource: its picture and hot spot.
struct TLoadedCursor {
  std::string Name;
  QImage Image;
  QPoint HotSpot;
};

// Handles of loaded cursors lie above every system cursor number.
constexpr uintptr_t kFirstLoaded = 0x10000;

TPoint gCursorPos{0, 0};
bool gPlacedByTest = false;
HCURSOR gCursor = reinterpret_cast<HCURSOR>(IDC_ARROW);
bool gOverrideCursor = false;
std::vector<TLoadedCursor> gLoaded;

uint16_t Le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// The first image of a cursor file: a PNG, or a 32-bit bottom-up bitmap (the height counts the
// colour rows and the mask rows; the alpha of the colour rows is the shape).
bool ParseCursorFile(std::string_view data, QImage* image, QPoint* hot) {
  auto* b = reinterpret_cast<const unsigned char*>(data.data());
  if (data.size() < 22 || Le16(b) != 0 || Le16(b + 2) != 2 || Le16(b + 4) < 1) return false;
  const unsigned char* e = b + 6;
  uint32_t size = Le32(e + 8), offset = Le32(e + 12);
  if (offset > data.size() || size > data.size() - offset) return false;
  *hot = QPoint(Le16(e + 4), Le16(e + 6));
  const unsigned char* img = b + offset;
  static const unsigned char png[] = {0x89, 'P', 'N', 'G'};
  if (size >= 8 && std::memcmp(img, png, 4) == 0) {
    *image = QImage::fromData(img, static_cast<int>(size), "PNG");
    return !image->isNull();
  }
  if (size < 40 || Le32(img) < 40) return false;
  int w = static_cast<int>(Le32(img + 4)), h2 = static_cast<int>(Le32(img + 8));
  int bpp = Le16(img + 14);
  int h = h2 / 2;
  if (bpp != 32 || w <= 0 || h <= 0 || w > 256 || h > 256) return false;
  uint32_t header = Le32(img);
  if (header > size || static_cast<uint64_t>(w) * h * 4 > size - header) return false;
  QImage out(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = img + header + static_cast<size_t>(h - 1 - y) * w * 4;
    std::memcpy(out.scanLine(y), row, static_cast<size_t>(w) * 4);
  }
  *image = out;
  return true;
}

const TLoadedCursor* Loaded(HCURSOR c) {
  uintptr_t v = reinterpret_cast<uintptr_t>(c);
  if (v < kFirstLoaded || v - kFirstLoaded >= gLoaded.size()) return nullptr;
  return &gLoaded[v - kFirstLoaded];
}

QCursor QtCursorOf(HCURSOR c) {
  if (!c) return QCursor(Qt::BlankCursor);
  if (const TLoadedCursor* l = Loaded(c)) return QCursor(QPixmap::fromImage(l->Image), l->HotSpot.x(), l->HotSpot.y());
  return QCursor(layer::CursorShapeOf(c));
}

}  // namespace

namespace layer {

Qt::CursorShape CursorShapeOf(HCURSOR cursor) {
  switch (reinterpret_cast<uintptr_t>(cursor)) {
    case IDC_WAIT: return Qt::WaitCursor;
    case IDC_APPSTARTING: return Qt::BusyCursor;
    case IDC_IBEAM: return Qt::IBeamCursor;
    case IDC_CROSS: return Qt::CrossCursor;
    case IDC_UPARROW: return Qt::UpArrowCursor;
    case IDC_SIZEWE: return Qt::SizeHorCursor;
    case IDC_SIZENS: return Qt::SizeVerCursor;
    case IDC_SIZENWSE: return Qt::SizeFDiagCursor;
    case IDC_SIZENESW: return Qt::SizeBDiagCursor;
    case IDC_SIZEALL: return Qt::SizeAllCursor;
    case IDC_NO: return Qt::ForbiddenCursor;
    case IDC_HAND: return Qt::PointingHandCursor;
    case IDC_HELP: return Qt::WhatsThisCursor;
    case IDC_DRAGOBJECT: return Qt::DragMoveCursor;
    default: return Qt::ArrowCursor;
  }
}

void NotePointer(TPoint screen) {
  gCursorPos = screen;
  gPlacedByTest = false;
}

void ResetCursor() {
  if (gOverrideCursor && QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
  gOverrideCursor = false;
}

void ForgetCursors() {
  ResetCursor();
  gLoaded.clear();
  gCursor = reinterpret_cast<HCURSOR>(IDC_ARROW);
}

}  // namespace layer

namespace {
// Without a desktop the toolkit's pointer stays where it was put: the layer's own record is the
// pointer then.
bool RealPointer() {
  return QGuiApplication::instance() && QGuiApplication::platformName() != QLatin1String("offscreen");
}
}  // namespace

bool GetCursorPos(TPoint* p) {
  if (!p) return false;
  *p = RealPointer() && !gPlacedByTest ? FromQ(QCursor::pos()) : gCursorPos;
  return true;
}

bool SetCursorPos(int x, int y) {
  gCursorPos = TPoint{x, y};
  if (RealPointer()) QCursor::setPos(x, y);
  return true;
}

HCURSOR LoadCursor(uintptr_t id) { return reinterpret_cast<HCURSOR>(id); }

HCURSOR LoadCursor(HINSTANCE module, uintptr_t id) {
  if (!module) return LoadCursor(id);
  std::u16string name = u"#";
  for (char c : std::to_string(id)) name += static_cast<Char>(c);
  return LoadCursor(module, name);
}

HCURSOR LoadCursor(HINSTANCE module, StringView name) {
  if (!module || name.empty()) return nullptr;
  std::string key;
  for (Char c : name) {
    if (c > 0x7F) return nullptr;  // resource names are ASCII
    key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);  // names know no case
  }
  for (size_t i = 0; i < gLoaded.size(); ++i)
    if (gLoaded[i].Name == key) return reinterpret_cast<HCURSOR>(kFirstLoaded + i);
  std::optional<std::string_view> data = FindResource("CURSOR", key);
  TLoadedCursor c{key, {}, {}};
  if (!data || !ParseCursorFile(*data, &c.Image, &c.HotSpot)) return nullptr;
  gLoaded.push_back(std::move(c));
  return reinterpret_cast<HCURSOR>(kFirstLoaded + gLoaded.size() - 1);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = gCursor;
  gCursor = cursor;
  if (!QGuiApplication::instance()) return old;
  // The arrow leaves each widget its own shape (a standard control's I-beam inside a self-drawn
  // window, the toolkit's own dialogs); any other shape covers all of the program's windows, as
  // the platform's one cursor does.
  if (cursor == LoadCursor(IDC_ARROW)) {
    layer::ResetCursor();
  } else if (gOverrideCursor) {
    QGuiApplication::changeOverrideCursor(QtCursorOf(cursor));
  } else {
    QGuiApplication::setOverrideCursor(QtCursorOf(cursor));
    gOverrideCursor = true;
  }
  return old;
}

HCURSOR GetCursor() { return gCursor; }

namespace testing {

void SetCursorScreenPos(TPoint p) {
  gCursorPos = p;
  gPlacedByTest = true;
}

}  // namespace testing

}  // namespace pf
