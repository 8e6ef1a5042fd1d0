#pragma once
// Item ID lists: the manager that does their arithmetic with memory of the shell's task allocator,
// and a list of them that goes to and from a stream. The unit also owns the global font of the
// check-box glyphs.

#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/kernel/KernelApi.h"
#include "platform/ole/Com.h"
#include "platform/rtl/Streams.h"

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

// shell32's tests through the entry points bound at start-up; false when unbound or for nil.
bool PIDLIsEqual(const ITEMIDLIST* pidl1, const ITEMIDLIST* pidl2);
bool PIDLIsParent(const ITEMIDLIST* parent, const ITEMIDLIST* child, bool immediate);
void BindPIDLFunctions();

// The unit's globals: its PIDL manager and the font of the check-box glyphs (face "marlett").
extern TCommonPIDLManager* CommonObjectsPIDLMgr;
extern TFont* MarlettFont;

void InitializeCommonObjects();
void FinalizeCommonObjects();

}  // namespace common
