// File lists crossing to and from the desktop as text/uri-list, through the same MIME data and
// data objects a drop, a paste, a drag out and a copy use. The first byte picks how the rest is
// read:
//   0: a list built from the input, line by line, where each line is known to name a usable local
//      file (and which one) or to lie (a zero in a name, an empty path, another host, a query,
//      a broken percent sign, bytes that are no UTF-8, a relative name, another scheme, a comment,
//      a control character); the names that arrive must be exactly the usable ones, in order;
//   1: the rest as the raw bytes of a list; whatever arrives must be absolute, free of zeros and
//      well formed, and must come back the same when it goes out again;
//   2: the rest as UTF-16 names in a file list going out; the list that goes out must read back
//      as the same names (those that are absolute and well formed), both here and through the
//      toolkit's own URL reader, which is what a desktop program uses.
#include <fuzzer/FuzzedDataProvider.h>

#include <QMimeData>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommonDataObject.h"
#include "platform/ole/OleBridge_p.h"
#include "platform/rtl/Strings.h"

using namespace pf;

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "urilist: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// A list as the window system hands it over: the bytes as they came.
class RawList final : public QMimeData {
public:
  explicit RawList(QByteArray bytes) : FBytes(std::move(bytes)) {}
  QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }
  bool hasFormat(const QString& type) const override { return type == QLatin1String("text/uri-list"); }

protected:
  QVariant retrieveData(const QString& type, QMetaType) const override { return hasFormat(type) ? QVariant(FBytes) : QVariant(); }

private:
  QByteArray FBytes;
};

std::vector<String> BlockNames(const std::vector<Byte>& block) {
  std::vector<String> names;
  if (!ReadDropFiles(block.data(), block.size(), names)) Fail("a file list block does not read back");
  return names;
}

// The files a drop of this list hands the program, read as the program reads a drop.
std::vector<String> Arrived(const QByteArray& list) {
  RawList mime(list);
  ComPtr<IDataObject> obj = olebridge::DataObjectFromMime(&mime);
  FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  if (obj->QueryGetData(&f) != S_OK) return {};
  STGMEDIUM m;
  if (obj->GetData(&f, &m) != S_OK) Fail("a drop offers a file list it cannot give");
  const std::vector<Byte> block = GlobalBytes(m.hGlobal);
  ReleaseStgMedium(&m);
  std::vector<String> names = BlockNames(block);
  if (names.empty()) Fail("a drop offers an empty file list");
  return names;
}

// The list a file list goes out as, through a data object on the clipboard or in a drag.
QByteArray WentOut(const std::vector<Byte>& block) {
  ComPtr<IDataObject> obj(common::TCommonDataObject::New(true)->AsDataObject());
  ComPtr<common::ICommonDataObject> c;
  obj.As(c);
  if (!c->SaveGlobalBlock(CF_HDROP, block.data(), static_cast<Integer>(block.size()))) Fail("cannot store a block");
  olebridge::TDataObjectMime mime(obj.Get());
  return mime.data(QStringLiteral("text/uri-list"));
}

bool WellFormed(const String& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const Char c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}
bool Usable(const String& s) { return !s.empty() && s[0] == u'/' && s.find(u'\0') == String::npos && WellFormed(s); }

std::string Show(const std::vector<String>& names) {
  std::string out;
  for (const String& n : names) out += "[" + StringToUtf8(n) + "]\n";
  return out;
}

// ---- mode 0: lists whose every line is known ----

const char* const kHex = "0123456789ABCDEF";
std::string Percent(unsigned char c, bool lower) {
  std::string out = "%";
  out += lower ? static_cast<char>(std::tolower(kHex[c >> 4])) : kHex[c >> 4];
  out += lower ? static_cast<char>(std::tolower(kHex[c & 15])) : kHex[c & 15];
  return out;
}

// A usable absolute name, as text and as the path of a URI with some characters encoded.
struct GoodPath {
  String Name;
  std::string Encoded;
};
GoodPath MakePath(FuzzedDataProvider& in) {
  static const char16_t* const kPieces[] = {u"a", u"Z", u"0", u".", u"-", u"_", u"~", u" ", u"%", u"#", u"?", u"ф", u"日",
                                            u"😀", u"!", u":", u"@", u"+", u";", u"=", u"&", u"'", u"(", u"\u00A0", u"/"};
  GoodPath p;
  p.Name = u"/";
  if (in.ConsumeBool()) p.Name += u"/";  // a name that starts with two slashes
  const int pieces = in.ConsumeIntegralInRange(1, 12);
  for (int i = 0; i < pieces; ++i) p.Name += kPieces[in.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)];
  const std::string bytes = StringToUtf8(p.Name);
  for (unsigned char c : bytes) {
    // Characters that end a path or cannot stand in a URI are always encoded; others at will.
    const bool must = c == '%' || c == '#' || c == '?' || c <= 0x20 || c == 0x7F;
    if (must || (c != '/' && in.ConsumeBool()))
      p.Encoded += Percent(c, in.ConsumeBool());
    else
      p.Encoded += static_cast<char>(c);
  }
  return p;
}

std::string Scheme(FuzzedDataProvider& in) {
  static const char* const kForms[] = {"file", "FILE", "File"};
  return kForms[in.ConsumeIntegralInRange(0, 2)];
}

// The URI of a path: with an empty authority, with this machine's name, or with none at all.
std::string UriOf(FuzzedDataProvider& in, const GoodPath& p) {
  const int form = in.ConsumeIntegralInRange(0, 2);
  if (form == 1) return Scheme(in) + "://localhost" + p.Encoded;
  if (form == 2 && p.Encoded.rfind("//", 0) != 0) return Scheme(in) + ":" + p.Encoded;
  return Scheme(in) + "://" + p.Encoded;
}

// A line that names no usable local file.
std::string Lie(FuzzedDataProvider& in) {
  GoodPath p = MakePath(in);
  const std::string uri = UriOf(in, p);
  // Just after the path's first slash.
  const size_t at = uri.size() - p.Encoded.size() + 1;
  switch (in.ConsumeIntegralInRange(0, 9)) {
    case 0: return uri + "%00" + "/etc/passwd";
    case 1: {
      static const char* const kEmpty[] = {"file:", "file://", "file://localhost", "FILE:"};
      return kEmpty[in.ConsumeIntegralInRange(0, 3)];
    }
    case 2: {
      std::string host = in.ConsumeBool() ? "etc" : "server.example";
      if (in.ConsumeBool()) host = "LOCALHOSTS";
      return Scheme(in) + "://" + host + (p.Encoded.rfind("//", 0) == 0 ? p.Encoded.substr(1) : p.Encoded);
    }
    case 3: return uri + (in.ConsumeBool() ? "?" : "#") + "x";
    case 4: {
      static const char* const kBroken[] = {"%", "%4", "%G0", "%%", "%4g"};
      return uri + kBroken[in.ConsumeIntegralInRange(0, 4)];
    }
    case 5: {
      static const char* const kNotUtf8[] = {"%FF", "%C0%AF", "%ED%A0%80", "%F4%90%80%80", "%80", "%E2%82"};
      return uri.substr(0, at) + kNotUtf8[in.ConsumeIntegralInRange(0, 5)] + uri.substr(at);
    }
    case 6: return Scheme(in) + ":" + (in.ConsumeBool() ? "a.jpg" : "./a.jpg");
    case 7: {
      static const char* const kOther[] = {"http://example.invalid/a.jpg", "files:///tmp/a.jpg", "fil:///tmp/a.jpg", "/tmp/a.jpg",
                                          "smb://host/share/a.jpg"};
      return kOther[in.ConsumeIntegralInRange(0, 4)];
    }
    case 8: return in.ConsumeBool() ? "# " + uri : "   ";
    default: {
      static const char kControls[] = {'\x01', '\t', '\x1F', '\x7F', '\x0B', '\x0C'};
      return uri.substr(0, at) + kControls[in.ConsumeIntegralInRange(0, 5)] + uri.substr(at);
    }
  }
}

void KnownLines(FuzzedDataProvider& in) {
  QByteArray list;
  std::vector<String> want;
  const int lines = in.ConsumeIntegralInRange(0, 16);
  const char* const end = in.ConsumeBool() ? "\r\n" : "\n";
  for (int i = 0; i < lines; ++i) {
    std::string line;
    if (in.ConsumeBool()) {
      GoodPath p = MakePath(in);
      line = UriOf(in, p);
      want.push_back(p.Name);
    } else {
      line = Lie(in);
    }
    if (in.ConsumeBool()) line = " " + line;
    list += QByteArray::fromStdString(line);
    if (i + 1 < lines || in.ConsumeBool()) list += end;
  }
  const std::vector<String> got = Arrived(list);
  if (got != want) Fail("the names that arrive are not the list's usable files", list.toStdString() + "\n--- got\n" + Show(got) + "--- want\n" + Show(want));
}

// ---- mode 1: any bytes ----

void AnyBytes(const uint8_t* data, size_t size) {
  const QByteArray list(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::vector<String> got = Arrived(list);
  for (const String& n : got)
    if (!Usable(n)) Fail("a name arrived that is no usable local file", Show({n}));
  if (!got.empty() && Arrived(WentOut(MakeDropFiles(got, true))) != got) Fail("names that arrived do not go out and back the same", Show(got));
}

// ---- mode 2: names going out ----

void NamesOut(const uint8_t* data, size_t size) {
  std::vector<String> names(1);
  for (size_t i = 0; i + 1 < size; i += 2) {
    const Char c = static_cast<Char>(data[i] | (data[i + 1] << 8));
    // A separator of the input, not of the names: names may still hold a zero character.
    if (c == u'\n') {
      names.emplace_back();
      continue;
    }
    names.back().push_back(c);
  }
  const std::vector<Byte> block = MakeDropFiles(names, true);
  std::vector<String> want;
  for (const String& n : BlockNames(block))
    if (Usable(n)) want.push_back(n);
  const QByteArray list = WentOut(block);
  const std::vector<String> back = Arrived(list);
  if (back != want) Fail("names going out do not come back the same", list.toStdString() + "\n--- got\n" + Show(back) + "--- want\n" + Show(want));
  // A desktop program reads each line as a URL of a local file with the same name. (The
  // toolkit's URL reader leaves the encoded bytes of a noncharacter, U+FDD0..U+FDEF or U+xFFFE and
  // U+xFFFF, in the name it decodes; such a name is only checked for its place.)
  size_t i = 0;
  for (const QByteArray& line : list.split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    const QUrl url = QUrl::fromEncoded(line.trimmed(), QUrl::StrictMode);
    if (i >= want.size() || !url.isValid() || !url.isLocalFile() || !url.host().isEmpty())
      Fail("the desktop reads no local file where one went out", line.toStdString() + "\n" + url.toString().toStdString());
    const QString name = QString::fromStdU16String(want[i]);
    bool noncharacter = false;
    for (char32_t c : name.toUcs4()) noncharacter = noncharacter || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
    if (!noncharacter && url.path() != name)
      Fail("the desktop reads another name than went out", line.toStdString() + "\n" + url.toString().toStdString());
    ++i;
  }
  if (i != want.size()) Fail("lines missing in the list going out", list.toStdString());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  common::InitializeCommonDataObject();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  switch (data[0] % 3) {
    case 0: {
      FuzzedDataProvider in(data + 1, size - 1);
      KnownLines(in);
      break;
    }
    case 1: AnyBytes(data + 1, size - 1); break;
    default: NamesOut(data + 1, size - 1); break;
  }
  return 0;
}
