#pragma once
// Lists and string lists of the class library.

#include <functional>
#include <vector>

#include "platform/rtl/Object.h"
#include "platform/rtl/Set.h"
#include "platform/rtl/Streams.h"

namespace pf {

using TNotifyEvent = std::function<void(TObject* Sender)>;

// The keys and buttons held with a key or mouse event, for every library built on the class
// library (one type, so that a control of another library overrides TControl's mouse methods).
enum class TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem>;

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// An item's object slot also carries small integers (a paper's ordinal, say).
inline TObject* IntToObject(intptr_t v) { return reinterpret_cast<TObject*>(v); }
inline intptr_t ObjectToInt(const TObject* o) { return reinterpret_cast<intptr_t>(o); }

// Text encodings the string lists read and write.
enum class TTextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

class TStrings : public TObject {
public:
  virtual Integer Count() const = 0;
  virtual String Get(Integer index) const = 0;
  virtual void Put(Integer index, const String& s) = 0;
  virtual TObject* GetObject(Integer index) const = 0;
  virtual void PutObject(Integer index, TObject* obj) = 0;
  virtual void Insert(Integer index, const String& s) = 0;
  virtual void Delete(Integer index) = 0;
  virtual void Clear() = 0;

  virtual Integer Add(const String& s);
  virtual Integer AddObject(const String& s, TObject* obj);
  void AddStrings(const TStrings& other);
  void Assign(const TStrings& other);
  virtual Integer IndexOf(const String& s) const;
  Integer IndexOfName(const String& name) const;
  Integer IndexOfObject(const TObject* obj) const;

  // Name=Value access: the name is the text before the first NameValueSeparator, unchanged.
  String GetName(Integer index) const;
  String GetValueFromIndex(Integer index) const;
  String GetValue(const String& name) const;
  void SetValue(const String& name, const String& value);  // empty value deletes the line

  // Lines joined with CR LF after each; setting splits at CR LF, LF or CR.
  String GetText() const;
  void SetText(const String& text);
  String GetCommaText() const;

  void BeginUpdate();
  void EndUpdate();
  Integer UpdateCount() const { return FUpdateCount; }

  // Reading takes a signature (UTF-8, UTF-16 LE/BE) when there is one, else `fallback`.
  void LoadFromStream(TStream& stream, TTextEncoding fallback = TTextEncoding::Ansi);
  void LoadFromFile(const String& fileName, TTextEncoding fallback = TTextEncoding::Ansi);
  // Writing: CR LF after every line; a signature only for the Unicode encodings when asked.
  void SaveToStream(TStream& stream, TTextEncoding encoding = TTextEncoding::Ansi,
                    bool writeSignature = false) const;
  void SaveToFile(const String& fileName, TTextEncoding encoding = TTextEncoding::Ansi,
                  bool writeSignature = false) const;

  bool CaseSensitive{false};
  Char NameValueSeparator{u'='};
  TNotifyEvent OnChange;

protected:
  virtual void SetUpdateState(bool /*updating*/) {}
  virtual int CompareStrings(const String& a, const String& b) const;
  void Changed();

private:
  Integer FUpdateCount{0};
};

// BeginUpdate for one scope; EndUpdate even when the work raises.
class TStringsUpdate {
public:
  explicit TStringsUpdate(TStrings& strings) : FStrings(strings) { FStrings.BeginUpdate(); }
  ~TStringsUpdate() { FStrings.EndUpdate(); }
  TStringsUpdate(const TStringsUpdate&) = delete;
  TStringsUpdate& operator=(const TStringsUpdate&) = delete;

private:
  TStrings& FStrings;
};

class TStringList : public TStrings {
  PF_CLASS(TStringList)
public:
  Integer Count() const override { return static_cast<Integer>(FItems.size()); }
  String Get(Integer index) const override;
  void Put(Integer index, const String& s) override;
  TObject* GetObject(Integer index) const override;
  void PutObject(Integer index, TObject* obj) override;
  void Insert(Integer index, const String& s) override;
  void Delete(Integer index) override;
  void Clear() override;
  Integer Add(const String& s) override;
  Integer AddObject(const String& s, TObject* obj) override;
  Integer IndexOf(const String& s) const override;

  void Sort();
  bool GetSorted() const { return FSorted; }
  void SetSorted(bool v);
  TDuplicates Duplicates{TDuplicates::dupIgnore};
  bool OwnsObjects{false};

protected:
  void Create() override {}
  void Destroy() override;

private:
  struct Item {
    String S;
    TObject* Obj{nullptr};
  };
  void CheckIndex(Integer index) const;
  bool Find(const String& s, Integer& index) const;
  std::vector<Item> FItems;
  bool FSorted{false};
};

// An owning list of objects (the class library's TObjectList with OwnsObjects).
template <class T>
class TObjectList {
public:
  TObjectList() = default;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;
  ~TObjectList() { Clear(); }

  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  T* operator[](Integer i) const { return FItems.at(static_cast<size_t>(i)); }
  T* Items(Integer i) const { return (*this)[i]; }
  Integer Add(T* item) {
    FItems.push_back(item);
    return Count() - 1;
  }
  void Delete(Integer i) {
    T* p = FItems.at(static_cast<size_t>(i));
    FItems.erase(FItems.begin() + i);
    pf::Free(p);
  }
  T* Extract(Integer i) {
    T* p = FItems.at(static_cast<size_t>(i));
    FItems.erase(FItems.begin() + i);
    return p;
  }
  Integer IndexOf(const T* item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i] == item) return static_cast<Integer>(i);
    return -1;
  }
  void Clear() {
    std::vector<T*> items;
    items.swap(FItems);
    for (T* p : items) pf::Free(p);
  }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

private:
  std::vector<T*> FItems;
};

}  // namespace pf
