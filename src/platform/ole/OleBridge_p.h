#pragma once
// Private to the data-transfer bridge and its test harnesses: the one place where a data object
// becomes the toolkit's MIME data and back.

#include <QMimeData>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>

#include "platform/ole/DragDrop.h"

namespace pf::olebridge {

// The MIME type a format travels as; empty for a format with no MIME form.
QString MimeTypeOf(UINT format);
// The format of a MIME type; 0 for one that has no format here.
UINT FormatOfMime(const QString& mime);

// Our data object as the desktop sees it. It holds a reference to the object, renders each format
// when asked, and gives the object itself back to code of this process.
class TDataObjectMime : public QMimeData {
public:
  explicit TDataObjectMime(IDataObject* object);
  ~TDataObjectMime() override;
  IDataObject* Object() const { return FObject.Get(); }
  QStringList formats() const override;
  bool hasFormat(const QString& mime) const override;

protected:
  QVariant retrieveData(const QString& mime, QMetaType type) const override;

private:
  ComPtr<IDataObject> FObject;
  std::map<QString, FORMATETC> FFormats;  // MIME type -> the object's own format
};

// The object behind MIME data: the original one when it came from this process, otherwise a view
// that renders the desktop's data as blocks on request (nothing once the MIME data is gone).
ComPtr<IDataObject> DataObjectFromMime(const QMimeData* mime);
// A plain copy of every format the MIME data holds, free of our object.
QMimeData* RenderedCopy(const QMimeData* mime);

// The drag handed to the desktop when the pointer leaves our windows. Tests replace it (the
// offscreen platform has no drag of its own); the default runs the toolkit's drag.
using TDesktopDrag = std::function<Qt::DropAction(QObject* source, QMimeData* mime, Qt::DropActions allowed)>;
void SetDesktopDrag(TDesktopDrag drag);

}  // namespace pf::olebridge
