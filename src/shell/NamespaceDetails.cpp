// TNamespace: the details columns of a folder and an item's text in each of them, cached per item
// and column.

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"
#include "shell/ShellUtilities.h"

namespace shell {

namespace {

// A column handler that answers for every index would be counted without end; the count stops
// here for every source, and a count that reaches it means the handler cannot be trusted.
constexpr Integer kColumnCap = 1000;

template <class Source>
Integer CountColumns(Source* source) {
  Integer count = 0;
  try {
    while (count < kColumnCap) {
      SHELLDETAILS d;
      if (FAILED(source->GetDetailsOf(nullptr, static_cast<UINT>(count), &d))) break;
      common::StrRetToWide(d.str, nullptr);  // frees the text
      ++count;
    }
  } catch (...) {
    // A handler that raised ends the count where it was.
  }
  return count >= kColumnCap ? 0 : count;
}

struct TErrorModeGuard {
  UINT Old;
  TErrorModeGuard() : Old(SetErrorMode(0x8001)) {}
  ~TErrorModeGuard() { SetErrorMode(Old); }
};

String VariantText(const TShellVariant& v) {
  switch (v.vt & ~VT_ARRAY) {
    case VT_BSTR: return v.Text;
    case VT_I8:
    case VT_UI4: return IntToStr(v.Number);
    case VT_DATE: {
      const TFormatSettings& fs = FormatSettings();
      return v.Date == 0 ? String() : FormatDateTime(fs.ShortDateFormat + u" " + fs.LongTimeFormat, v.Date);
    }
    default: return String();
  }
}

}  // namespace

// Items of a library answer through the library's own item for the same path.
TNamespace* TNamespace::LibraryDelegate() {
  if (!GetFileSystem() || !GetIsLibraryChild()) return nullptr;
  TNamespace* d = GetDelagateNS();
  return d == this ? nullptr : d;
}

void TNamespace::SizeDetailsCache() {
  if (FShellCache.ShellCacheFlags.Contains(TShellCache::scDetailsOfCache)) return;
  TNamespace* parent = GetParent();
  Integer n = parent ? parent->DetailsSupportedColumns() : 0;
  FShellCache.Data.DetailsOfCache.assign(static_cast<size_t>(std::max<Integer>(n, 0)), TDetailsOfCacheRec{});
  FShellCache.ShellCacheFlags.Include(TShellCache::scDetailsOfCache);
}

Integer TNamespace::DetailsSupportedColumns() {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsSupportedColumns();
  if (!FShellCache.ShellCacheFlags.Contains(TShellCache::scSupportedColumns)) {
    Integer count = 0;
    ComPtr<IShellFolder2> folder2 = GetShellFolder2();
    ComPtr<IShellDetails> details;
    if (folder2) count = CountColumns(folder2.Get());
    if (count < 1) {
      details = GetShellDetailsInterface();
      if (details) count = CountColumns(details.Get());
    }
    if (!folder2 && !details) count = DetailsDefaultSupportedColumns();
    FShellCache.Data.SupportedColumns = count;
    FShellCache.ShellCacheFlags.Include(TShellCache::scSupportedColumns);
  }
  return FShellCache.Data.SupportedColumns;
}

Integer TNamespace::DetailsDefaultSupportedColumns() {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsDefaultSupportedColumns();
  return 5;
}

bool TNamespace::DetailsValidIndex(Integer detailsIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsValidIndex(detailsIndex);
  return detailsIndex >= 0 && detailsIndex < DetailsSupportedColumns();
}

String TNamespace::DetailsColumnTitle(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsColumnTitle(columnIndex);
  if (!DetailsValidIndex(columnIndex)) return String();
  SHELLDETAILS sd;
  UINT col = static_cast<UINT>(columnIndex);
  if (ComPtr<IShellFolder2> f2 = GetShellFolder2(); f2 && SUCCEEDED(f2->GetDetailsOf(nullptr, col, &sd)))
    return common::StrRetToWide(sd.str, FRelativePIDL);
  if (ComPtr<IShellDetails> sdi = GetShellDetailsInterface(); sdi && SUCCEEDED(sdi->GetDetailsOf(nullptr, col, &sd)))
    return common::StrRetToWide(sd.str, FRelativePIDL);
  return DetailsDefaultColumnTitle(columnIndex);
}

String TNamespace::DetailsDefaultColumnTitle(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsDefaultColumnTitle(columnIndex);
  static const Char* const titles[] = {u"Name",    u"Size", u"Type",     u"Modified", u"Attributes",
                                       u"Created", u"Accessed", u"Path", u"DOS Name", u"Custom"};
  if (columnIndex == -1) return u"Name";
  if (columnIndex < 0 || columnIndex > 9) return String();
  return titles[columnIndex];
}

TAlignment TNamespace::DetailsAlignment(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsAlignment(columnIndex);
  TNamespace* parent = GetParent();
  if (!parent || !parent->DetailsValidIndex(columnIndex)) return TAlignment::taLeftJustify;
  SHELLDETAILS sd;
  UINT col = static_cast<UINT>(columnIndex);
  bool ok = false;
  if (ComPtr<IShellFolder2> f2 = GetShellFolder2()) ok = SUCCEEDED(f2->GetDetailsOf(nullptr, col, &sd));
  if (!ok)
    if (ComPtr<IShellDetails> sdi = GetShellDetailsInterface()) ok = SUCCEEDED(sdi->GetDetailsOf(nullptr, col, &sd));
  if (!ok) return TAlignment::taLeftJustify;
  common::StrRetToWide(sd.str, nullptr);
  switch (sd.fmt) {
    case 1: return TAlignment::taRightJustify;
    case 2: return TAlignment::taCenter;
    default: return TAlignment::taLeftJustify;
  }
}

TSHColumnStates TNamespace::DetailsGetDefaultColumnState(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsGetDefaultColumnState(columnIndex);
  TNamespace* parent = GetParent();
  if (!parent || !parent->DetailsValidIndex(columnIndex)) return TSHColumnStates();
  SizeDetailsCache();
  auto& cache = FShellCache.Data.DetailsOfCache;
  if (static_cast<size_t>(columnIndex) >= cache.size()) return TSHColumnStates();
  TDetailsOfCacheRec& rec = cache[static_cast<size_t>(columnIndex)];
  if (!rec.Cached.Contains(TDetailsOfCacheFlag::docStatesValid)) {
    TSHColumnStates states;
    DWORD flags = 0;
    ComPtr<IShellFolder2> f2 = GetShellFolder2();
    if (f2 && SUCCEEDED(f2->GetDefaultColumnState(static_cast<UINT>(columnIndex), &flags))) {
      switch (flags & 0xF) {
        case 1: states.Include(TSHColumnState::csTypeString); break;
        case 2: states.Include(TSHColumnState::csTypeInt); break;
        case 3: states.Include(TSHColumnState::csTypeDate); break;
        default: break;
      }
      if (flags & 0x10) states.Include(TSHColumnState::csOnByDefault);
      if (flags & 0x20) states.Include(TSHColumnState::csSlow);
      if (flags & 0x40) states.Include(TSHColumnState::csExtended);
      if (flags & 0x80) states.Include(TSHColumnState::csSecondaryUI);
      if (flags & 0x100) states.Include(TSHColumnState::csHidden);
    } else {
      states.Include(TSHColumnState::csOnByDefault);
    }
    rec.States = states;
    rec.Cached.Include(TDetailsOfCacheFlag::docStatesValid);
  }
  return rec.States;
}

String TNamespace::DetailsOf(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsOf(columnIndex);
  TNamespace* parent = GetParent();
  if (!parent || !parent->DetailsValidIndex(columnIndex)) return String();
  TErrorModeGuard errorMode;
  if (IsDesktop() || !GetParentShellFolder()) return String();
  SizeDetailsCache();
  auto& cache = FShellCache.Data.DetailsOfCache;
  if (static_cast<size_t>(columnIndex) >= cache.size()) return String();
  if (cache[static_cast<size_t>(columnIndex)].Cached.Contains(TDetailsOfCacheFlag::docCaptionValid))
    return cache[static_cast<size_t>(columnIndex)].Caption;
  if (columnIndex == 0) return GetNameInFolder();
  String text;
  SHELLDETAILS sd;
  UINT col = static_cast<UINT>(columnIndex);
  ComPtr<IShellFolder2> f2 = GetParentShellFolder2();
  ComPtr<IShellDetails> sdi;
  if (f2) {
    if (SUCCEEDED(f2->GetDetailsOf(FRelativePIDL, col, &sd))) {
      text = common::StrRetToWide(sd.str, FRelativePIDL);
    } else if ((sdi = GetParentShellDetailsInterface()) && SUCCEEDED(sdi->GetDetailsOf(FRelativePIDL, col, &sd))) {
      text = common::StrRetToWide(sd.str, FRelativePIDL);
    } else {
      text = DetailsDefaultOf(columnIndex);
    }
  } else if ((sdi = GetParentShellDetailsInterface())) {
    if (SUCCEEDED(sdi->GetDetailsOf(FRelativePIDL, col, &sd))) text = common::StrRetToWide(sd.str, FRelativePIDL);
  } else {
    text = DetailsDefaultOf(columnIndex);
  }
  // In the computer folder only drives have more than a name and a type; a drive's root is a mount
  // point here, or a drive letter's root as the other platform names it.
  if (parent->IsMyComputer() && columnIndex > 1) {
    String name = GetNameForParsing();
    if (!common::IsDriveRoot(name) && !common::IsMountRoot(name)) text.clear();
  }
  TDetailsOfCacheRec& rec = cache[static_cast<size_t>(columnIndex)];
  rec.Caption = text;
  rec.Cached.Include(TDetailsOfCacheFlag::docCaptionValid);
  return text;
}

String TNamespace::DetailsDefaultOf(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsDefaultOf(columnIndex);
  LoadWin32FindData();
  bool fileData = FWin32FindDataW && FWin32FindDataW->cFileName[0] != 0 && FWin32FindDataW->cFileName[0] != 8 &&
                  GetFileSystem();
  switch (columnIndex) {
    case -1:
    case 0: return GetNameInFolder();
    case 1: return GetSizeOfFileKB();
    case 2: return fileData ? GetFileType() : String(u"System Folder");
    case 3: return GetLastWriteTime();
    case 4: return GetAttributesString();
    default: return String();
  }
}

String TNamespace::DetailsOfEx(Integer columnIndex) {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsOfEx(columnIndex);
  ComPtr<IShellFolder2> f2 = GetParentShellFolder2();
  SHCOLUMNID scid;
  if (!f2 || columnIndex < 0 || FAILED(f2->MapColumnToSCID(static_cast<UINT>(columnIndex), &scid))) return String();
  TShellVariant v;
  if (FAILED(f2->GetDetailsEx(FRelativePIDL, &scid, &v))) return String();
  if (v.vt == VT_EMPTY || v.vt == VT_NULL) return String();
  if (v.vt & VT_ARRAY) {
    String last;
    for (const TShellVariant& e : v.Array) last = VariantText(e);
    return last;
  }
  return VariantText(v);
}

TVisibleColumnIndexArray TNamespace::DetailsSupportedVisibleColumns() {
  if (TNamespace* d = LibraryDelegate()) return d->DetailsSupportedVisibleColumns();
  TVisibleColumnIndexArray r;
  TNamespace* parent = GetParent();
  if (!parent) return r;
  for (Integer i = 0; i < parent->DetailsSupportedColumns(); ++i)
    if (DetailsGetDefaultColumnState(i).Contains(TSHColumnState::csOnByDefault) && !DetailsColumnTitle(i).empty())
      r.push_back(i);
  return r;
}

bool TNamespace::GetDetailThreadLoaded(Integer column) {
  SizeDetailsCache();
  auto& c = FShellCache.Data.DetailsOfCache;
  return column >= 0 && static_cast<size_t>(column) < c.size() &&
         c[static_cast<size_t>(column)].Cached.Contains(TDetailsOfCacheFlag::docThreadLoaded);
}

bool TNamespace::GetDetailThreadLoading(Integer column) {
  SizeDetailsCache();
  auto& c = FShellCache.Data.DetailsOfCache;
  return column >= 0 && static_cast<size_t>(column) < c.size() &&
         c[static_cast<size_t>(column)].Cached.Contains(TDetailsOfCacheFlag::docThreadLoading);
}

void TNamespace::SetDetailThreadLoaded(Integer column, bool v) {
  SizeDetailsCache();
  auto& c = FShellCache.Data.DetailsOfCache;
  if (column < 0 || static_cast<size_t>(column) >= c.size()) return;
  if (v) c[static_cast<size_t>(column)].Cached.Include(TDetailsOfCacheFlag::docThreadLoaded);
  else c[static_cast<size_t>(column)].Cached.Exclude(TDetailsOfCacheFlag::docThreadLoaded);
}

void TNamespace::SetDetailThreadLoading(Integer column, bool v) {
  SizeDetailsCache();
  auto& c = FShellCache.Data.DetailsOfCache;
  if (column < 0 || static_cast<size_t>(column) >= c.size()) return;
  if (v) c[static_cast<size_t>(column)].Cached.Include(TDetailsOfCacheFlag::docThreadLoading);
  else c[static_cast<size_t>(column)].Cached.Exclude(TDetailsOfCacheFlag::docThreadLoading);
}

Integer TNamespace::CategoryCount() {
  if (FCatInfo.CategoryCount != 0) return FCatInfo.CategoryCount;
  ComPtr<IShellFolder2> folder2 = GetShellFolder2();
  ComPtr<ICategoryProvider> provider = GetCategoryProviderInterface();
  TNamespace* parent = GetParent();
  if (!folder2 || !provider || !parent) return 0;
  Integer n = std::max<Integer>(parent->DetailsSupportedColumns(), 0);
  TCategoriesInfo& c = FCatInfo;
  size_t size = static_cast<size_t>(n);
  c.ColumnID.assign(size, SHCOLUMNID{});
  c.CatGUID.assign(size, GUID{});
  c.CategoryNames.assign(size, String());
  c.Categories.assign(size, TCategoryInfo{});
  c.CanCatatorize.assign(size, false);
  c.CategoryCount = n;
  c.DefaultColumn = -1;
  for (size_t i = 0; i < size; ++i) {
    if (FAILED(folder2->MapColumnToSCID(static_cast<UINT>(i), &c.ColumnID[i]))) continue;
    c.CanCatatorize[i] = provider->CanCategorizeOnSCID(&c.ColumnID[i]) == S_OK;
    if (FAILED(provider->GetCategoryForSCID(&c.ColumnID[i], &c.CatGUID[i]))) continue;
    // Columns that share a category each get its name.
    Char name[260]{};
    if (SUCCEEDED(provider->GetCategoryName(&c.CatGUID[i], name, 260))) {
      name[259] = 0;
      c.CategoryNames[i] = name;
    }
  }
  GUID guid{};
  SHCOLUMNID key;
  if (SUCCEEDED(provider->GetDefaultCategory(&guid, &key)))
    for (size_t i = 0; i < size; ++i)
      if (c.ColumnID[i].fmtid == key.fmtid && c.ColumnID[i].pid == key.pid) {
        c.DefaultColumn = static_cast<Integer>(i);
        break;
      }
  return c.CategoryCount;
}

}  // namespace shell
