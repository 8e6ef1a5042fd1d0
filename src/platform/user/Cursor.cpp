// Cursors and the pointer: the shapes behind cursor handles (one map for the whole platform
// layer), the shape shown over the program's windows, and the pointer's position.

#include <QCursor>
#include <QGuiApplication>

#include "platform/user/Layer_p.h"

namespace pf {

namespace {

TPoint gCursorPos{0, 0};
HCURSOR gCursor = reinterpret_cast<HCURSOR>(IDC_ARROW);
bool gOverrideCursor = false;

}  // namespace

namespace layer {

Qt::CursorShape CursorShapeOf(HCURSOR cursor) {
  switch (reinterpret_cast<uintptr_t>(cursor)) {
    case IDC_WAIT: return Qt::WaitCursor;
    case IDC_APPSTARTING: return Qt::BusyCursor;
    case IDC_IBEAM: return Qt::IBeamCursor;
    case IDC_CROSS: return Qt::CrossCursor;
    case IDC_SIZEWE: return Qt::SizeHorCursor;
    case IDC_SIZENS: return Qt::SizeVerCursor;
    case IDC_SIZEALL: return Qt::SizeAllCursor;
    case IDC_NO: return Qt::ForbiddenCursor;
    case IDC_HAND: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
  }
}

void NotePointer(TPoint screen) { gCursorPos = screen; }

void ResetCursor() {
  if (gOverrideCursor && QGuiApplication::instance()) QGuiApplication::restoreOverrideCursor();
  gOverrideCursor = false;
}

}  // namespace layer

bool GetCursorPos(TPoint* p) {
  if (!p) return false;
  *p = gCursorPos;
  return true;
}

bool SetCursorPos(int x, int y) {
  gCursorPos = TPoint{x, y};
  return true;
}

HCURSOR LoadCursor(uintptr_t id) { return reinterpret_cast<HCURSOR>(id); }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = gCursor;
  gCursor = cursor;
  if (!QGuiApplication::instance()) return old;
  Qt::CursorShape shape = layer::CursorShapeOf(cursor);
  if (shape == Qt::ArrowCursor || !cursor) {
    layer::ResetCursor();
  } else if (gOverrideCursor) {
    QGuiApplication::changeOverrideCursor(QCursor(shape));
  } else {
    QGuiApplication::setOverrideCursor(QCursor(shape));
    gOverrideCursor = true;
  }
  return old;
}

HCURSOR GetCursor() { return gCursor; }

namespace testing {

void SetCursorScreenPos(TPoint p) { gCursorPos = p; }

}  // namespace testing

}  // namespace pf
