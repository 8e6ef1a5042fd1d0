// Data objects as the toolkit's MIME data and back, and the clipboard over the desktop's.
// CF_HDROP is text/uri-list (file URLs), CF_UNICODETEXT text/plain, and a registered format the
// MIME type the desktop's toolkit uses for a named format of this kind, so that a format keeps
// its name (not its number, which differs between processes).

#include <QClipboard>
#include <QGuiApplication>
#include <QUrl>

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>
#include <optional>

#include "platform/gdi/QtConvert_p.h"
#include "platform/ole/OleBridge_p.h"

namespace pf {
namespace olebridge {

namespace {

const QString kUriList = QStringLiteral("text/uri-list");
const QString kPlainText = QStringLiteral("text/plain");
const QString kNamedPrefix = QStringLiteral("application/x-qt-windows-mime;value=\"");

// The bytes of one format as the desktop wants them; false when the block does not hold together.
bool BlockToMime(UINT format, const std::vector<Byte>& block, QByteArray& out) {
  if (format == CF_HDROP) {
    std::vector<String> names;
    if (!ReadDropFiles(block.data(), block.size(), names)) return false;
    out = UriListOfFiles(names);
    return true;
  }
  if (format == CF_UNICODETEXT) {
    String text;
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
      auto c = static_cast<Char>(block[i] | (block[i + 1] << 8));
      if (c == 0) break;
      text.push_back(c);
    }
    out = Q(text).toUtf8();
    return true;
  }
  out = QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size()));
  return true;
}

std::vector<String> LocalFiles(const QMimeData* mime) { return FilesOfUriList(mime->data(kUriList)); }

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

// The local file one line of a URI list names, or nothing. Written by hand rather than through
// the toolkit's URL class, which keeps a decoded zero in a name, reads "file:" as a file with no
// name, and leaves percent signs it cannot decode in the name as text: each of those would hand
// the program a name other than the one the list holds.
std::optional<String> FileOfUri(QByteArrayView uri) {
  const qsizetype colon = uri.indexOf(':');
  if (colon != 4 || uri.first(4).compare("file", Qt::CaseInsensitive) != 0) return std::nullopt;
  QByteArrayView rest = uri.sliced(5);
  if (rest.startsWith("//")) {
    // An authority other than this machine names a file of another host.
    const qsizetype slash = rest.indexOf('/', 2);
    const QByteArrayView host = slash < 0 ? rest.sliced(2) : rest.sliced(2, slash - 2);
    if (!host.isEmpty() && host.compare("localhost", Qt::CaseInsensitive) != 0) return std::nullopt;
    if (slash < 0) return std::nullopt;
    rest = rest.sliced(slash);
  }
  if (!rest.startsWith('/')) return std::nullopt;
  QByteArray bytes;
  bytes.reserve(rest.size());
  for (qsizetype i = 0; i < rest.size(); ++i) {
    const char c = rest[i];
    // A file has no query and no fragment; a bare control character is no part of a URI.
    if (c == '?' || c == '#' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    if (c != '%') {
      bytes += c;
      continue;
    }
    if (i + 2 >= rest.size() || !IsHex(rest[i + 1]) || !IsHex(rest[i + 2])) return std::nullopt;
    bytes += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
    i += 2;
  }
  if (bytes.contains('\0')) return std::nullopt;
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString name = utf8(bytes);
  if (utf8.hasError()) return std::nullopt;
  return FromQ(name);
}

bool MimeHolds(const QMimeData* mime, UINT format) {
  if (format == CF_HDROP) return mime->hasFormat(kUriList) && !LocalFiles(mime).empty();
  if (format == CF_UNICODETEXT) return mime->hasFormat(kPlainText);
  QString type = MimeTypeOf(format);
  return !type.isEmpty() && mime->hasFormat(type);
}

// The block of one format from the desktop's data; file lists are built wide so that no name is
// lost to the code page.
std::vector<Byte> MimeToBlock(const QMimeData* mime, UINT format) {
  if (format == CF_HDROP) return MakeDropFiles(LocalFiles(mime), true);
  if (format == CF_UNICODETEXT) {
    QString t = mime->text();
    std::vector<Byte> b(static_cast<size_t>(t.size() + 1) * 2, 0);
    std::memcpy(b.data(), t.utf16(), static_cast<size_t>(t.size()) * 2);
    return b;
  }
  QByteArray d = mime->data(MimeTypeOf(format));
  return std::vector<Byte>(d.begin(), d.end());
}

class TEnumFormats final : public TComObject<IEnumFORMATETC> {
public:
  TEnumFormats(std::vector<FORMATETC> formats, size_t pos) : FFormats(std::move(formats)), FPos(pos) {}
  // A new enumerator with a reference for the caller.
  static IEnumFORMATETC* Make(std::vector<FORMATETC> formats, size_t pos) {
    auto* e = new TEnumFormats(std::move(formats), pos);
    e->AddRef();
    return e;
  }
  HRESULT Next(ULONG celt, FORMATETC* out, ULONG* fetched) override {
    ULONG n = 0;
    while (n < celt && FPos < FFormats.size()) out[n++] = FFormats[FPos++];
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG celt) override {
    FPos = std::min(FFormats.size(), FPos + celt);
    return FPos < FFormats.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    FPos = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = Make(FFormats, FPos);
    return S_OK;
  }

private:
  std::vector<FORMATETC> FFormats;
  size_t FPos{0};
};

// The desktop's data seen as a data object. Blocks are rendered when asked for and belong to the
// receiver.
class TMimeDataObject final : public TComObject<IDataObject> {
public:
  explicit TMimeDataObject(const QMimeData* mime) : FMime(mime) {
    if (!mime) return;
    auto add = [this](UINT f) { FFormats.push_back(FORMATETC{static_cast<CLIPFORMAT>(f), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}); };
    if (MimeHolds(mime, CF_HDROP)) add(CF_HDROP);
    if (MimeHolds(mime, CF_UNICODETEXT)) add(CF_UNICODETEXT);
    for (const QString& type : mime->formats())
      if (UINT f = FormatOfMime(type); f >= 0xC000) add(f);
  }
  HRESULT GetData(const FORMATETC* format, STGMEDIUM* medium) override {
    if (!medium) return E_INVALIDARG;
    HRESULT hr = QueryGetData(format);
    if (hr != S_OK) return hr;
    std::vector<Byte> block = MimeToBlock(FMime.data(), format->cfFormat);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = GlobalCopy(GHND, block.data(), block.size());
    medium->pUnkForRelease = nullptr;
    if (!medium->hGlobal) {
      medium->tymed = TYMED_NULL;
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  HRESULT GetDataHere(const FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(const FORMATETC* format) override {
    if (!format) return E_INVALIDARG;
    if (!FMime) return OLE_E_NOTRUNNING;
    for (const FORMATETC& f : FFormats) {
      if (f.cfFormat != format->cfFormat) continue;
      if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
      if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
      if (format->lindex != -1) return DV_E_LINDEX;
      return S_OK;
    }
    return DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(const FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT SetData(const FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    *out = TEnumFormats::Make(FFormats, 0);
    return S_OK;
  }
  HRESULT DAdvise(const FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA** out) override {
    if (out) *out = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
  }

private:
  QPointer<const QMimeData> FMime;
  std::vector<FORMATETC> FFormats;
};

}  // namespace

std::vector<String> FilesOfUriList(const QByteArray& uriList) {
  std::vector<String> names;
  const QByteArrayView all(uriList);
  for (qsizetype start = 0; start < all.size();) {
    qsizetype end = all.indexOf('\n', start);
    if (end < 0) end = all.size();
    const QByteArrayView line = all.sliced(start, end - start).trimmed();
    start = end + 1;
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (std::optional<String> name = FileOfUri(line)) names.push_back(std::move(*name));
  }
  return names;
}

QByteArray UriListOfFiles(const std::vector<String>& names) {
  QByteArray out;
  for (const String& name : names) {
    if (name.empty() || name[0] != u'/' || name.find(u'\0') != String::npos) continue;
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const QByteArray bytes = utf8(Q(name));
    // A name with a broken surrogate pair has no exact UTF-8 form to hand over.
    if (utf8.hasError()) continue;
    // "file://" with an empty authority before the path: a name that starts with "//" stays a
    // path and is never read as a host.
    out += "file://" + bytes.toPercentEncoding("/!$&'()*+,;=:@") + "\r\n";
  }
  return out;
}

QString MimeTypeOf(UINT format) {
  if (format == CF_HDROP) return kUriList;
  if (format == CF_UNICODETEXT) return kPlainText;
  String name = GetClipboardFormatName(format);
  if (name.empty()) return {};
  return kNamedPrefix + Q(name) + QLatin1Char('"');
}

UINT FormatOfMime(const QString& mime) {
  if (mime == kUriList) return CF_HDROP;
  if (mime == kPlainText) return CF_UNICODETEXT;
  if (mime.startsWith(kNamedPrefix) && mime.endsWith(QLatin1Char('"')) && mime.size() > kNamedPrefix.size() + 1)
    return RegisterClipboardFormatW(FromQ(mime.mid(kNamedPrefix.size(), mime.size() - kNamedPrefix.size() - 1)));
  return 0;
}

TDataObjectMime::TDataObjectMime(IDataObject* object) : FObject(object) {
  if (!object) return;
  ComPtr<IEnumFORMATETC> e;
  if (SUCCEEDED(object->EnumFormatEtc(DATADIR_GET, e.GetAddressOf())) && e) {
    FORMATETC f;
    ULONG got = 0;
    while (e->Next(1, &f, &got) == S_OK && got == 1) {
      if (!(f.tymed & TYMED_HGLOBAL)) continue;
      // The drag image goes to the desktop as the drag's pixmap, never as data.
      if (f.cfFormat == DragImageFormat()) continue;
      QString type = MimeTypeOf(f.cfFormat);
      if (!type.isEmpty() && !FFormats.count(type)) FFormats.emplace(type, f);
    }
  }
  // Objects that render on demand may not list their formats.
  for (UINT f : {static_cast<UINT>(CF_HDROP), static_cast<UINT>(CF_UNICODETEXT)}) {
    FORMATETC fe{static_cast<CLIPFORMAT>(f), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    if (!FFormats.count(MimeTypeOf(f)) && object->QueryGetData(&fe) == S_OK) FFormats.emplace(MimeTypeOf(f), fe);
  }
}

TDataObjectMime::~TDataObjectMime() = default;

QStringList TDataObjectMime::formats() const {
  QStringList out;
  for (auto& [type, f] : FFormats) out << type;
  return out;
}

bool TDataObjectMime::hasFormat(const QString& mime) const { return FFormats.count(mime) != 0; }

QVariant TDataObjectMime::retrieveData(const QString& mime, QMetaType) const {
  auto it = FFormats.find(mime);
  if (it == FFormats.end() || !FObject) return {};
  FORMATETC f = it->second;
  f.tymed = TYMED_HGLOBAL;
  STGMEDIUM medium;
  if (FObject->GetData(&f, &medium) != S_OK) return {};
  QByteArray out;
  bool ok = medium.tymed == TYMED_HGLOBAL && BlockToMime(f.cfFormat, GlobalBytes(medium.hGlobal), out);
  ReleaseStgMedium(&medium);
  if (!ok) return {};
  return out;
}

ComPtr<IDataObject> DataObjectFromMime(const QMimeData* mime) {
  if (auto* ours = dynamic_cast<const TDataObjectMime*>(mime); ours && ours->Object()) return ComPtr<IDataObject>(ours->Object());
  ComPtr<IDataObject> view;
  view.Attach(new TMimeDataObject(mime));
  view->AddRef();
  return view;
}

QMimeData* RenderedCopy(const QMimeData* mime) {
  auto* copy = new QMimeData();
  if (!mime) return copy;
  for (const QString& type : mime->formats()) copy->setData(type, mime->data(type));
  return copy;
}

}  // namespace olebridge

HRESULT CreateFormatEnumerator(std::vector<FORMATETC> formats, IEnumFORMATETC** out) {
  if (!out) return E_POINTER;
  *out = olebridge::TEnumFormats::Make(std::move(formats), 0);
  return S_OK;
}

// ---- the clipboard ----

namespace {

using olebridge::TDataObjectMime;

QClipboard* Clip() { return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr; }

struct TClipboardState {
  bool Open{false};
  HWND Owner{nullptr};
  bool Emptied{false};
  std::map<UINT, HGLOBAL> Pending;   // placed while open, published on close
  std::map<UINT, HGLOBAL> Rendered;  // handed out by GetClipboardData while open, owned by the clipboard
  void FreeRendered() {
    for (auto& [f, h] : Rendered) GlobalFree(h);
    Rendered.clear();
  }
  void FreePending() {
    for (auto& [f, h] : Pending) GlobalFree(h);
    Pending.clear();
  }
};
TClipboardState& Clipboard() {
  static TClipboardState s;
  return s;
}

void Publish(QMimeData* mime) {
  Clipboard().FreeRendered();
  if (QClipboard* c = Clip()) c->setMimeData(mime);
  else delete mime;
}

}  // namespace

BOOL OpenClipboard(HWND owner) {
  TClipboardState& s = Clipboard();
  if (s.Open || !Clip()) return 0;
  s.Open = true;
  s.Owner = owner;
  s.Emptied = false;
  // Blocks handed out before may no longer be what the desktop's clipboard holds.
  s.FreeRendered();
  return 1;
}

BOOL CloseClipboard() {
  TClipboardState& s = Clipboard();
  if (!s.Open) return 0;
  s.Open = false;
  if (s.Emptied) {
    auto* mime = new QMimeData();
    for (auto& [format, h] : s.Pending) {
      QByteArray bytes;
      if (olebridge::BlockToMime(format, GlobalBytes(h), bytes)) mime->setData(olebridge::MimeTypeOf(format), bytes);
    }
    s.FreePending();
    Publish(mime);
  }
  s.Emptied = false;
  return 1;
}

BOOL EmptyClipboard() {
  TClipboardState& s = Clipboard();
  if (!s.Open) return 0;
  s.FreePending();
  s.Emptied = true;
  return 1;
}

HGLOBAL SetClipboardData(UINT format, HGLOBAL data) {
  TClipboardState& s = Clipboard();
  if (!s.Open || !data || olebridge::MimeTypeOf(format).isEmpty()) return nullptr;
  // Data placed without emptying first replaces what the clipboard held, as the program owns it now.
  if (!s.Emptied) EmptyClipboard();
  if (auto it = s.Pending.find(format); it != s.Pending.end() && it->second != data) GlobalFree(it->second);
  s.Pending[format] = data;
  return data;
}

HGLOBAL GetClipboardData(UINT format) {
  TClipboardState& s = Clipboard();
  if (!s.Open) return nullptr;
  if (auto it = s.Rendered.find(format); it != s.Rendered.end()) return it->second;
  ComPtr<IDataObject> obj;
  if (FAILED(OleGetClipboard(obj.GetAddressOf())) || !obj) return nullptr;
  FORMATETC f{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m;
  if (obj->GetData(&f, &m) != S_OK) return nullptr;
  HGLOBAL h = nullptr;
  if (m.tymed == TYMED_HGLOBAL) {
    std::vector<Byte> bytes = GlobalBytes(m.hGlobal);
    h = GlobalCopy(GHND, bytes.data(), bytes.size());
  }
  ReleaseStgMedium(&m);
  if (h) s.Rendered[format] = h;
  return h;
}

HRESULT OleSetClipboard(IDataObject* dataObject) {
  if (!Clip() || Clipboard().Open) return CLIPBRD_E_CANT_OPEN;
  Publish(dataObject ? new TDataObjectMime(dataObject) : new QMimeData());
  return S_OK;
}

HRESULT OleGetClipboard(IDataObject** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  QClipboard* c = Clip();
  if (!c) return CLIPBRD_E_CANT_OPEN;
  *out = olebridge::DataObjectFromMime(c->mimeData()).Detach();
  return S_OK;
}

HRESULT OleFlushClipboard() {
  QClipboard* c = Clip();
  if (!c || Clipboard().Open) return CLIPBRD_E_CANT_OPEN;
  if (auto* ours = dynamic_cast<const TDataObjectMime*>(c->mimeData())) Publish(olebridge::RenderedCopy(ours));
  return S_OK;
}

HRESULT OleIsCurrentClipboard(IDataObject* dataObject) {
  QClipboard* c = Clip();
  if (!c || !dataObject) return S_FALSE;
  auto* ours = dynamic_cast<const TDataObjectMime*>(c->mimeData());
  return ours && ours->Object() == dataObject ? S_OK : S_FALSE;
}

}  // namespace pf
