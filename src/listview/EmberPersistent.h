#pragma once
// The persistent bases of the list view's objects, the group margins and three unit routines (the
// header drag format, the default item compare and the bitmap blend).

#include <atomic>

#include "listview/EmberPool.h"
#include "listview/EmberTypes.h"

namespace ember {

class TEmberPersistent : public TObject {
  PF_CLASS(TEmberPersistent)
  EMBER_POOLED_CLASS
public:
  // The class library's assignment: a source the class cannot take raises EConvertError.
  virtual void Assign(TEmberPersistent* Source);

protected:
  virtual void AssignTo(TEmberPersistent* Dest);
  void Create() override {}
};

class TEmberOwnedPersistent : public TEmberPersistent {
  PF_CLASS(TEmberOwnedPersistent)
public:
  TCustomEmberListview* OwnerListview() const { return FOwnerListview; }
  virtual void LoadFromStream(TStream& S, Integer& Version);
  virtual void SaveToStream(TStream& S, Integer Version);

protected:
  virtual void Create(TCustomEmberListview* AOwner);
  using TEmberPersistent::Create;
  void SetOwnerListview(TCustomEmberListview* AOwner) { FOwnerListview = AOwner; }

private:
  TCustomEmberListview* FOwnerListview{nullptr};
};

class TEmberCanvasStore;
// The base of the item, group and column views: a canvas store made on first use and the check
// box painter they share.
class TEmberOwnedPersistentView : public TEmberOwnedPersistent {
  PF_CLASS(TEmberOwnedPersistentView)
public:
  TEmberCanvasStore* CanvasStore();
  // A view object that the control shares among its items belongs to the control alone.
  void SetSharedOwner(TCustomEmberListview* AOwner) { SetOwnerListview(AOwner); }
  void PaintCheckBoxCore(TCanvas* ACanvas, const TRect& CheckRect, bool Enabled, bool Checked, bool Hot, bool Flat,
                         bool Hovering, bool Pending, Integer Size, TEmberCheckType CheckType,
                         TCustomEmberListview* Listview);

protected:
  void Destroy() override;

private:
  TEmberCanvasStore* FCanvasStore{nullptr};
};

class TEmberOwnedPersistentGroupItem : public TEmberOwnedPersistentView {
  PF_CLASS(TEmberOwnedPersistentGroupItem)
public:
  TEmberGroup* OwnerGroup() const { return FOwnerGroup; }

protected:
  virtual void Create(TEmberGroup* AOwner);
  using TEmberOwnedPersistentView::Create;

private:
  TEmberGroup* FOwnerGroup{nullptr};
};

// Reference counted like the class library's interfaced object: the count starts at 1 and
// AfterConstruction takes it back to 0, so the maker takes the first reference itself.
class TEmberInterfacedPersistent : public TObject, public IUnknown {
  PF_CLASS(TEmberInterfacedPersistent)
public:
  Integer RefCount() const { return FRefCount.load(); }
  TEmberInterfacedPersistent* Obj() { return this; }
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  void AfterConstruction() override;

protected:
  void Create() override {}
  // The interfaces the class answers besides IUnknown.
  virtual bool ImplementsInterface(REFIID /*iid*/, void** /*out*/) { return false; }

private:
  std::atomic<Integer> FRefCount{1};
};

class TEmberOwnedInterfacedPersistent : public TEmberInterfacedPersistent {
  PF_CLASS(TEmberOwnedInterfacedPersistent)
public:
  TCustomEmberListview* Owner() const { return FOwner; }

protected:
  virtual void Create(TCustomEmberListview* AOwner) { FOwner = AOwner; }
  using TEmberInterfacedPersistent::Create;

private:
  TCustomEmberListview* FOwner{nullptr};
};

class TEmberMargin : public TEmberOwnedPersistent {
  PF_CLASS(TEmberMargin)
public:
  static constexpr Integer DefaultSize = 30;
  Integer GetSize() const { return FSize; }
  void SetSize(Integer Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  // Whether the margin is visible and the control shows group margins.
  bool Shown() const;
  // Size while the margin is shown, else 0.
  Integer RuntimeSize() const { return Shown() ? FSize : 0; }
  void Assign(TEmberPersistent* Source) override;

protected:
  bool FVisible{false};

private:
  Integer FSize{DefaultSize};
};

class TEmberHeaderMargin : public TEmberMargin {
  PF_CLASS(TEmberHeaderMargin)
protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberMargin::Create;
};

class TEmberPaintInfoBaseGroup;

// The footer margin also carries paint settings of its own (the control gives it a second group
// paint-settings object at construction).
class TCustomEmberFooterMargin : public TEmberMargin {
  PF_CLASS(TCustomEmberFooterMargin)
public:
  // A new caption lays the groups out again; new images repaint.
  const WideString& GetCaption() const { return FCaption; }
  void SetCaption(const WideString& V);
  TCommonImageIndexInteger GetImageIndex() const { return FImageIndex; }
  void SetImageIndex(TCommonImageIndexInteger V);
  TCommonImageIndexInteger GetImageOverlayIndex() const { return FImageOverlayIndex; }
  void SetImageOverlayIndex(TCommonImageIndexInteger V);
  TEmberPaintInfoBaseGroup* PaintInfo() const { return FPaintInfo; }
  void SetPaintInfo(TEmberPaintInfoBaseGroup* Value);
  // These live in the margin's own paint info, or without one in the control-wide footer's
  // (PaintInfoGroup.MarginBottom). A new alignment lays the groups out again, the others repaint.
  TAlignment GetAlignment() const;
  void SetAlignment(TAlignment Value);
  Integer GetCaptionIndent() const;
  void SetCaptionIndent(Integer Value);
  Integer GetCaptionLines() const;
  void SetCaptionLines(Integer Value);
  Integer GetImageIndent() const;
  void SetImageIndent(Integer Value);
  common::TCommonVAlignment GetVAlignment() const;
  void SetVAlignment(common::TCommonVAlignment Value);
  // The margin part and the caption.
  void Assign(TEmberPersistent* Source) override;

protected:
  void Destroy() override;

private:
  WideString FCaption;
  TCommonImageIndexInteger FImageIndex{-1};
  TCommonImageIndexInteger FImageOverlayIndex{-1};
  TEmberPaintInfoBaseGroup* FPaintInfo{nullptr};
  TEmberPaintInfoBasic* Settings() const;
  void RebuildGroups();
  void Repaint();
};

// The footer margin as published. Its defaults are the values a new footer answers, so a value
// equal to its default reloads as itself.
class TEmberFooterMargin : public TCustomEmberFooterMargin {
  PF_CLASS(TEmberFooterMargin)
public:
  static constexpr TAlignment DefaultAlignment = TAlignment::taLeftJustify;
  static constexpr Integer DefaultCaptionIndent = 4;
  static constexpr Integer DefaultCaptionLines = 1;
  static constexpr Integer DefaultImageIndent = 2;
  static constexpr TCommonImageIndexInteger DefaultImageIndex = -1;
  static constexpr TCommonImageIndexInteger DefaultImageOverlayIndex = -1;
  static constexpr common::TCommonVAlignment DefaultVAlignment = common::TCommonVAlignment::cvaCenter;
};

// The clipboard format id registered for "EmberListview.Header" at start-up.
extern UINT CF_EMBERLISTVIEWHEADER;
struct TEmberFormatEtc {
  UINT cfFormat{0};
  void* ptd{nullptr};
  DWORD dwAspect{0};
  Integer lindex{0};
  DWORD tymed{0};
};
void FillHeaderFormatEtc(TEmberFormatEtc& FormatEtc);

Integer DefaultItemCompare(TEmberColumn* Column, TEmberItem* Item1, TEmberItem* Item2);

// Blends Src over Dst (both 32 bits per pixel), optionally blurring Dst first.
void BlendBitmaps(TBitmap* Src, TBitmap* Dst, Integer SrcWeight, bool Blur, Integer DstWeight);

}  // namespace ember
