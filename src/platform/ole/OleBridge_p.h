#pragma once
// Private to the data-transfer bridge and its test harnesses: the one place where a data object
// becomes the toolkit's MIME data and back.

#include <QImage>
#include <QMimeData>
#include <QPoint>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

#include "platform/ole/DragDrop.h"

class QWidget;

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

// ---- file lists as text/uri-list ----
// The names of the usable local files of a URI list, in its order: absolute paths of file URIs
// with no host (or "localhost"), no query and no fragment, whose percent-decoded bytes are UTF-8
// and hold no zero. Anything else is left out; the rest of the list still arrives.
std::vector<String> FilesOfUriList(const QByteArray& uriList);
// The URI list of the names: each an absolute path, made into a URI with an empty authority
// ("file://" and the percent-encoded path), so that no name is ever read as a host. Names that
// are empty, relative, or hold a zero character are left out.
QByteArray UriListOfFiles(const std::vector<String>& names);

// ---- drag images ----
// An image kept with a data object by the drag-drop helper, and where the pointer holds it.
struct TDragImage {
  QImage Image;
  QPoint HotSpot;
};
// The registered format the image travels in inside the process.
UINT DragImageFormat();
// The image a data object carries; a null image when it carries none or a broken one.
TDragImage DragImageOf(IDataObject* dataObject);
// The one image shown under the pointer while the layer's drag loop runs (GUI thread).
void BeginDragImage(const TDragImage& image);
void MoveDragImage(TPoint screen);
void EndDragImage();
// While the toolkit's own drag runs it shows the image; ours stays hidden.
void SetDesktopDragShowsImage(bool running);
// The window showing the image now; nil when none shows.
QWidget* DragImageWindow();
// The class behind CLSID_DragDropHelper: one object answering as IDragSourceHelper and
// IDropTargetHelper.
HRESULT CreateDragDropHelper(REFIID iid, void** out);

// The drag handed to the desktop when the pointer leaves our windows, with the image the pointer
// holds (null when the data object carries none). Tests replace it (the offscreen platform has no
// drag of its own); the default runs the toolkit's drag with the image as its pixmap.
using TDesktopDrag =
    std::function<Qt::DropAction(QObject* source, QMimeData* mime, Qt::DropActions allowed, const TDragImage& image)>;
void SetDesktopDrag(TDesktopDrag drag);

}  // namespace pf::olebridge
