#include "listview/EmberControl.h"

#include "listview/EmberAccessible.h"
#include "listview/EmberEdit.h"

#include "listview/EmberStreamIO.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Menus.h"
#include "platform/gdi/Bitmap.h"
#include "platform/kernel/Modules.h"

namespace ember {

using CS = TEmberControlState;

const char16_t* const EmberListStyleNames[EmberListStyleCount] = {
    u"Icon", u"Small Icon", u"List", u"Details", u"Thumbnail", u"Tile", u"DetailThumbs", u"FilmStrip", u"Grid"};
const char16_t* const EmberSortAlgorithmNames[3] = {u"QuickSort", u"BubbleSort", u"MergeSort"};

// ---- Construction and destruction, in the order the managers depend on each other ----
void TCustomEmberListview::Create(TComponent* AOwner) {
  common::TCommonCanvasControl::Create(AOwner);
  FUseDockManager = true;
  FShowImages = true;

  FGesture = TEmberGestureManager::New(this);
  FGroupFont = TFont::New();
  FOldGroupFontChange = FGroupFont->OnChange;
  FGroupFont->OnChange = [this](TObject* Sender) { FontChangeHandler(Sender); };

  FPaintInfoGroup = CreateGroupPaintInfo();
  FPaintInfoItem = CreateItemPaintInfo();
  FPaintInfoColumn = CreateColumnPaintInfo();
  FPaintInfoGroup->GetMarginBottom()->SetPaintInfo(CreateGroupPaintInfo());

  FHotTrack = TEmberHotTrackManager::New(this);
  SetParentColor(false);
  GetBrush()->SetColor(clWindow);
  SetColor(clWindow);
  SetBevelInner(TBevelCut::bvLowered);
  ControlStyle -= TControlStyle{TControlStyleItem::csAcceptsControls, TControlStyleItem::csCaptureMouse,
                                TControlStyleItem::csOpaque};

  FBackGround = TEmberBackgroundManager::New(this);
  FScrollbars = TEmberScrollbarManager::New(this);
  FDropTarget = ComPtr<IUnknown>(static_cast<IDropTarget*>(TEmberDropTargetManager::New(this)));
  FDragRect = TEmberDragRectManager::New(this);
  FDragManager = TEmberOLEDragManager::New(this);
  FCheckManager = TEmberCheckManager::New(this);
  FSelection = TEmberSelectionManager::New(this);

  FGroups = CreateGroups();
  FHeader = TEmberHeader::New(this);
  FOldHeaderFontChange = FHeader->GetFont()->OnChange;
  FHeader->GetFont()->OnChange = [this](TObject* Sender) { FontChangeHandler(Sender); };

  FEditManager = TEmberEditManager::New(this);
  FEditManager->GetFont()->Assign(*GetFont());
  FGlobalImages = TEmberGlobalImageManager::New(this);
  FHintInfo = TEmberHintInfo::New(this);
  FCellSizes = TEmberCellSizes::New(this);
  FSort = TEmberSortManager::New(this);

  TabStop = true;
  FWheelMouseDefaultScroll = TEmberDefaultWheelScroll::edwsVert;
  FWheelMouseScrollModifierEnabled = true;
  FGroupExpandButton = TBitmap::New();
  FGroupCollapseButton = TBitmap::New();
  FItems = TEmberGlobalItems::New(this);
  FShowGroupMargins = false;
  FDisabledBlendAlpha = 128;
  FDisabledBlendColor = clWindow;
  FIncrementalSearch = TEmberIncrementalSearchManager::New(this);
  // The views measure on a canvas of their own: the fonts and brushes they load must not reach
  // the canvas the control paints and drags with.
  FScratchCanvas = TControlCanvas::New();
  FScratchCanvas->SetControl(this);
}

void TCustomEmberListview::BeforeDestruction() { common::TCommonCanvasControl::BeforeDestruction(); }

void TCustomEmberListview::Destroy() {
  // The items go first, while the window and every manager still exist: their freeing events
  // still fire, the change notices do not (the control is being destroyed).
  ReleaseAccessibleTree(this);
  if (FGroups) FGroups->Clear(true);
  if (FHeader) FHeader->GetColumns()->Clear(true);
  FreeItemViews();
  common::TCommonCanvasControl::Destroy();
  FDropTarget = nullptr;
  FreeAndNil(FGesture);
  FreeAndNil(FItems);
  FreeAndNil(FGroupExpandButton);
  FreeAndNil(FGroupCollapseButton);
  FreeAndNil(FBackGround);
  FreeAndNil(FScrollbars);
  FreeAndNil(FDragRect);
  FreeAndNil(FDragManager);
  FreeAndNil(FCheckManager);
  FreeAndNil(FSelection);
  FreeAndNil(FHeader);
  FreeAndNil(FEditManager);
  FreeAndNil(FGlobalImages);
  FreeAndNil(FCellSizes);
  FreeAndNil(FGroupFont);
  FreeAndNil(FPaintInfoGroup);
  FreeAndNil(FPaintInfoItem);
  FreeAndNil(FPaintInfoColumn);
  FreeAndNil(FHotTrack);
  FreeAndNil(FHintInfo);
  FreeAndNil(FSort);
  FreeAndNil(FIncrementalSearch);
  FreeAndNil(FScratchCanvas);
  FreeAndNil(FGroups);
}

TEmberPaintInfoBaseColumn* TCustomEmberListview::CreateColumnPaintInfo() { return TEmberPaintInfoColumn::New(this); }
TEmberPaintInfoBaseGroup* TCustomEmberListview::CreateGroupPaintInfo() { return TEmberPaintInfoGroup::New(this); }
TEmberGroups* TCustomEmberListview::CreateGroups() { return TEmberGroups::New(this); }
TEmberPaintInfoBaseItem* TCustomEmberListview::CreateItemPaintInfo() { return TEmberPaintInfoItem::New(this); }

// ---- Owned objects and settings ----
void TCustomEmberListview::SetBackGround(TEmberBackgroundManager* Value) {
  // Handing the current object back must not free it.
  if (Value == FBackGround) return;
  pf::Free(FBackGround);
  FBackGround = Value;
}

void TCustomEmberListview::SetSelection(TEmberSelectionManager* Value) {
  if (Value == FSelection) return;
  pf::Free(FSelection);
  FSelection = Value;
}

void TCustomEmberListview::SetPaintInfoColumn(TEmberPaintInfoBaseColumn* Value) {
  if (Value == FPaintInfoColumn) return;
  pf::Free(FPaintInfoColumn);
  FPaintInfoColumn = Value;
}
void TCustomEmberListview::SetPaintInfoGroup(TEmberPaintInfoBaseGroup* Value) {
  if (Value == FPaintInfoGroup) return;
  pf::Free(FPaintInfoGroup);
  FPaintInfoGroup = Value;
}
void TCustomEmberListview::SetPaintInfoItem(TEmberPaintInfoBaseItem* Value) {
  if (Value == FPaintInfoItem) return;
  pf::Free(FPaintInfoItem);
  FPaintInfoItem = Value;
}

void TCustomEmberListview::SetGroupFont(const TFont* Value) {
  if (Value) FGroupFont->Assign(*Value);
}
// No bitmap empties the glyph, and the built-in one shows again.
void TCustomEmberListview::AssignButton(TBitmap* Button, const TBitmap* Value) {
  if (Value)
    Button->Assign(*Value);
  else
    Button->SetSize(0, 0);
  Button->SetPixelFormat(TPixelFormat::pf32bit);
}
void TCustomEmberListview::SetGroupCollapseButton(TBitmap* Value) { AssignButton(FGroupCollapseButton, Value); }
void TCustomEmberListview::SetGroupExpandButton(TBitmap* Value) { AssignButton(FGroupExpandButton, Value); }

TCanvas* TCustomEmberListview::GetScratchCanvas() { return HandleAllocated() ? FScratchCanvas : nullptr; }

TEmberHintType TCustomEmberListview::GetHintType() const { return FHintInfo->GetHintType(); }
void TCustomEmberListview::SetHintType(TEmberHintType V) { FHintInfo->SetHintType(V); }

void TCustomEmberListview::SetImages(TCustomImageList*& Field, TCustomImageList* Value) {
  if (Field == Value) return;
  Field = Value;
  // Told when it goes, whoever owns it, so no reference outlives the list.
  if (Value) FreeNotification(Value);
  SafeInvalidateRect(nullptr, false);
}

void TCustomEmberListview::SetPopupMenuHeader(TPopupMenu* V) {
  FPopupMenuHeader = V;
  if (V) FreeNotification(V);
}

void TCustomEmberListview::SetShowGroupMargins(bool Value) {
  if (Value == FShowGroupMargins) return;
  FShowGroupMargins = Value;
  DoUpdateComplete();
}
void TCustomEmberListview::SetShowImages(bool Value) {
  if (Value == FShowImages) return;
  FShowImages = Value;
  SafeInvalidateRect(nullptr, false);
}
void TCustomEmberListview::SetShowInactive(bool Value) {
  if (Value == FShowInactive) return;
  FShowInactive = Value;
  SafeInvalidateRect(nullptr, false);
}

void TCustomEmberListview::SetView(TEmberListStyle Value) {
  if (Value == FView) return;
  FView = Value;
  FGroups->Rebuild(true);
  FWheelMouseDefaultScroll = IsVertView() ? TEmberDefaultWheelScroll::edwsVert : TEmberDefaultWheelScroll::edwsHorz;
  DoViewChange();
}

// ---- Queries ----
bool TCustomEmberListview::IsGrouped() const {
  TEmberPaintInfoBaseGroup* p = GetPaintInfoGroup();
  return p && p->GetMarginTop()->GetVisible();
}
bool TCustomEmberListview::IsThumbnailView() const {
  return FView == TEmberListStyle::elsThumbnail || FView == TEmberListStyle::elsReportThumb ||
         FView == TEmberListStyle::elsFilmStrip;
}
bool TCustomEmberListview::IsVertView() const {
  return FView != TEmberListStyle::elsList && FView != TEmberListStyle::elsFilmStrip;
}
bool TCustomEmberListview::HeaderInUse() const {
  return FView == TEmberListStyle::elsReport || FView == TEmberListStyle::elsReportThumb ||
         FView == TEmberListStyle::elsGrid || (FHeader && FHeader->GetShowInAllViews());
}
bool TCustomEmberListview::ScrollHeaderHorz() const {
  return !(FHeader->GetShowInAllViews() && FView == TEmberListStyle::elsList);
}
TRect TCustomEmberListview::ClientInViewportCoords() const {
  TRect r = GetClientRect();
  r.Top += FHeader->RuntimeHeight();
  return FScrollbars->MapWindowRectToViewRect(r);
}

void TCustomEmberListview::AutoFitAllCellCaptions(bool VisibleOnly) {
  TEmberUpdateGuard update(this);
  switch (FView) {
    case TEmberListStyle::elsSmallIcon:
    case TEmberListStyle::elsList:
    case TEmberListStyle::elsGrid: FCellSizes->Of(FView)->SetAutoSizeCaption(true); break;
    case TEmberListStyle::elsReport:
    case TEmberListStyle::elsReportThumb: {
      TEmberColumns* cols = FHeader->GetColumns();
      for (Integer i = 0; i < cols->GetCount(); ++i)
        if (!VisibleOnly || cols->GetColumn(i)->GetVisible()) cols->GetColumn(i)->AutoSizeToFit();
      break;
    }
    default: break;
  }
  update.End();
}

// ---- Update cycle ----
void TCustomEmberListview::BeginUpdate() { common::TCommonCanvasControl::BeginUpdate(); }
void TCustomEmberListview::EndUpdate(bool Invalidate) { common::TCommonCanvasControl::EndUpdate(Invalidate); }

void TCustomEmberListview::DoUpdateComplete() {
  common::TCommonCanvasControl::DoUpdateComplete();
  if (Destroying()) return;
  FGroups->Rebuild(true);
  FScrollbars->ReCalculateScrollbars(true, false);
  // Taken before the notices so that a handler that raises cannot make them fire twice.
  const TEmberControlStates pending = FStates;
  FStates -= TEmberControlStates{CS::ebcsColumnStructureUpdatePending, CS::ebcsGroupStructureUpdatePending,
                                 CS::ebcsItemStructureUpdatePending};
  if (pending.Contains(CS::ebcsColumnStructureUpdatePending)) DoColumnStructureChange();
  if (pending.Contains(CS::ebcsGroupStructureUpdatePending)) DoGroupStructureChange();
  if (pending.Contains(CS::ebcsItemStructureUpdatePending)) DoItemStructureChange();
}

void TCustomEmberListview::Loaded() {
  common::TCommonCanvasControl::Loaded();
  DoUpdateComplete();
}

void TCustomEmberListview::CreateWnd() {
  common::TCommonCanvasControl::CreateWnd();
  // The window is made at its size: the first move after it is no resize.
  if (HandleAllocated()) {
    TRect r;
    GetWindowRect(Handle(), &r);
    FWindowSize = TPoint{r.Width(), r.Height()};
  }
  ApplyBorderStyle();
  DoUpdateComplete();
  FDragManager->SetEnabled(FDragManager->GetEnabled());
  FHeader->GetDragManager()->SetEnabled(FHeader->GetDragManager()->GetEnabled());
}

void TCustomEmberListview::Notification(TComponent* AComponent, TOperation Operation) {
  common::TCommonCanvasControl::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  const void* gone = AComponent;
  for (TCustomImageList** f : {&FImagesExLarge, &FImagesGroup, &FImagesLarge, &FImagesSmall, &FImagesState})
    if (static_cast<const void*>(*f) == gone) *f = nullptr;
  if (FHeader && static_cast<const void*>(FHeader->GetImages()) == gone) FHeader->SetImages(nullptr);
  // A header menu freed first would otherwise pop up from freed memory at the next right click.
  if (static_cast<const void*>(FPopupMenuHeader) == gone) FPopupMenuHeader = nullptr;
}

void TCustomEmberListview::DoMouseExit() {
  common::TCommonCanvasControl::DoMouseExit();
  FHotTrack->SetPendingObject(TPoint{}, nullptr);
}

void TCustomEmberListview::CalcThemedNCSize(TRect& ARect) {
  TRect content;
  if (GetThemeBackgroundContentRect(GetThemes()->GetListviewTheme(), nullptr, LVP_BORDER, 1, &ARect, &content) != S_OK)
    return;
  const Integer b = GetBorderWidth();
  ARect = TRect{content.Left + b, content.Top + b, content.Right - b, content.Bottom - b};
}

void TCustomEmberListview::WMThemeChanged(TMessage& Msg) {
  common::TCommonCanvasControl::WMThemeChanged(Msg);
  // The window was made for the old look: a themed frame has no border bits, a classic one
  // needs them, and the frame is measured again.
  ApplyBorderStyle();
}

// ---- Operations ----
TEmberColumn* TCustomEmberListview::FocusedColumn() const { return FSelection->GetFocusedColumn(); }
bool TCustomEmberListview::GroupHitTestIsExpandButton(TEmberGroupHitTestInfoSet HitTest) const {
  return HitTest.Contains(TEmberGroupHitTestInfo::egtOnExpandButton);
}

void TCustomEmberListview::TakeFocus() {
  if (!Focused() && CanFocus() && !Designing() && HandleAllocated()) SetFocus();
}

void TCustomEmberListview::ClipboardCut() {
  bool markAsCut = false;
  bool handled = true;
  DoClipboardCut(markAsCut, handled);
  if (markAsCut && handled) MarkSelectedCut();
}

// Every item, also in collapsed and disabled groups, which the groups' item walk leaves out: a
// mark left there would show as cut when its group opens.
void TCustomEmberListview::ClearCutMarks() {
  for (Integer g = 0; g < FGroups->GetCount(); ++g) {
    TEmberGroup* group = FGroups->GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i) group->GetItem(i)->SetCut(false);
  }
}

void TCustomEmberListview::MarkSelectedCut() {
  ClearCutMarks();
  for (TEmberItem* i = FSelection->First(); i; i = FSelection->Next(i)) i->SetCut(true);
}

bool TCustomEmberListview::AnyItemCut() const {
  for (Integer g = 0; g < FGroups->GetCount(); ++g) {
    TEmberGroup* group = FGroups->GetGroup(g);
    for (Integer i = 0; i < group->GetItemCount(); ++i)
      if (group->GetItem(i)->GetCut()) return true;
  }
  return false;
}

void TCustomEmberListview::ClipboardPaste() {
  bool handled = false;
  DoClipboardPaste(handled);
}

void TCustomEmberListview::FontChangeHandler(TObject*) {
  if (!FStates.Contains(CS::ebcsSettingParentFont)) SetParentFont(false);
  if (FGroups) FGroups->Rebuild(true);
}

// ---- Dispatchers with defaults of their own ----
void TCustomEmberListview::DoColumnStructureChange() {
  if (OnColumnStructureChange) OnColumnStructureChange(this);
}
void TCustomEmberListview::DoHintPauseTime(bool HintWindowShown, Integer& PauseDelay) {
  if (OnHintPauseTime) OnHintPauseTime(this, HintWindowShown, PauseDelay);
}
void TCustomEmberListview::DoAutoSortGroupCreate(TEmberItem* Item, Integer ColumnIndex, TEmberGroups* Groups,
                                                 TEmberGroup*& Group, bool& DoDefaultAction) {
  if (OnAutoSortGroupCreate) OnAutoSortGroupCreate(this, Item, ColumnIndex, Groups, Group, DoDefaultAction);
  if (!Group && Groups) Group = Groups->Add(nullptr);
}
void TCustomEmberListview::DoGroupExpand(TEmberGroup* Group) {
  FGroups->Rebuild(false);
  if (OnGroupExpand) OnGroupExpand(this, Group);
}
// The default editors come with in-place editing; without them the editor stays nil.
void TCustomEmberListview::DoItemCreateEditor(TEmberItem* Item, ComPtr<IEmberCellEditor>& Editor) {
  if (OnItemCreateEditor) OnItemCreateEditor(this, Item, Editor);
  if (Editor) return;
  switch (FView) {
    case TEmberListStyle::elsIcon:
    case TEmberListStyle::elsThumbnail:
    case TEmberListStyle::elsTile:
    case TEmberListStyle::elsFilmStrip:
      Editor = ComPtr<IEmberCellEditor>(static_cast<IEmberCellEditor*>(TEmberMemoEditor::New()));
      break;
    default:
      Editor = ComPtr<IEmberCellEditor>(static_cast<IEmberCellEditor*>(TEmberStringEditor::New()));
  }
}
void TCustomEmberListview::DoItemFocusChanged(TEmberItem* Item) {
  if (HandleAllocated()) NotifyWinEvent(EVENT_OBJECT_FOCUS, Handle(), OBJID_CLIENT, CHILDID_SELF);
  if (OnItemFocusChanged) OnItemFocusChanged(this, Item);
}
void TCustomEmberListview::DoItemHotTrack(TEmberItem* Item, TEmberHotTrackState State, TPoint MousePos) {
  if (FHotTrack && FHotTrack->GetEnabled() && OnItemHotTrack) OnItemHotTrack(this, Item, State, MousePos);
}
void TCustomEmberListview::DoItemSelectionsChanged() {
  if (HandleAllocated()) NotifyWinEvent(EVENT_OBJECT_SELECTION, Handle(), OBJID_CLIENT, CHILDID_SELF);
  if (OnItemSelectionsChanged && !Destroying()) OnItemSelectionsChanged(this);
}
void TCustomEmberListview::DoItemSetCaption(TEmberItem* Item, Integer Column, WideString Caption) {
  if (HandleAllocated()) NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, Handle(), OBJID_CLIENT, CHILDID_SELF);
  if (OnItemSetCaption) OnItemSetCaption(this, Item, Column, Caption);
}
void TCustomEmberListview::DoOLEGetData(const FORMATETC& FormatEtcIn, STGMEDIUM& Medium, bool& Handled) {
  Medium = STGMEDIUM{};
  Handled = false;
  if (OnOLEGetData) OnOLEGetData(this, FormatEtcIn, Medium, Handled);
}
void TCustomEmberListview::DoOLEQueryData(const FORMATETC& FormatEtcIn, bool& FormatAvailable, bool& Handled) {
  FormatAvailable = false;
  Handled = false;
  if (OnOLEQueryData) OnOLEQueryData(this, FormatEtcIn, FormatAvailable, Handled);
}
Integer TCustomEmberListview::DoGroupCompare(TEmberGroup* Item1, TEmberGroup* Item2) {
  if (OnGroupCompare) return OnGroupCompare(this, Item1, Item2);
  return FSort->DefaultCompare(nullptr, Item1, Item2);
}
void TCustomEmberListview::DoIncrementalSearch(TEmberCollectionItem* Item, const WideString& SearchBuffer,
                                               Integer& CompareResult) {
  bool handled = false;
  CompareResult = 0;
  if (OnIncrementalSearch) OnIncrementalSearch(Item, SearchBuffer, handled, CompareResult);
  // The typed text matches the start of a caption: "ap" finds "Apple".
  if (!handled) CompareResult = common::WideStrICompare(Item->GetCaption().substr(0, SearchBuffer.size()), SearchBuffer);
}
Integer TCustomEmberListview::DoItemCompare(TEmberColumn* Column, TEmberGroup* Group, TEmberItem* Item1,
                                            TEmberItem* Item2) {
  bool doDefault = true;
  Integer result = 0;
  if (OnItemCompare) result = OnItemCompare(this, Column, Group, Item1, Item2, doDefault);
  return doDefault ? FSort->DefaultCompare(Column, Item1, Item2) : result;
}

// ---- The stream ----
void TCustomEmberListview::SaveToStream(TStream& S) {
  streamio::WriteInt32(S, EmberStreamVersion);
  streamio::WriteByte(S, static_cast<Byte>(FView));
  FGroups->SaveToStream(S, EmberStreamVersion);
  FHeader->SaveToStream(S, EmberStreamVersion);
}

// Reads into collections of its own and takes them over only when the stream was sound, so a
// damaged stream leaves the control as it was. An unregistered class is the one failure after
// which what was read before it stays, as the class registry's users expect. The collections read
// into start from the control's own item classes, as the control's collections would, so a record
// without class names makes objects of the classes read last. Meanwhile the stream events see the
// control as it was (its view, groups and columns) and each object read in the collection that
// reads it, with the objects read before it.
void TCustomEmberListview::LoadFromStream(TStream& S) {
  TEmberUpdateGuard update(this);
  const Integer version = streamio::ReadInt32(S);
  if (version > 0) {
    const auto view = static_cast<TEmberListStyle>(streamio::ReadEnum(S, EmberListStyleCount));
    Owned<TEmberGroups> groups(CreateGroups());
    Owned<TEmberColumns> columns(TEmberColumns::New(this));
    groups->TakeItemClassOf(*FGroups);
    columns->TakeItemClassOf(*FHeader->GetColumns());
    const bool streamGroups = FGroups->GetStreamGroups();
    const bool streamColumns = FHeader->GetStreamColumns();
    std::exception_ptr failure;
    bool keep = true;
    int reached = 0;  // 1: the groups were being read, 2: the columns
    try {
      reached = 1;
      if (streamGroups) groups->ReadItems(S);
      reached = 2;
      if (streamColumns) columns->ReadItems(S);
      reached = 3;
    } catch (const EAssertionFailed&) {
      failure = std::current_exception();
    } catch (...) {
      failure = std::current_exception();
      keep = false;
    }
    if (keep) {
      SetView(view);
      if (streamGroups) {
        FGroups->Clear(true);
        FGroups->AdoptFrom(*groups);
      }
      if (streamColumns && reached >= 2) {
        FHeader->GetColumns()->Clear(true);
        FHeader->GetColumns()->AdoptFrom(*columns);
      }
      FGroups->Rebuild(true);
    }
    if (failure) std::rethrow_exception(failure);
  }
  update.End();
}

// ---- TEmberListview ----
TEmberPaintInfoColumn* TEmberListview::GetPaintInfoColumnTyped() const {
  if (!GetPaintInfoColumn()) return nullptr;
  auto* p = dynamic_cast<TEmberPaintInfoColumn*>(GetPaintInfoColumn());
  if (!p) throw EInvalidCast(u"Invalid class typecast");
  return p;
}
TEmberPaintInfoGroup* TEmberListview::GetPaintInfoGroupTyped() const {
  if (!GetPaintInfoGroup()) return nullptr;
  auto* p = dynamic_cast<TEmberPaintInfoGroup*>(GetPaintInfoGroup());
  if (!p) throw EInvalidCast(u"Invalid class typecast");
  return p;
}
TEmberPaintInfoItem* TEmberListview::GetPaintInfoItemTyped() const {
  if (!GetPaintInfoItem()) return nullptr;
  auto* p = dynamic_cast<TEmberPaintInfoItem*>(GetPaintInfoItem());
  if (!p) throw EInvalidCast(u"Invalid class typecast");
  return p;
}

// ---- The unit ----
DWORD ComCtl32Version = 0;
namespace {
int gUnitCount = 0;
TEmberAlphaBlender* gAlphaBlender = nullptr;
}  // namespace

TEmberAlphaBlender* EmberAlphaBlender() { return gAlphaBlender; }

void RegisterEmberClasses() {
  for (const TMetaClass* c : std::initializer_list<const TMetaClass*>{
           &TEmberGroup::StaticClass(), &TEmberGroupVirtual::StaticClass(), &TEmberGroupInterfaced::StaticClass(),
           &TEmberGroupStored::StaticClass(), &TEmberGroupTaskPanel::StaticClass(), &TEmberItem::StaticClass(),
           &TEmberItemVirtual::StaticClass(), &TEmberItemInterfaced::StaticClass(), &TEmberItemStored::StaticClass(),
           &TEmberColumn::StaticClass(), &TEmberColumnVirtual::StaticClass(), &TEmberColumnInterfaced::StaticClass(),
           &TEmberColumnStored::StaticClass()})
    RegisterClass(*c);
}

void InitializeEmberListview() {
  if (gUnitCount++ > 0) return;
  // The common controls' version the control was written against (there is no such library here).
  ComCtl32Version = 0x00060000;
  OleInitialize(nullptr);
  if (Screen)
    if (HCURSOR split = LoadCursor(GetModuleHandleW(nullptr), u"VEMBERHEADERSPLIT"))
      Screen->SetCursors(static_cast<TCursor>(crVHeaderSplit), split);
  CF_EMBERLISTVIEWHEADER = RegisterClipboardFormatW(u"EmberListview.Header");
  gAlphaBlender = TEmberAlphaBlender::New();
  RegisterEmberClasses();
}

void FinalizeEmberListview() {
  if (gUnitCount == 0 || --gUnitCount > 0) return;
  FreeAndNil(gAlphaBlender);
  OleUninitialize();
}

}  // namespace ember
