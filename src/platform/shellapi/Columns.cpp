// The details columns of the desktop's folders: name, size, type, modified and attributes, with
// the texts the library's own default columns give for the same items.

#include <cstring>
#include <ctime>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/SysUtils.h"
#include "platform/shellapi/ShellApi_p.h"
#include "platform/shellapi/ShellVerbs.h"

namespace pf::shellapi {

namespace {

struct TColumn {
  const Char* Title;
  int Format;  // 0 left, 1 right
  int Width;   // characters
  DWORD State;
  DWORD Pid;
};

constexpr TColumn kColumns[] = {
    {u"Name", 0, 30, SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT, PID_STG_NAME},
    {u"Size", 1, 10, SHCOLSTATE_TYPE_INT | SHCOLSTATE_ONBYDEFAULT, PID_STG_SIZE},
    {u"Type", 0, 20, SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT, PID_STG_STORAGETYPE},
    {u"Modified", 0, 20, SHCOLSTATE_TYPE_DATE | SHCOLSTATE_ONBYDEFAULT, PID_STG_WRITETIME},
    {u"Attributes", 0, 10, SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT, PID_STG_ATTRIBUTES},
};
constexpr UINT kColumnCount = sizeof(kColumns) / sizeof(kColumns[0]);

HRESULT ReturnText(const String& s, STRRET* out) {
  auto* p = static_cast<Char*>(CoTaskMemAlloc((s.size() + 1) * sizeof(Char)));
  if (!p) return E_OUTOFMEMORY;
  std::memcpy(p, s.data(), s.size() * sizeof(Char));
  p[s.size()] = 0;
  out->uType = STRRET_WSTR;
  out->pOleStr = p;
  return S_OK;
}

double LocalDate(const FILETIME& ft) {
  uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  if (ticks == 0) return 0;
  int64_t unixTicks = static_cast<int64_t>(ticks) - 116444736000000000LL;
  int64_t seconds = unixTicks >= 0 ? unixTicks / 10000000 : -((-unixTicks + 9999999) / 10000000);
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!::localtime_r(&t, &tm)) return 0;
  return EncodeDate(static_cast<Word>(tm.tm_year + 1900), static_cast<Word>(tm.tm_mon + 1), static_cast<Word>(tm.tm_mday)) +
         EncodeTime(static_cast<Word>(tm.tm_hour), static_cast<Word>(tm.tm_min), static_cast<Word>(tm.tm_sec), 0);
}

String TypeName(const TNode& node) {
  if (node.Type != TNode::FileSys) return u"System Folder";
  bool dir = IsDirectory(node.Path);
  String t = MimeTypeComment(node.Path, dir);
  if (!t.empty()) return t;
  std::string name = BaseName(node.Path);
  size_t dot = name.find_last_of('.');
  if (dir || dot == std::string::npos || dot == 0) return u"File";
  std::string ext = name.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return FromNativePath(ext) + u" File";
}

// The column's value; an empty variant for what the item does not have.
TShellVariant Value(const TNode& node, UINT column) {
  TShellVariant v;
  WIN32_FIND_DATAW fd;
  bool file = node.Type == TNode::FileSys && FindDataOfPath(node.Path, fd);
  switch (column) {
    case 0:
      v.vt = VT_BSTR;
      v.Text = node.Type == TNode::FileSys ? FromNativePath(node.Drive && node.Path == "/" ? "File System"
                                                                                          : BaseName(node.Path))
                                           : String();
      if (node.Type == TNode::Computer) v.Text = u"Computer";
      if (node.Type == TNode::Trash) v.Text = u"Trash";
      if (node.Type == TNode::Network) v.Text = u"Network";
      break;
    case 1:
      if (file && !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        v.vt = VT_I8;
        v.Number = (static_cast<Int64>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
      }
      break;
    case 2:
      v.vt = VT_BSTR;
      v.Text = TypeName(node);
      break;
    case 3:
      if (file) {
        v.vt = VT_DATE;
        v.Date = LocalDate(fd.ftLastWriteTime);
      }
      break;
    case 4:
      if (file) {
        v.vt = VT_BSTR;
        DWORD a = fd.dwFileAttributes;
        if (a & FILE_ATTRIBUTE_ARCHIVE) v.Text += u"A";
        if (a & FILE_ATTRIBUTE_HIDDEN) v.Text += u"H";
        if (a & FILE_ATTRIBUTE_READONLY) v.Text += u"R";
        if (a & FILE_ATTRIBUTE_SYSTEM) v.Text += u"S";
        if (a & FILE_ATTRIBUTE_COMPRESSED) v.Text += u"C";
      }
      break;
    default: break;
  }
  return v;
}

// As the library writes sizes: whole kilobytes, at least 1 KB.
String SizeText(Int64 size) {
  if (size <= 0) return u"1 KB";
  String s = Format(u"%0.0n KB", {static_cast<double>(size) / 1024.0});
  return s == u"0 KB" ? String(u"1 KB") : s;
}

}  // namespace

HRESULT ColumnDetails(const TNode* node, UINT column, SHELLDETAILS* details) {
  if (!details) return E_POINTER;
  if (column >= kColumnCount) return E_INVALIDARG;
  const TColumn& c = kColumns[column];
  details->fmt = c.Format;
  details->cxChar = c.Width;
  if (!node) return ReturnText(c.Title, &details->str);
  TShellVariant v = Value(*node, column);
  String text;
  if (v.vt == VT_BSTR) text = v.Text;
  else if (v.vt == VT_I8) text = SizeText(v.Number);
  else if (v.vt == VT_DATE && v.Date != 0) {
    const TFormatSettings& fs = FormatSettings();
    text = FormatDateTime(fs.ShortDateFormat + u" " + fs.LongTimeFormat, v.Date);
  }
  return ReturnText(text, &details->str);
}

HRESULT ColumnState(UINT column, DWORD* flags) {
  if (!flags) return E_POINTER;
  *flags = 0;
  if (column >= kColumnCount) return E_INVALIDARG;
  *flags = kColumns[column].State;
  return S_OK;
}

HRESULT ColumnScid(UINT column, SHCOLUMNID* scid) {
  if (!scid) return E_POINTER;
  if (column >= kColumnCount) return E_INVALIDARG;
  scid->fmtid = FMTID_Storage;
  scid->pid = kColumns[column].Pid;
  return S_OK;
}

HRESULT ColumnValue(const TNode& node, const SHCOLUMNID* scid, void* value) {
  if (!scid || !value) return E_POINTER;
  if (!(scid->fmtid == FMTID_Storage)) return E_INVALIDARG;
  for (UINT i = 0; i < kColumnCount; ++i)
    if (kColumns[i].Pid == scid->pid) {
      *static_cast<TShellVariant*>(value) = Value(node, i);
      return S_OK;
    }
  return E_INVALIDARG;
}

}  // namespace pf::shellapi
