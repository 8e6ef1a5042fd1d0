#pragma once
// Item ID lists: the manager that does their arithmetic with memory of the shell's task allocator,
// and a list of them that goes to and from a stream; the stream helper of the list view's stream,
// the theme handles of one window and the cache of check-box sizes. The unit also owns the global
// font of the check-box glyphs and the canvas control (CommonCanvasControl.h).

#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Theme.h"
#include "platform/kernel/KernelApi.h"
#include "platform/ole/Com.h"
#include "platform/rtl/Streams.h"

namespace pf {
class TWinControl;
}

namespace common {

using namespace pf;

class TCommonPIDLManager : public TObject {
  PF_CLASS(TCommonPIDLManager)
public:
  IMalloc* GetMalloc() const { return FMalloc.Get(); }

  Integer PIDLSize(const ITEMIDLIST* pidl) const;
  Integer IDCount(const ITEMIDLIST* pidl) const;
  PItemIDList NextID(const ITEMIDLIST* id) const;
  bool IsDesktopFolder(const ITEMIDLIST* pidl) const;
  PItemIDList GetPointerToLastID(const ITEMIDLIST* pidl) const;
  PItemIDList CopyPIDL(const ITEMIDLIST* pidl) const;
  PItemIDList AppendPIDL(const ITEMIDLIST* destPIDL, const ITEMIDLIST* srcPIDL) const;
  PItemIDList StripLastID(PItemIDList pidl) const;
  PItemIDList StripLastID(PItemIDList idList, Word& lastCB, PItemIDList& lastID) const;
  void FreePIDL(PItemIDList pidl) const;
  void FreeOLEStr(Char* str) const;
  void SaveToStream(TStream& s, const ITEMIDLIST* pidl) const;
  // Nil for a size below 1. A size the stream cannot hold, or bytes that are not a terminated list
  // of that size, raise EReadError and leave nothing allocated.
  PItemIDList LoadFromStream(TStream& s) const;

protected:
  void Create() override;

private:
  ComPtr<IMalloc> FMalloc;
};

class TCommonPIDLList : public TObject {
  PF_CLASS(TCommonPIDLList)
public:
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  PItemIDList Get(Integer index) const { return FItems.at(static_cast<size_t>(index)); }
  void Put(Integer index, PItemIDList pidl) { FItems.at(static_cast<size_t>(index)) = pidl; }
  Integer Add(PItemIDList pidl);
  void Insert(Integer index, PItemIDList pidl);
  // Removes the entry without freeing it.
  void Delete(Integer index);
  Integer IndexOf(const ITEMIDLIST* pidl) const;
  // Drops nil entries.
  void Pack();
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

  virtual void Clear();
  virtual bool LoadFromStream(TStream& s);
  virtual bool SaveToStream(TStream& s);

  bool GetSharePIDLs() const { return FSharePIDLs; }
  void SetSharePIDLs(bool v) { FSharePIDLs = v; }
  const String& GetName() const { return FName; }
  void SetName(const String& v) { FName = v; }
  TCommonPIDLManager* GetPIDLMgr() const { return FLocalPIDLMgr; }

protected:
  void Create() override;
  void Destroy() override;

private:
  TCommonPIDLManager* FLocalPIDLMgr{nullptr};
  String FName;
  bool FSharePIDLs{false};
  bool FDestroying{false};
  std::vector<PItemIDList> FItems;
};

// The integers and strings of the list view's stream, little-endian: an Integer is 4 bytes, a
// string its byte count as an Integer followed by its text in the system code page (no terminator).
class TCommonMemoryStreamHelper : public TObject {
  PF_CLASS(TCommonMemoryStreamHelper)
public:
  void WriteInteger(TStream& s, Integer value);
  // Bytes the stream does not have stay 0.
  Integer ReadInteger(TStream& s);
  void WriteString(TStream& s, const String& value);
  // A negative count, or one larger than what the stream still holds, raises EReadError and leaves
  // `value` as it was: the count comes from a file.
  void ReadString(TStream& s, String& value);
};

// The theme handles of one window, opened while the window exists and themes are in use.
class TCommonThemeManager : public TObject {
  PF_CLASS(TCommonThemeManager)
public:
  HTHEME GetButtonTheme() const { return FButtonTheme; }
  HTHEME GetComboBoxTheme() const { return FComboBoxTheme; }
  HTHEME GetEditTheme() const { return FEditTheme; }
  HTHEME GetExplorerBarTheme() const { return FExplorerBarTheme; }
  HTHEME GetHeaderTheme() const { return FHeaderTheme; }
  HTHEME GetListviewTheme() const { return FListviewTheme; }
  bool GetLoaded() const { return FLoaded; }
  TWinControl* GetOwner() const { return FOwner; }
  HTHEME GetProgressTheme() const { return FProgressTheme; }
  HTHEME GetRebarTheme() const { return FRebarTheme; }
  HTHEME GetScrollbarTheme() const { return FScrollbarTheme; }
  HTHEME GetTaskBandTheme() const { return FTaskBandTheme; }
  HTHEME GetTaskBarTheme() const { return FTaskBarTheme; }
  HTHEME GetTreeviewTheme() const { return FTreeviewTheme; }
  HTHEME GetWindowTheme() const { return FWindowTheme; }

  // Opens every class for the owner's window (closing what was open first) when the window
  // exists and themes are in use; with themes off it has the window's frame redrawn instead.
  virtual void ThemesLoad();
  // Closes every open handle once.
  virtual void ThemesFree();

protected:
  void Create(TWinControl* owner);
  void Destroy() override;

private:
  HTHEME FButtonTheme{nullptr};
  HTHEME FComboBoxTheme{nullptr};
  HTHEME FEditTheme{nullptr};
  HTHEME FExplorerBarTheme{nullptr};
  HTHEME FHeaderTheme{nullptr};
  HTHEME FListviewTheme{nullptr};
  bool FLoaded{false};
  TWinControl* FOwner{nullptr};
  HTHEME FProgressTheme{nullptr};
  HTHEME FRebarTheme{nullptr};
  HTHEME FScrollbarTheme{nullptr};
  HTHEME FTaskBandTheme{nullptr};
  HTHEME FTaskBarTheme{nullptr};
  HTHEME FTreeviewTheme{nullptr};
  HTHEME FWindowTheme{nullptr};
};

// Visual themes are in use by the application (the test of TCommonCanvasControl's Themed).
bool CommonThemesInUse();

class TCommonCheckBound : public TObject {
  PF_CLASS(TCommonCheckBound)
public:
  const TRect& GetBounds() const { return FBounds; }
  void SetBounds(const TRect& r) { FBounds = r; }
  Integer GetSize() const { return FSize; }
  void SetSize(Integer v) { FSize = v; }

private:
  TRect FBounds;
  Integer FSize{0};
};

// The size of the check box's glyph at each point size, measured once per size.
class TCommonCheckBoundManager : public TObject {
  PF_CLASS(TCommonCheckBoundManager)
public:
  TCommonCheckBound* Find(Integer size) const;
  void Bound(Integer size, TRect& r);
  void Clear();
  Integer Count() const { return static_cast<Integer>(FList.size()); }

protected:
  void Destroy() override;

private:
  std::vector<TCommonCheckBound*> FList;
};

// shell32's tests through the entry points bound at start-up; false when unbound or for nil.
bool PIDLIsEqual(const ITEMIDLIST* pidl1, const ITEMIDLIST* pidl2);
bool PIDLIsParent(const ITEMIDLIST* parent, const ITEMIDLIST* child, bool immediate);
void BindPIDLFunctions();

// The unit's globals: its PIDL manager, the font of the check-box glyphs (face "marlett"), the
// stream helper and the check-box sizes.
extern TCommonPIDLManager* CommonObjectsPIDLMgr;
extern TFont* MarlettFont;
extern TCommonMemoryStreamHelper* StreamHelper;
extern TCommonCheckBoundManager* CheckBound;

void InitializeCommonObjects();
void FinalizeCommonObjects();

}  // namespace common

// The unit's window class.
#include "common/CommonCanvasControl.h"
