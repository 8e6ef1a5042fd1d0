#pragma once
// Four small managers of the list view: the background (colour, picture, caption), the object
// drawn hot under the mouse, the item hints with their window, and the mouse-gesture settings.

#include "listview/EmberPersistent.h"
#include "platform/classlib/Hints.h"

namespace ember {

enum class TEmberHotTrackRectItem { htiIcon, htiText, htiAnyWhere };
using TEmberHotTrackRectItems = TSet<TEmberHotTrackRectItem>;
enum class TEmberHotTrackRectGroup { htgIcon, htgText, htgTopMargin, htgBottomMargin, htgLeftMargin, htgRightMargin,
                                     htgAnyWhere };
using TEmberHotTrackRectGroups = TSet<TEmberHotTrackRectGroup>;
enum class TEmberHotTrackRectColumn { htcIcon, htcText, htcAnyWhere };
using TEmberHotTrackRectColumns = TSet<TEmberHotTrackRectColumn>;

class TEmberHotTrackManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberHotTrackManager)
public:
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool V) { FEnabled = V; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor V) { FColor = V; }
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor V) { FCursor = V; }
  bool GetOnlyFocused() const { return FOnlyFocused; }
  void SetOnlyFocused(bool V) { FOnlyFocused = V; }
  bool GetUnderline() const { return FUnderline; }
  void SetUnderline(bool V) { FUnderline = V; }
  TEmberHotTrackRectItems GetItemTrack() const { return FItemTrack; }
  void SetItemTrack(TEmberHotTrackRectItems V) { FItemTrack = V; }
  TEmberHotTrackRectGroups GetGroupTrack() const { return FGroupTrack; }
  void SetGroupTrack(TEmberHotTrackRectGroups V) { FGroupTrack = V; }
  TEmberHotTrackRectColumns GetColumnTrack() const { return FColumnTrack; }
  void SetColumnTrack(TEmberHotTrackRectColumns V) { FColumnTrack = V; }

  TEmberCollectionItem* GetPendingObject() const { return FPendingObject; }
  // Forgets the hot object without telling it (it is being freed).
  void ClearPendingObject() { FPendingObject = nullptr; }
  // The mouse is over `Item` (nil: over nothing that is drawn hot).
  void SetPendingObject(TPoint MousePos, TEmberCollectionItem* Item);
  TEmberCollectionItem* GetPendingObjectCheck() const { return FPendingObjectCheck; }
  // The object whose check box the mouse is over (nil: none).
  void SetPendingObjectCheck(TEmberCollectionItem* Value);
  // Forgets the check-hover object without telling it (it is being freed).
  void ClearPendingObjectCheck() { FPendingObjectCheck = nullptr; }

private:
  TColor FColor{clHighlight};
  TEmberHotTrackRectColumns FColumnTrack{TEmberHotTrackRectColumn::htcIcon, TEmberHotTrackRectColumn::htcText};
  bool FEnabled{false};
  TCursor FCursor{crHandPoint};
  TEmberHotTrackRectGroups FGroupTrack{TEmberHotTrackRectGroup::htgIcon, TEmberHotTrackRectGroup::htgText};
  TEmberHotTrackRectItems FItemTrack{TEmberHotTrackRectItem::htiIcon, TEmberHotTrackRectItem::htiText};
  bool FOnlyFocused{false};
  TEmberCollectionItem* FPendingObject{nullptr};
  TEmberCollectionItem* FPendingObjectCheck{nullptr};
  bool FUnderline{true};
};

class TEmberGestureManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberGestureManager)
public:
  TCommonMouseButtons GetButton() const { return FButton; }
  void SetButton(TCommonMouseButtons V) { FButton = V; }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool V) { FEnabled = V; }
  const String& GetPath() const { return FPath; }
  void SetPath(const String& V) { FPath = V; }
  Integer GetTolerance() const { return FTolerance; }
  void SetTolerance(Integer V) { FTolerance = V; }

private:
  TCommonMouseButtons FButton{TCommonMouseButton::cmbRight};
  bool FEnabled{false};
  String FPath;
  Integer FTolerance{3};
};

class TEmberBackgroundManager : public TEmberOwnedPersistent {
  PF_CLASS(TEmberBackgroundManager)
public:
  // The picture and its placement (image, Enabled, offsets, Tile) pass between two background
  // managers; any other source or target is refused as the class library refuses it.
  void Assign(TEmberPersistent* Source) override;
  // Paints ARect (window coordinates) of the control's background; with PaintDefault the colour
  // fills it when no picture does.
  virtual void PaintTo(TCanvas* ACanvas, const TRect& ARect, bool PaintDefault);
  // The window is about to move (WM_WINDOWPOSCHANGING's WINDOWPOS in lParam).
  virtual void WMWindowPosChanging(TMessage& Msg);

  bool GetAlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(bool V) { Store(FAlphaBlend, V); }
  TBitmap* GetAlphaImage() const { return FAlphaImage; }
  void SetAlphaImage(const TBitmap* V);
  Integer GetBlendAlpha() const { return FBlendAlpha; }
  void SetBlendAlpha(Integer V) { Store(FBlendAlpha, V); }
  TCommonBlendMode GetBlendMode() const { return FBlendMode; }
  void SetBlendMode(TCommonBlendMode V) { Store(FBlendMode, V); }
  const String& GetCaption() const { return FCaption; }
  void SetCaption(const String& V) { Store(FCaption, V); }
  TAlignment GetCaptionAlignment() const { return FCaptionAlignment; }
  void SetCaptionAlignment(TAlignment V) { Store(FCaptionAlignment, V); }
  bool GetCaptionShow() const { return FCaptionShow; }
  void SetCaptionShow(bool V) { Store(FCaptionShow, V); }
  bool GetCaptionShowOnlyWhenEmpty() const { return FCaptionShowOnlyWhenEmpty; }
  void SetCaptionShowOnlyWhenEmpty(bool V) { Store(FCaptionShowOnlyWhenEmpty, V); }
  bool GetCaptionSingleLine() const { return FCaptionSingleLine; }
  void SetCaptionSingleLine(bool V) { Store(FCaptionSingleLine, V); }
  TCommonVAlignment GetCaptionVAlignment() const { return FCaptionVAlignment; }
  void SetCaptionVAlignment(TCommonVAlignment V) { Store(FCaptionVAlignment, V); }
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool V) { Store(FEnabled, V); }
  TBitmap* GetImage() const { return FImage; }
  void SetImage(const TBitmap* V);
  bool GetOffsetTrack() const { return FOffsetTrack; }
  void SetOffsetTrack(bool V) { Store(FOffsetTrack, V); }
  Integer GetOffsetX() const { return FOffsetX; }
  void SetOffsetX(Integer V) { Store(FOffsetX, V); }
  Integer GetOffsetY() const { return FOffsetY; }
  void SetOffsetY(Integer V) { Store(FOffsetY, V); }
  bool GetTile() const { return FTile; }
  void SetTile(bool V) { Store(FTile, V); }
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool V);

protected:
  void AssignTo(TEmberPersistent* Dest) override;
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberOwnedPersistent::Create;
  void Destroy() override;

private:
  void CopyTo(TEmberBackgroundManager* Dest) const;
  template <class T>
  void Store(T& Field, const T& Value) {
    if (Field == Value) return;
    Field = Value;
    InvalidateOwner();
  }
  void InvalidateOwner();
  void BitmapChanged(TObject* Sender);
  void PaintImage(TCanvas* ACanvas, const TRect& ARect);
  void PaintCaption(TCanvas* ACanvas, const TRect& ARect);

  bool FAlphaBlend{false};
  TEmberAlphaBlender* FAlphaBlender{nullptr};
  Integer FBlendAlpha{128};
  TCommonBlendMode FBlendMode{TCommonBlendMode::cbmConstantAlphaAndColor};
  String FCaption;
  TAlignment FCaptionAlignment{TAlignment::taCenter};
  bool FCaptionShow{false};
  bool FCaptionShowOnlyWhenEmpty{true};
  bool FCaptionSingleLine{true};
  TCommonVAlignment FCaptionVAlignment{TCommonVAlignment::cvaCenter};
  bool FEnabled{false};
  TBitmap* FImage{nullptr};
  bool FOffsetTrack{false};
  Integer FOffsetX{0};
  Integer FOffsetY{0};
  bool FTile{true};
  bool FTransparent{false};
  TBitmap* FAlphaImage{nullptr};
  bool FChanging{false};
};

// The settings of the hint being shown; the control's OnHintCustomInfo may change them.
class TEmberHintInfo : public TEmberOwnedPersistent {
  PF_CLASS(TEmberHintInfo)
public:
  TEmberHintType GetHintType() const { return FHintType; }
  void SetHintType(TEmberHintType V) { FHintType = V; }
  TRect Bounds;
  TCanvas* Canvas{nullptr};
  TColor Color{clInfoBk};
  TPoint CursorPos;
  Integer HideTimeout{0};
  Integer MaxWidth{0};
  Integer ReshowTimeout{0};
  String Text;
  TPoint WindowPos;

private:
  TEmberHintType FHintType{TEmberHintType::ehtText};
};

// What travels with a hint from CM_HINTSHOW to the hint window.
struct TEmberHintInfoRec {
  TControl* HintControl{nullptr};
  THintWindowClass HintWindowClass{nullptr};
  TPoint HintPos;
  Integer HintMaxWidth{0};
  TColor HintColor{clInfoBk};
  TEmberHintType HintType{TEmberHintType::ehtText};
  TRect CursorRect;
  TPoint CursorPos;
  Integer ReshowTimeout{0};
  Integer HideTimeout{0};
  String HintStr;
  void* HintData{nullptr};
  TCustomEmberListview* Listview{nullptr};
  TEmberCollectionItem* TargetObj{nullptr};
  TRect ToolTipRect;
};

class TEmberHintWindow : public THintWindow {
  PF_CLASS(TEmberHintWindow)
public:
  TRect CalcHintRect(Integer MaxWidth, const String& AHint, void* AData) override;
  const TEmberHintInfoRec* HintInfoRec() const { return FHintInfo; }

protected:
  void Paint() override;

private:
  TEmberHintInfo* FEmberHintInfo{nullptr};
  TEmberHintInfoRec* FHintInfo{nullptr};
  bool FOwnColor{false};  // OnHintCustomInfo gave this hint a colour of its own
};

}  // namespace ember
