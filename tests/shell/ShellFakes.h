#pragma once
// Scripted stand-ins for the shell's folder, column and context-menu interfaces, and an item that
// takes them in place of the desktop's, so that every fallback of the library can be reached.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ShellTestEnv.h"

namespace shelltest {

// Counts references; the test owns the object on the stack and checks nothing is left held.
template <class Base>
class TStackCom : public Base {
public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = Lookup(iid);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++Refs; }
  ULONG Release() override { return --Refs; }
  int Refs{0};

protected:
  virtual void* Lookup(REFIID iid) = 0;
};

inline void PutText(const String& s, STRRET& out) {
  auto* p = static_cast<Char*>(CoTaskMemAlloc((s.size() + 1) * sizeof(Char)));
  std::copy(s.begin(), s.end(), p);
  p[s.size()] = 0;
  out.uType = STRRET_WSTR;
  out.pOleStr = p;
}

// Columns as a script gives them: `Count` columns (-1: every index answers), titles "T<i>",
// formats and states from the tables, item texts "v<i>" except in `FailItemColumns`.
struct TColumnScript {
  int Count{0};
  bool FailAll{false};
  std::vector<int> Formats;
  std::vector<std::optional<DWORD>> States;  // nothing: the call fails
  std::vector<int> FailItemColumns;
  mutable int ItemCalls{0};

  HRESULT Details(const ITEMIDLIST* pidl, UINT col, SHELLDETAILS* d) const {
    if (FailAll || (Count >= 0 && static_cast<int>(col) >= Count)) return E_FAIL;
    if (pidl) {
      ++ItemCalls;
      for (int f : FailItemColumns)
        if (f == static_cast<int>(col)) return E_FAIL;
    }
    d->fmt = col < Formats.size() ? Formats[col] : 0;
    PutText((pidl ? u"v" : u"T") + IntToStr(static_cast<Integer>(col)), d->str);
    return S_OK;
  }
};

class TFakeDetails final : public TStackCom<IShellDetails> {
public:
  TColumnScript Script;
  HRESULT GetDetailsOf(const ITEMIDLIST* pidl, UINT col, SHELLDETAILS* d) override { return Script.Details(pidl, col, d); }
  HRESULT ColumnClick(UINT) override { return E_NOTIMPL; }

protected:
  void* Lookup(REFIID iid) override {
    return iid == IUnknown::Iid || iid == IShellDetails::Iid ? static_cast<IShellDetails*>(this) : nullptr;
  }
};

// A folder that answers its items' attributes with `Attributes`, its columns by script and its
// context menu with `Menu`.
class TFakeFolder final : public TStackCom<IShellFolder2> {
public:
  TColumnScript Script;
  DWORD Attributes{0};
  IContextMenu* Menu{nullptr};
  HRESULT ParseDisplayName(HWND, void*, const Char*, ULONG*, PItemIDList*, ULONG*) override { return E_NOTIMPL; }
  HRESULT EnumObjects(HWND, DWORD, IEnumIDList**) override { return E_NOTIMPL; }
  HRESULT BindToObject(const ITEMIDLIST*, void*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT BindToStorage(const ITEMIDLIST*, void*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT CompareIDs(LPARAM, const ITEMIDLIST*, const ITEMIDLIST*) override { return E_NOTIMPL; }
  HRESULT CreateViewObject(HWND, REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT GetAttributesOf(UINT, const ITEMIDLIST**, DWORD* inOut) override {
    *inOut &= Attributes;
    return S_OK;
  }
  HRESULT GetUIObjectOf(HWND, UINT, const ITEMIDLIST**, REFIID iid, UINT*, void** out) override {
    *out = nullptr;
    if (Menu && (iid == IContextMenu::Iid)) return Menu->QueryInterface(iid, out);
    return E_NOINTERFACE;
  }
  HRESULT GetDisplayNameOf(const ITEMIDLIST*, DWORD, STRRET*) override { return E_NOTIMPL; }
  HRESULT SetNameOf(HWND, const ITEMIDLIST*, const Char*, DWORD, PItemIDList*) override { return E_NOTIMPL; }
  HRESULT GetDefaultColumnState(UINT col, DWORD* flags) override {
    if (col >= Script.States.size() || !Script.States[col]) return E_FAIL;
    *flags = *Script.States[col];
    return S_OK;
  }
  HRESULT GetDetailsEx(const ITEMIDLIST*, const SHCOLUMNID*, void*) override { return E_NOTIMPL; }
  HRESULT GetDetailsOf(const ITEMIDLIST* pidl, UINT col, SHELLDETAILS* d) override { return Script.Details(pidl, col, d); }
  // Column i maps to the storage property 100 + i.
  HRESULT MapColumnToSCID(UINT col, SHCOLUMNID* scid) override {
    if (Script.Count >= 0 && static_cast<int>(col) >= Script.Count) return E_FAIL;
    scid->fmtid = FMTID_Storage;
    scid->pid = 100 + col;
    return S_OK;
  }

protected:
  void* Lookup(REFIID iid) override {
    if (iid == IUnknown::Iid || iid == IShellFolder::Iid || iid == IShellFolder2::Iid)
      return static_cast<IShellFolder2*>(this);
    return nullptr;
  }
};

// Categories of even properties only; each property is its own category, named after it; the
// default is property 102.
class TFakeCategories final : public TStackCom<ICategoryProvider> {
public:
  HRESULT CanCategorizeOnSCID(const SHCOLUMNID* scid) override { return scid->pid % 2 == 0 ? S_OK : S_FALSE; }
  HRESULT GetDefaultCategory(GUID* guid, SHCOLUMNID* scid) override {
    *guid = GUID{};
    scid->fmtid = FMTID_Storage;
    scid->pid = 102;
    return S_OK;
  }
  HRESULT GetCategoryForSCID(const SHCOLUMNID* scid, GUID* guid) override {
    *guid = GUID{scid->pid, 0, 0, {}};
    return S_OK;
  }
  HRESULT EnumCategories(IUnknown**) override { return E_NOTIMPL; }
  HRESULT GetCategoryName(const GUID* guid, Char* name, UINT capacity) override {
    String s = u"Группа " + IntToStr(static_cast<Integer>(guid->Data1));
    if (s.size() + 1 > capacity) return E_FAIL;
    std::copy(s.begin(), s.end(), name);
    name[s.size()] = 0;
    return S_OK;
  }
  HRESULT CreateCategory(const GUID*, REFIID, void**) override { return E_NOTIMPL; }

protected:
  void* Lookup(REFIID iid) override {
    return iid == IUnknown::Iid || iid == ICategoryProvider::Iid ? static_cast<ICategoryProvider*>(this) : nullptr;
  }
};

// A context menu that writes down what it is asked. Its items: "open", "copy" (the default),
// "delete", and one item whose verb it cannot name; it reserves `Reserved` identifiers. Without
// `Menu3` it is a menu of the second kind only; `DuringInvoke` runs inside a command.
class TRecordingMenu final : public TStackCom<IContextMenu3> {
public:
  struct TInvoke {
    DWORD Size{0};
    DWORD Mask{0};
    std::string Verb;  // "#n" for a command offset
    std::string VerbW;
    int Show{0};
  };
  std::vector<std::string> Log;
  std::vector<TInvoke> Invoked;
  std::vector<UINT> QueryFlags;
  UINT Reserved{4};
  HRESULT InvokeAnswer{S_OK};
  bool Menu3{true};
  bool AnsiOnly{false};  // names its verbs in 8 bits only
  bool DefaultDisabled{false};
  std::function<void()> DuringInvoke;

  HRESULT QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT flags) override {
    QueryFlags.push_back(flags);
    AppendMenu(menu, MF_STRING, first + 0, u"Open");
    AppendMenu(menu, MF_STRING, first + 1, u"Copy");
    SetMenuDefaultItem(menu, first + 1, 0);
    if (DefaultDisabled) EnableMenuItem(menu, first + 1, MF_BYCOMMAND | MF_GRAYED);
    AppendMenu(menu, MF_STRING, first + 2, u"Delete");
    AppendMenu(menu, MF_STRING, first + 3, u"Mystery");
    (void)index;
    Log.push_back("query");
    return MakeMenuResult(Reserved);
  }
  HRESULT InvokeCommand(CMINVOKECOMMANDINFOEX* info) override {
    TInvoke r;
    r.Size = info->cbSize;
    r.Mask = info->fMask;
    r.Show = info->nShow;
    r.Verb = IsVerbOffset(info->lpVerb) ? "#" + std::to_string(VerbOffset(info->lpVerb)) : std::string(info->lpVerb);
    if (info->lpVerbW)
      r.VerbW = IsVerbOffset(info->lpVerbW) ? "#" + std::to_string(VerbOffset(info->lpVerbW))
                                            : ToNativePath(String(info->lpVerbW));
    Invoked.push_back(r);
    if (DuringInvoke) DuringInvoke();
    Log.push_back("invoke");
    return InvokeAnswer;
  }
  HRESULT GetCommandString(UINT_PTR id, UINT type, UINT*, void* name, UINT capacity) override {
    static const char* verbs[] = {"open", "copy", "delete"};
    if (id >= 3 || capacity < 16 || (AnsiOnly && (type == GCS_VERBW || type == GCS_HELPTEXTW))) return E_INVALIDARG;
    std::string text = type == GCS_HELPTEXTW || type == GCS_HELPTEXTA ? std::string("help ") + verbs[id] : verbs[id];
    if (type == GCS_VERBW || type == GCS_HELPTEXTW) {
      auto* w = static_cast<Char*>(name);
      for (size_t i = 0; i <= text.size(); ++i) w[i] = static_cast<Char>(i < text.size() ? text[i] : 0);
    } else {
      std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<char*>(name));
    }
    return S_OK;
  }
  HRESULT HandleMenuMsg(UINT msg, WPARAM, LPARAM) override {
    Log.push_back("msg " + std::to_string(msg));
    return S_OK;
  }
  HRESULT HandleMenuMsg2(UINT msg, WPARAM, LPARAM, LRESULT*) override {
    Log.push_back("msg2 " + std::to_string(msg));
    return S_OK;
  }

protected:
  void* Lookup(REFIID iid) override {
    if (iid == IUnknown::Iid || iid == IContextMenu::Iid || iid == IContextMenu2::Iid ||
        (Menu3 && iid == IContextMenu3::Iid))
      return static_cast<IContextMenu3*>(this);
    return nullptr;
  }
};

// An item whose folders are the fakes given (nil: the desktop's own).
class TFakeItem : public TNamespace {
  PF_CLASS(TFakeItem)
public:
  IShellFolder2* Own{nullptr};
  IShellFolder2* ParentFolder{nullptr};  // the parent's columns
  IShellFolder* ParentShell{nullptr};     // the parent folder for everything else
  IShellDetails* OwnDetails{nullptr};
  IShellDetails* ParentDetails{nullptr};
  bool NoParentFolder2{false};
  ICategoryProvider* Categories{nullptr};

  ComPtr<IShellFolder2> GetShellFolder2() override { return Own ? ComPtr<IShellFolder2>(Own) : nullptr; }
  ComPtr<IShellDetails> GetShellDetailsInterface() override {
    return OwnDetails ? ComPtr<IShellDetails>(OwnDetails) : nullptr;
  }
  ComPtr<IShellFolder2> GetParentShellFolder2() override {
    if (NoParentFolder2) return nullptr;
    return ParentFolder ? ComPtr<IShellFolder2>(ParentFolder) : TNamespace::GetParentShellFolder2();
  }
  ComPtr<ICategoryProvider> GetCategoryProviderInterface() override {
    return Categories ? ComPtr<ICategoryProvider>(Categories) : nullptr;
  }
  ComPtr<IShellDetails> GetParentShellDetailsInterface() override {
    return ParentDetails ? ComPtr<IShellDetails>(ParentDetails) : nullptr;
  }
  ComPtr<IShellFolder> GetParentShellFolder() override {
    return ParentShell ? ComPtr<IShellFolder>(ParentShell) : TNamespace::GetParentShellFolder();
  }
};

}  // namespace shelltest
