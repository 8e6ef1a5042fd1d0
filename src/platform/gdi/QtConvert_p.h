#pragma once
// Private to the platform layer: the one place where the layer's strings, points and rectangles
// become the toolkit's and back. Strings are UTF-16 on both sides, so they convert without
// decoding, unit for unit: a leading U+FEFF or U+FFFE is text, never a byte-order mark (the
// toolkit's UTF-16 decoder drops the one and swaps every unit after the other). Rectangles keep
// their right and bottom edges exclusive.

#include <QPoint>
#include <QRect>
#include <QString>

#include "platform/rtl/Types.h"

namespace pf {

inline QString Q(StringView s) { return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size())); }
inline String FromQ(const QString& s) {
  return String(reinterpret_cast<const Char*>(s.utf16()), static_cast<size_t>(s.size()));
}

inline QPoint Q(const TPoint& p) { return QPoint(p.X, p.Y); }
inline TPoint FromQ(const QPoint& p) { return TPoint{p.x(), p.y()}; }

inline QRect Q(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect FromQ(const QRect& r) { return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }

}  // namespace pf
