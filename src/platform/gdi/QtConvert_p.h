#pragma once
// Private to the platform layer: the one place where the layer's strings, points and rectangles
// become the toolkit's and back. Strings are UTF-16 on both sides, so they convert without
// decoding; rectangles keep their right and bottom edges exclusive.

#include <QPoint>
#include <QRect>
#include <QString>

#include "platform/rtl/Types.h"

namespace pf {

inline QString Q(StringView s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }
inline String FromQ(const QString& s) {
  return String(reinterpret_cast<const Char*>(s.utf16()), static_cast<size_t>(s.size()));
}

inline QPoint Q(const TPoint& p) { return QPoint(p.X, p.Y); }
inline TPoint FromQ(const QPoint& p) { return TPoint{p.x(), p.y()}; }

inline QRect Q(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect FromQ(const QRect& r) { return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

}  // namespace pf
