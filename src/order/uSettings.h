#pragma once
// The program's two text files: the price list the lab hands out, and the customer's details
// ("Info.cfg"). Both are Name=Value lines read through TSettingsStore.

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "order/uLists.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Streams.h"

namespace order {

// "." as the decimal separator and no grouping; the store's number reader uses nothing else.
const TFormatSettings& PointFormatSettings();

// Standard Base64 to bytes. Characters outside the alphabet (blanks, line breaks, "=") are
// skipped, so a value wrapped or padded in any way still decodes.
RawBytes DecodeBase64(StringView S);

// Name=Value lines with typed readers. Names are compared without regard to case and the first
// line with a name wins; names and values are never trimmed.
class TSettingsStore : public TObject {
  PF_CLASS(TSettingsStore)
public:
  // Replaces every line by the file's; a missing file leaves the store as it was.
  virtual void LoadFromFile(const String& FileName);
  virtual void SaveToFile(const String& FileName);
  // Reads from the stream's position to its end: a signature selects UTF-8 or UTF-16 (either
  // byte order), otherwise the bytes are in the system's code page; CR LF, LF and CR end lines.
  virtual void LoadFromStream(TStream* Stream);
  // Writes every line followed by CR LF, in the system's code page when every character fits
  // it; otherwise as UTF-8 with a signature, so that no character of the customer's is lost.
  virtual void SaveToStream(TStream* Stream);

  // Numbers fall back to Default when absent or unreadable, and are then clamped to Max, then
  // to Min. GetFloat reads every character that is neither a digit nor "-" as the decimal point,
  // so "12,5" is 12.5.
  double GetFloat(const String& OptionName, double Default, double Min, double Max) const;
  Integer GetInt(const String& OptionName, Integer Default, Integer Min, Integer Max) const;
  String GetStr(const String& OptionName, const String& Default) const;
  // A value kept as Base64 of its UTF-8 bytes.
  String GetText(const String& OptionName, const String& Default) const;
  void SetInt(const String& OptionName, Integer Value);
  // An empty Value removes the entry.
  void SetStr(const String& OptionName, const String& Value);

  Integer LineCount() const { return FStrings->Count(); }
  // Calls Visit once for each name that a lookup can find, with its case folded as lookups fold
  // it ("city1.place2.name" for "CITY1.Place2.Name"); in no particular order.
  void ForEachName(const std::function<void(StringView FoldedName)>& Visit) const;

protected:
  void Create() override;
  void Destroy() override;

private:
  Integer IndexOfOption(const String& OptionName) const;
  bool FindValue(const String& OptionName, String& Value) const;
  // Rebuilt after every change of the lines, so that a reader's lookup does not walk every line:
  // a price list asks for thousands of names, and a forged one for as many as it has lines.
  void Reindex();
  Owned<TStringList> FStrings;
  // The first line of each name, by the name with its case folded.
  std::unordered_map<String, Integer> FIndex;
};

// The lab's base address (scheme, host, port) without a trailing "/": PHOTO_ORDER_LAB_URL, or
// the address the program was built with.
String LabBaseURL();
// Where the price list is fetched from.
String PriceListURL();

inline const String PriceKeys[PaperTypeCount] = {u"Glossy.Price", u"Matte.Price", u"Silk.Price",
                                                 u"Pearl.Price"};

// The price list.
class TSettings : public TObject {
  PF_CLASS(TSettings)
public:
  void LoadFromStream(TStream* Stream);

  Integer GetMinPrice() const;
  void SetMinPrice(Integer Value);
  // The counts as the list gives them. A count says how far the numbering goes, not how many
  // entries there are: walk CityIndexes() and SizeIndexes() instead of every number below it.
  Integer GetCityCount() const;
  void SetCityCount(Integer Value);
  Integer GetSizeCount() const;
  void SetSizeCount(Integer Value);
  String GetUploadScript() const;
  void SetUploadScript(const String& Value);
  String GetDownloadURL() const;
  void SetDownloadURL(const String& Value);
  String GetLastVersion() const;
  void SetLastVersion(const String& Value);

  // A new city or print size built from the entries numbered Index + 1; not yet validated (the
  // lists do that when they take it).
  Owned<TCity> GetCity(Integer Index) const;
  Owned<TPhotoSize> GetPhotoSize(Integer Index) const;

  // The indexes below CityCount (SizeCount) whose city (size) has at least one entry in the list,
  // ascending. A number without entries builds a city or size with no name, which the lists drop,
  // so walking these gives what walking every index would, in work bounded by the list's length
  // however large the count.
  std::vector<Integer> CityIndexes() const;
  std::vector<Integer> SizeIndexes() const;

  static String CityKey(Integer Index);
  static String PlaceKey(Integer Index);
  static String SizeKey(Integer Index);

protected:
  void Create() override;
  void Destroy() override;

private:
  // Which numbered cities, places and sizes have entries: read from the names once per load.
  struct TNumbered {
    std::vector<Integer> Cities;                                  // numbers, ascending
    std::unordered_map<Integer, std::vector<Integer>> Places;     // city number: place numbers
    std::vector<Integer> Sizes;                                   // numbers, ascending
  };
  const TNumbered& Numbered() const;
  Owned<TSettingsStore> FStore;
  mutable std::unique_ptr<TNumbered> FNumbered;
};

// The customer's details, kept in "Info.cfg" of the application folder.
class TPrivateInfo : public TObject {
  PF_CLASS(TPrivateInfo)
public:
  // A missing file leaves every field empty.
  void LoadFromFile();
  void SaveToFile();

  // Line breaks in a value become blanks when it is stored, so that a pasted value cannot add
  // lines of its own to the file. An empty value removes the entry.
  String GetFirstName() const { return FStore->GetStr(u"FirstName", String()); }
  void SetFirstName(const String& Value) { Store(u"FirstName", Value); }
  String GetSecondName() const { return FStore->GetStr(u"SecondName", String()); }
  void SetSecondName(const String& Value) { Store(u"SecondName", Value); }
  String GetThirdName() const { return FStore->GetStr(u"ThirdName", String()); }
  void SetThirdName(const String& Value) { Store(u"ThirdName", Value); }
  String GetPhone() const { return FStore->GetStr(u"Phone", String()); }
  void SetPhone(const String& Value) { Store(u"Phone", Value); }
  String GetEMail() const { return FStore->GetStr(u"EMail", String()); }
  void SetEMail(const String& Value) { Store(u"EMail", Value); }

protected:
  void Create() override;
  void Destroy() override;

private:
  void Store(const String& Key, const String& Value);
  Owned<TSettingsStore> FStore;
};

// Forgets the customer: deletes "Info.cfg" and removes the application folder when that leaves
// it empty. A missing file, or a folder that still holds something (profile folders, say), is
// not an error.
void DeleteInfoFile();

}  // namespace order
