#include "order/uSettings.h"

#include <algorithm>
#include <limits>

#include "order/uUtils.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

#ifndef PO_DEFAULT_LAB_URL
#define PO_DEFAULT_LAB_URL "http://127.0.0.1:8080"
#endif

namespace order {

const TFormatSettings& PointFormatSettings() {
  static const TFormatSettings settings = [] {
    TFormatSettings fs;
    fs.DecimalSeparator = u'.';
    fs.ThousandSeparator = 0;
    fs.LongTimeFormat.clear();
    fs.ShortTimeFormat.clear();
    fs.ShortDateFormat.clear();
    fs.DateSeparator = 0;
    fs.TimeSeparator = 0;
    return fs;
  }();
  return settings;
}

namespace {

int Base64Value(Char c) {
  if (c >= u'A' && c <= u'Z') return c - u'A';
  if (c >= u'a' && c <= u'z') return c - u'a' + 26;
  if (c >= u'0' && c <= u'9') return c - u'0' + 52;
  if (c == u'+') return 62;
  if (c == u'/') return 63;
  return -1;
}

}  // namespace

RawBytes DecodeBase64(StringView S) {
  RawBytes out;
  uint32_t acc = 0;
  int symbols = 0;
  for (Char c : S) {
    if (c < 33 || c > 127) continue;
    int v = Base64Value(c);
    if (v < 0) continue;
    acc = (acc << 6) | static_cast<uint32_t>(v);
    if (++symbols == 4) {
      out.push_back(static_cast<char>((acc >> 16) & 0xFF));
      out.push_back(static_cast<char>((acc >> 8) & 0xFF));
      out.push_back(static_cast<char>(acc & 0xFF));
      acc = 0;
      symbols = 0;
    }
  }
  if (symbols == 3) {
    acc >>= 2;
    out.push_back(static_cast<char>((acc >> 8) & 0xFF));
    out.push_back(static_cast<char>(acc & 0xFF));
  } else if (symbols == 2) {
    acc >>= 4;
    out.push_back(static_cast<char>(acc & 0xFF));
  }
  return out;
}

// ---- TSettingsStore ----

void TSettingsStore::Create() {
  TObject::Create();
  FStrings.reset(TStringList::New());
  FStrings->CaseSensitive = false;
  FStrings->Duplicates = TDuplicates::dupAccept;
}

void TSettingsStore::Destroy() {
  FStrings.reset();
  TObject::Destroy();
}

void TSettingsStore::LoadFromFile(const String& FileName) {
  if (!FileExists(FileName)) return;
  Owned<TFileStream> stream(TFileStream::New(FileName, static_cast<Word>(fmOpenRead | fmShareDenyWrite)));
  LoadFromStream(stream.get());
}

void TSettingsStore::SaveToFile(const String& FileName) {
  Owned<TFileStream> stream(TFileStream::New(FileName, fmCreate));
  SaveToStream(stream.get());
}

void TSettingsStore::LoadFromStream(TStream* Stream) {
  FStrings->LoadFromStream(*Stream, TTextEncoding::Ansi);
  Reindex();
}

void TSettingsStore::SaveToStream(TStream* Stream) {
  String text = FStrings->GetText();
  bool lossless = true;
  std::string bytes = StringToCodePage(text, CP_ACP, &lossless);
  if (!lossless) bytes = "\xEF\xBB\xBF" + StringToUtf8(text);
  Stream->WriteBytes(bytes);
}

namespace {
// Two names are the same for SameText exactly when their folded forms are equal.
String FoldedName(StringView Name) {
  String folded(Name);
  for (Char& c : folded) c = CharLower(CharUpper(c));
  return folded;
}
}  // namespace

void TSettingsStore::Reindex() {
  FIndex.clear();
  for (Integer i = 0; i < FStrings->Count(); ++i) {
    String line = FStrings->Get(i);
    size_t eq = line.find(u'=');
    // A line without "=" has no name and never matches, not even an empty one.
    if (eq != String::npos) FIndex.emplace(FoldedName(StringView(line).substr(0, eq)), i);
  }
}

void TSettingsStore::ForEachName(const std::function<void(StringView FoldedName)>& Visit) const {
  for (const auto& [name, line] : FIndex) Visit(name);
}

Integer TSettingsStore::IndexOfOption(const String& OptionName) const {
  auto it = FIndex.find(FoldedName(OptionName));
  return it == FIndex.end() ? -1 : it->second;
}

bool TSettingsStore::FindValue(const String& OptionName, String& Value) const {
  Integer index = IndexOfOption(OptionName);
  if (index < 0) return false;
  String line = FStrings->Get(index);
  Value = line.substr(line.find(u'=') + 1);
  return true;
}

double TSettingsStore::GetFloat(const String& OptionName, double Default, double Min, double Max) const {
  double result = Default;
  String value;
  if (FindValue(OptionName, value)) {
    for (Char& c : value)
      if (c != u'-' && (c < u'0' || c > u'9')) c = u'.';
    if (!TryStrToFloat(value, result, PointFormatSettings())) result = Default;
  }
  if (result > Max) result = Max;
  if (result < Min) result = Min;
  return result;
}

Integer TSettingsStore::GetInt(const String& OptionName, Integer Default, Integer Min, Integer Max) const {
  Integer result = Default;
  String value;
  if (FindValue(OptionName, value) && !TryDecimalToInt(value, result)) result = Default;
  if (result > Max) result = Max;
  if (result < Min) result = Min;
  return result;
}

String TSettingsStore::GetStr(const String& OptionName, const String& Default) const {
  String value;
  return FindValue(OptionName, value) ? value : Default;
}

String TSettingsStore::GetText(const String& OptionName, const String& Default) const {
  String value;
  if (!FindValue(OptionName, value)) return Default;
  return Utf8ToString(DecodeBase64(value));
}

void TSettingsStore::SetInt(const String& OptionName, Integer Value) { SetStr(OptionName, IntToStr(Value)); }

void TSettingsStore::SetStr(const String& OptionName, const String& Value) {
  Integer index = IndexOfOption(OptionName);
  if (Value.empty()) {
    if (index >= 0) FStrings->Delete(index);
  } else if (index >= 0) {
    FStrings->Put(index, OptionName + u"=" + Value);
  } else {
    FStrings->Add(OptionName + u"=" + Value);
  }
  Reindex();
}

// ---- the lab's address ----

String LabBaseURL() {
  String base = GetEnvironmentVariable(u"PHOTO_ORDER_LAB_URL");
  if (base.empty()) base = Utf8ToString(PO_DEFAULT_LAB_URL);
  while (!base.empty() && base.back() == u'/') base.pop_back();
  return base;
}

String PriceListURL() { return LabBaseURL() + u"/UserFiles/Image/params3.cfg"; }

// ---- TSettings ----

namespace {
constexpr Integer MaxInt = std::numeric_limits<Integer>::max();
}

void TSettings::Create() {
  TObject::Create();
  FStore.reset(TSettingsStore::New());
}

void TSettings::Destroy() {
  FStore.reset();
  TObject::Destroy();
}

void TSettings::LoadFromStream(TStream* Stream) {
  FStore->LoadFromStream(Stream);
  FNumbered.reset();
}

namespace {

// Takes Prefix and then the number of a key ("city" and "12" of "city12."), as the key builders
// write it: plain decimal from 1 to MaxInt without padding, followed by ".". Other spellings of
// a number name no entry a reader asks for.
bool TakeNumber(StringView& Name, StringView Prefix, Integer& Number) {
  if (Name.substr(0, Prefix.size()) != Prefix) return false;
  size_t i = Prefix.size();
  if (i >= Name.size() || Name[i] < u'1' || Name[i] > u'9') return false;
  Int64 value = 0;
  for (; i < Name.size() && Name[i] >= u'0' && Name[i] <= u'9'; ++i) {
    value = value * 10 + (Name[i] - u'0');
    if (value > MaxInt) return false;
  }
  if (i >= Name.size() || Name[i] != u'.') return false;
  Number = static_cast<Integer>(value);
  Name.remove_prefix(i + 1);
  return true;
}

void SortUnique(std::vector<Integer>& Numbers) {
  std::sort(Numbers.begin(), Numbers.end());
  Numbers.erase(std::unique(Numbers.begin(), Numbers.end()), Numbers.end());
}

// The 0-based indexes of the numbers that are at most Count.
std::vector<Integer> IndexesUpTo(const std::vector<Integer>& Numbers, Integer Count) {
  std::vector<Integer> indexes;
  for (Integer n : Numbers) {
    if (n > Count) break;
    indexes.push_back(n - 1);
  }
  return indexes;
}

}  // namespace

const TSettings::TNumbered& TSettings::Numbered() const {
  if (FNumbered) return *FNumbered;
  auto numbered = std::make_unique<TNumbered>();
  FStore->ForEachName([&](StringView name) {
    Integer n = 0, m = 0;
    if (TakeNumber(name, u"city", n)) {
      numbered->Cities.push_back(n);
      if (TakeNumber(name, u"place", m)) numbered->Places[n].push_back(m);
    } else if (TakeNumber(name, u"size", n)) {
      numbered->Sizes.push_back(n);
    }
  });
  SortUnique(numbered->Cities);
  SortUnique(numbered->Sizes);
  for (auto& [city, places] : numbered->Places) SortUnique(places);
  FNumbered = std::move(numbered);
  return *FNumbered;
}

std::vector<Integer> TSettings::CityIndexes() const { return IndexesUpTo(Numbered().Cities, GetCityCount()); }
std::vector<Integer> TSettings::SizeIndexes() const { return IndexesUpTo(Numbered().Sizes, GetSizeCount()); }

Integer TSettings::GetMinPrice() const { return FStore->GetInt(u"MinPrice", 50, 1, 1000); }
void TSettings::SetMinPrice(Integer Value) { FStore->SetInt(u"MinPrice", Value); }

Integer TSettings::GetCityCount() const { return FStore->GetInt(u"CityCount", 0, 0, MaxInt); }
void TSettings::SetCityCount(Integer Value) { FStore->SetInt(u"CityCount", Value); }
Integer TSettings::GetSizeCount() const { return FStore->GetInt(u"SizeCount", 0, 0, MaxInt); }
void TSettings::SetSizeCount(Integer Value) { FStore->SetInt(u"SizeCount", Value); }

String TSettings::GetUploadScript() const { return FStore->GetStr(u"UploadScript", LabBaseURL() + u"/upload3.php"); }
void TSettings::SetUploadScript(const String& Value) { FStore->SetStr(u"UploadScript", Value); }

String TSettings::GetDownloadURL() const {
  return FStore->GetStr(u"DownloadURL", LabBaseURL() + u"/UserFiles/Image/Selvana.exe");
}
void TSettings::SetDownloadURL(const String& Value) { FStore->SetStr(u"DownloadURL", Value); }

String TSettings::GetLastVersion() const { return FStore->GetStr(u"LastVersion", u"3.0"); }
void TSettings::SetLastVersion(const String& Value) { FStore->SetStr(u"LastVersion", Value); }

String TSettings::CityKey(Integer Index) { return u"City" + IntToStr(Int64{Index} + 1) + u"."; }
String TSettings::PlaceKey(Integer Index) { return u"Place" + IntToStr(Int64{Index} + 1) + u"."; }
String TSettings::SizeKey(Integer Index) { return u"Size" + IntToStr(Int64{Index} + 1) + u"."; }

Owned<TCity> TSettings::GetCity(Integer Index) const {
  Owned<TCity> city(TCity::New());
  String prefix = CityKey(Index);
  city->Name = FStore->GetStr(prefix + u"Name", String());
  const Integer placeCount = FStore->GetInt(prefix + u"PlaceCount", 0, -2147483646, MaxInt);
  // Only numbers with entries: the others make places without a name, which are dropped anyway.
  const auto& places = Numbered().Places;
  auto numbers = Index >= 0 && Index < MaxInt ? places.find(Index + 1) : places.end();
  if (numbers == places.end()) return city;
  for (Integer number : numbers->second) {
    if (number > placeCount) break;
    String key = prefix + PlaceKey(number - 1);
    Owned<TPlace> place(TPlace::New());
    place->Name = FStore->GetStr(key + u"Name", String());
    place->Desc = FStore->GetText(key + u"Desc", String());
    if (place->Valid()) city->Places()->Add(place.release());
  }
  return city;
}

Owned<TPhotoSize> TSettings::GetPhotoSize(Integer Index) const {
  Owned<TPhotoSize> size(TPhotoSize::New());
  String prefix = SizeKey(Index);
  size->Name = FStore->GetStr(prefix + u"Caption", String());
  Integer width = FStore->GetInt(prefix + u"Width", 1000, 100, 12000);
  Integer height = FStore->GetInt(prefix + u"Height", 1000, 100, 12000);
  size->Width = std::max(width, height);
  size->Height = std::min(width, height);
  for (TPaperType paper : AllPaperTypes) size->Prices[paper] = FStore->GetFloat(prefix + PriceKeys[paper], 0, 0, 1000);
  return size;
}

// ---- TPrivateInfo ----

void TPrivateInfo::Create() {
  TObject::Create();
  FStore.reset(TSettingsStore::New());
}

void TPrivateInfo::Destroy() {
  FStore.reset();
  TObject::Destroy();
}

void TPrivateInfo::LoadFromFile() { FStore->LoadFromFile(GetInfoFileName()); }

void TPrivateInfo::SaveToFile() { FStore->SaveToFile(GetInfoFileName()); }

void TPrivateInfo::Store(const String& Key, const String& Value) {
  String flat = Value;
  for (Char& c : flat)
    if (c == u'\r' || c == u'\n') c = u' ';
  FStore->SetStr(Key, flat);
}

void DeleteInfoFile() {
  String fileName = GetInfoFileName();
  if (FileExists(fileName)) DeleteFile(fileName);
  RemoveDir(ExcludeTrailingPathDelimiter(GetAppFolder()));
}

}  // namespace order
