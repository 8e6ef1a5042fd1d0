#include "platform/rtl/Classes.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace pf {

namespace {

String DecodeUtf16(std::string_view bytes, bool bigEndian) {
  String out;
  out.reserve(bytes.size() / 2 + 1);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<Char>(bigEndian ? (a << 8) | b : (b << 8) | a));
  }
  if (bytes.size() % 2) out.push_back(u'\uFFFD');  // a torn last character
  return out;
}

std::string EncodeUtf16(const String& s, bool bigEndian) {
  std::string out;
  out.reserve(s.size() * 2);
  for (Char c : s) {
    char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
  }
  return out;
}

}  // namespace

// ---- TStrings ----

Integer TStrings::Add(const String& s) {
  Integer i = Count();
  Insert(i, s);
  return i;
}

Integer TStrings::AddObject(const String& s, TObject* obj) {
  Integer i = Add(s);
  PutObject(i, obj);
  return i;
}

void TStrings::AddStrings(const TStrings& other) {
  TStringsUpdate update(*this);
  for (Integer i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
}

void TStrings::Assign(const TStrings& other) {
  if (&other == this) return;
  TStringsUpdate update(*this);
  NameValueSeparator = other.NameValueSeparator;
  Clear();
  AddStrings(other);
}

Integer TStrings::IndexOf(const String& s) const {
  for (Integer i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), s) == 0) return i;
  return -1;
}

Integer TStrings::IndexOfName(const String& name) const {
  for (Integer i = 0; i < Count(); ++i) {
    String s = Get(i);
    size_t p = s.find(NameValueSeparator);
    if (p != String::npos && CompareStrings(s.substr(0, p), name) == 0) return i;
  }
  return -1;
}

Integer TStrings::IndexOfObject(const TObject* obj) const {
  for (Integer i = 0; i < Count(); ++i)
    if (GetObject(i) == obj) return i;
  return -1;
}

String TStrings::GetName(Integer index) const {
  String s = Get(index);
  size_t p = s.find(NameValueSeparator);
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::GetValueFromIndex(Integer index) const {
  // A line without a separator has no value (not the line minus its first character).
  String s = Get(index);
  size_t p = s.find(NameValueSeparator);
  return p == String::npos ? String() : s.substr(p + 1);
}

String TStrings::GetValue(const String& name) const {
  Integer i = IndexOfName(name);
  return i < 0 ? String() : GetValueFromIndex(i);
}

void TStrings::SetValue(const String& name, const String& value) {
  Integer i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  String line = name + NameValueSeparator + value;
  if (i < 0)
    Add(line);
  else
    Put(i, line);
}

String TStrings::GetText() const {
  String out;
  for (Integer i = 0; i < Count(); ++i) {
    out += Get(i);
    out += u"\r\n";
  }
  return out;
}

void TStrings::SetText(const String& text) {
  TStringsUpdate update(*this);
  Clear();
  size_t start = 0, i = 0;
  while (i < text.size()) {
    Char c = text[i];
    if (c == u'\r' || c == u'\n') {
      Add(text.substr(start, i - start));
      i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) Add(text.substr(start));
}

String TStrings::GetCommaText() const {
  String out;
  for (Integer i = 0; i < Count(); ++i) {
    String s = Get(i);
    if (i > 0) out.push_back(u',');
    bool quote = s.empty();
    for (Char c : s)
      if (c <= u' ' || c == u'"' || c == u',') quote = true;
    if (!quote) {
      out += s;
      continue;
    }
    out.push_back(u'"');
    for (Char c : s) {
      if (c == u'"') out.push_back(u'"');
      out.push_back(c);
    }
    out.push_back(u'"');
  }
  return out;
}

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount == 0) return;
  if (--FUpdateCount == 0) {
    SetUpdateState(false);
    Changed();
  }
}

void TStrings::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

int TStrings::CompareStrings(const String& a, const String& b) const {
  return CaseSensitive ? CompareStr(a, b) : AnsiCompareText(a, b);
}

void TStrings::LoadFromStream(TStream& stream, TTextEncoding fallback) {
  RawBytes bytes = stream.ReadRest();
  std::string_view b = bytes;
  String text;
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF")
    text = Utf8ToString(b.substr(3));
  else if (b.size() >= 2 && b.substr(0, 2) == "\xFF\xFE")
    text = DecodeUtf16(b.substr(2), false);
  else if (b.size() >= 2 && b.substr(0, 2) == "\xFE\xFF")
    text = DecodeUtf16(b.substr(2), true);
  else if (fallback == TTextEncoding::Utf8)
    text = Utf8ToString(b);
  else if (fallback == TTextEncoding::Utf16LE)
    text = DecodeUtf16(b, false);
  else if (fallback == TTextEncoding::Utf16BE)
    text = DecodeUtf16(b, true);
  else
    text = CodePageToString(b, CP_ACP);
  SetText(text);
}

void TStrings::LoadFromFile(const String& fileName, TTextEncoding fallback) {
  Owned<TFileStream> f(TFileStream::New(fileName, static_cast<Word>(fmOpenRead | fmShareDenyWrite)));
  LoadFromStream(*f, fallback);
}

void TStrings::SaveToStream(TStream& stream, TTextEncoding encoding, bool writeSignature) const {
  String text = GetText();
  std::string bytes;
  switch (encoding) {
    case TTextEncoding::Ansi:
      bytes = StringToCodePage(text, CP_ACP);
      break;
    case TTextEncoding::Utf8:
      if (writeSignature) bytes = "\xEF\xBB\xBF";
      bytes += StringToUtf8(text);
      break;
    case TTextEncoding::Utf16LE:
      if (writeSignature) bytes = "\xFF\xFE";
      bytes += EncodeUtf16(text, false);
      break;
    case TTextEncoding::Utf16BE:
      if (writeSignature) bytes = "\xFE\xFF";
      bytes += EncodeUtf16(text, true);
      break;
  }
  stream.WriteBytes(bytes);
}

void TStrings::SaveToFile(const String& fileName, TTextEncoding encoding, bool writeSignature) const {
  Owned<TFileStream> f(TFileStream::New(fileName, fmCreate));
  SaveToStream(*f, encoding, writeSignature);
}

// ---- TStringList ----

void TStringList::CheckIndex(Integer index) const {
  if (index < 0 || index >= Count())
    throw EStringListError(u"List index out of bounds (" + IntToStr(index) + u")");
}

String TStringList::Get(Integer index) const {
  CheckIndex(index);
  return FItems[static_cast<size_t>(index)].S;
}

void TStringList::Put(Integer index, const String& s) {
  if (FSorted) throw EStringListError(u"Operation not allowed on sorted list");
  CheckIndex(index);
  FItems[static_cast<size_t>(index)].S = s;
  Changed();
}

TObject* TStringList::GetObject(Integer index) const {
  CheckIndex(index);
  return FItems[static_cast<size_t>(index)].Obj;
}

void TStringList::PutObject(Integer index, TObject* obj) {
  CheckIndex(index);
  FItems[static_cast<size_t>(index)].Obj = obj;
  Changed();
}

void TStringList::Insert(Integer index, const String& s) {
  if (FSorted) throw EStringListError(u"Operation not allowed on sorted list");
  if (index < 0 || index > Count())
    throw EStringListError(u"List index out of bounds (" + IntToStr(index) + u")");
  FItems.insert(FItems.begin() + index, Item{s, nullptr});
  Changed();
}

void TStringList::Delete(Integer index) {
  CheckIndex(index);
  TObject* obj = FItems[static_cast<size_t>(index)].Obj;
  FItems.erase(FItems.begin() + index);
  if (OwnsObjects) pf::Free(obj);
  Changed();
}

void TStringList::Clear() {
  if (FItems.empty()) return;
  std::vector<Item> items;
  items.swap(FItems);
  if (OwnsObjects)
    for (Item& it : items) pf::Free(it.Obj);
  Changed();
}

Integer TStringList::Add(const String& s) { return AddObject(s, nullptr); }

Integer TStringList::AddObject(const String& s, TObject* obj) {
  Integer index = Count();
  if (FSorted) {
    if (Find(s, index)) {
      if (Duplicates == TDuplicates::dupIgnore) return index;
      if (Duplicates == TDuplicates::dupError) throw EStringListError(u"String list does not allow duplicates");
    }
  }
  FItems.insert(FItems.begin() + index, Item{s, obj});
  Changed();
  return index;
}

Integer TStringList::IndexOf(const String& s) const {
  if (!FSorted) return TStrings::IndexOf(s);
  Integer index;
  return Find(s, index) ? index : -1;
}

// Binary search of a sorted list: the first matching line, or where `s` would go.
bool TStringList::Find(const String& s, Integer& index) const {
  Integer lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    Integer mid = (lo + hi) / 2;
    int c = CompareStrings(FItems[static_cast<size_t>(mid)].S, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != TDuplicates::dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.S, b.S) < 0; });
  Changed();
}

void TStringList::SetSorted(bool v) {
  if (v == FSorted) return;
  if (v) Sort();
  FSorted = v;
}

void TStringList::Destroy() {
  OnChange = nullptr;
  if (OwnsObjects)
    for (Item& it : FItems) pf::Free(it.Obj);
  FItems.clear();
  TStrings::Destroy();
}

}  // namespace pf
