// Drags through the platform's drag loop: the start of an OLE drag, the header's column drag with
// its record in the data object, and the drop target, drop source and data object the control
// hands to the platform.
#include <unistd.h>

#include <cstring>
#include <random>

#include "listview/EmberControl.h"
#include "platform/ole/DragDrop.h"

namespace ember {

using HS = TEmberHeaderState;

// ---- The column drag's record ----
namespace headerdrag {

uint64_t ProcessToken() {
  static const uint64_t token = [] {
    std::random_device rd;
    uint64_t t = 0;
    while (t == 0) t = (static_cast<uint64_t>(rd()) << 32) ^ rd();
    return t;
  }();
  return token;
}

namespace {
template <class T>
void Put(std::vector<Byte>& Out, size_t At, T Value) {
  std::memcpy(Out.data() + At, &Value, sizeof(T));
}
template <class T>
T Get(const Byte* Data, size_t At) {
  T v;
  std::memcpy(&v, Data + At, sizeof(T));
  return v;
}
}  // namespace

// Offsets: magic 0, version 4, process id 8, record size 12, token 16, control 24, column 32,
// reserved 36.
std::vector<Byte> Encode(TCustomEmberListview* Control, Integer ColumnIndex) {
  std::vector<Byte> out(RecordSize, 0);
  Put<uint32_t>(out, 0, Magic);
  Put<uint32_t>(out, 4, Version);
  Put<uint32_t>(out, 8, static_cast<uint32_t>(getpid()));
  Put<uint32_t>(out, 12, static_cast<uint32_t>(RecordSize));
  Put<uint64_t>(out, 16, ProcessToken());
  Put<uint64_t>(out, 24, reinterpret_cast<uintptr_t>(Control));
  Put<int32_t>(out, 32, ColumnIndex);
  return out;
}

Integer Decode(const Byte* Data, size_t Size, TCustomEmberListview* Control) {
  if (!Data || Size < RecordSize || !Control) return -1;
  if (Get<uint32_t>(Data, 0) != Magic || Get<uint32_t>(Data, 4) != Version) return -1;
  if (Get<uint32_t>(Data, 8) != static_cast<uint32_t>(getpid())) return -1;
  if (Get<uint32_t>(Data, 12) != RecordSize) return -1;
  if (Get<uint64_t>(Data, 16) != ProcessToken()) return -1;
  if (Get<uint64_t>(Data, 24) != reinterpret_cast<uintptr_t>(Control)) return -1;
  const int32_t column = Get<int32_t>(Data, 32);
  if (Get<uint32_t>(Data, 36) != 0) return -1;
  TEmberColumns* columns = Control->GetHeader() ? Control->GetHeader()->GetColumns() : nullptr;
  if (!columns || column < 0 || column >= columns->GetCount()) return -1;
  return column;
}

}  // namespace headerdrag

namespace {

FORMATETC HeaderFormat() {
  TEmberFormatEtc f;
  FillHeaderFormatEtc(f);
  FORMATETC out;
  out.cfFormat = static_cast<CLIPFORMAT>(f.cfFormat);
  out.ptd = nullptr;
  out.dwAspect = f.dwAspect;
  out.lindex = f.lindex;
  out.tymed = f.tymed;
  return out;
}

bool HasHeaderFormat(IDataObject* DataObject) {
  if (!DataObject) return false;
  FORMATETC f = HeaderFormat();
  return DataObject->QueryGetData(&f) == S_OK;
}

// The column a data object's record names for this control; nil when it names none.
TEmberColumn* RecordColumn(IDataObject* DataObject, TCustomEmberListview* Control) {
  if (!DataObject || !Control) return nullptr;
  FORMATETC f = HeaderFormat();
  STGMEDIUM medium;
  if (DataObject->GetData(&f, &medium) != S_OK) return nullptr;
  Integer index = -1;
  if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
    const size_t size = GlobalSize(medium.hGlobal);
    if (const auto* data = static_cast<const Byte*>(GlobalLock(medium.hGlobal))) {
      index = headerdrag::Decode(data, size, Control);
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
  return index >= 0 ? Control->GetHeader()->GetColumns()->GetColumn(index) : nullptr;
}

}  // namespace

// ---- The header's column drag ----
void TEmberHeaderDragManager::Create(TCustomEmberListview* AOwner) {
  TCustomEmberDragManagerBase::Create(AOwner);
  SetEnabled(false);
  SetDragCursor(crDrag);
  FDefaultImageEvent = [this](TObject* Sender, TBitmap* Image, TPoint DragStartPt, TPoint& HotSpot,
                              TColor& TransparentColor, bool& Handled) {
    DefaultImage(Sender, Image, DragStartPt, HotSpot, TransparentColor, Handled);
  };
}

TCursor TEmberHeaderDragManager::GetDragCursor() const {
  return OwnerListview() ? OwnerListview()->GetDragCursor() : crDrag;
}
void TEmberHeaderDragManager::SetDragCursor(TCursor Value) {
  if (OwnerListview()) OwnerListview()->SetDragCursor(Value);
}

void TEmberHeaderDragManager::SetDragType(TEmberDragType Value) {
  FDragType = Value;
  if (Value == TEmberDragType::edtVCL) SetRegistered(false);
}

void TEmberHeaderDragManager::ColumnFreeing(TEmberColumn* Column) {
  if (FColumn == Column) FColumn = nullptr;
  if (FTargetColumn == Column) FTargetColumn = nullptr;
  if (FDropColumn == Column) {
    FDropColumn = nullptr;
    FAllowDrop = false;
  }
}

namespace {
bool ColumnsScroll(TCustomEmberListview* lv) {
  return lv && (lv->GetView() == TEmberListStyle::elsReport || lv->GetView() == TEmberListStyle::elsReportThumb);
}
}  // namespace

bool TEmberHeaderDragManager::ScrollLeft(TPoint WindowPt) {
  return ColumnsScroll(OwnerListview()) && WindowPt.X < GetAutoScrollMargin();
}
bool TEmberHeaderDragManager::ScrollRight(TPoint WindowPt) {
  TCustomEmberListview* lv = OwnerListview();
  return ColumnsScroll(lv) && WindowPt.X > lv->GetClientWidth() - GetAutoScrollMargin();
}

void TEmberHeaderDragManager::GetDragImageSize(Integer& Width, Integer& Height) {
  Width = FDragImageWidth;
  Height = FDragImageHeight;
}

ComPtr<IDataObject> TEmberHeaderDragManager::MakeDataObject() {
  TEmberDataObjectManager* obj = TEmberDataObjectManager::Make(OwnerListview());
  return ComPtr<IDataObject>(obj->AsDataObject());
}

// Starting an OLE drag, for a column and for items alike.
void TEmberHeaderDragManager::DoDragBegin(TPoint WindowPt, TCommonKeyStates Keys) {
  TCustomEmberListview* lv = OwnerListview();
  if (!GetEnabled() || !lv) return;
  if (FDragType == TEmberDragType::edtVCL) {
    VCLDragStart();
    return;
  }
  ComPtr<IDataObject> data = MakeDataObject();
  if (!data) return;
  TCommonDropEffects effects;
  bool allow = false;
  DoOLEDragStart(data.Get(), effects, allow);
  if (!allow) {
    // Refused before it began, the drag has no end to report; a column's press is let go.
    if (FHeader) FHeader->EndMouseStates();
    FColumn = nullptr;
    return;
  }
  if (FEnableDragImage) {
    Integer w = 0, h = 0;
    GetDragImageSize(w, h);
    Owned<TBitmap> image(TBitmap::New());
    image->SetPixelFormat(TPixelFormat::pf32bit);
    image->SetSize(std::max(w, 1), std::max(h, 1));
    TPoint hotSpot;
    TColor transparent = clWindow;
    bool handled = false;
    DoGetDragImage(image.get(), WindowPt, hotSpot, transparent, handled);
    if (!handled && FDefaultImageEvent) FDefaultImageEvent(this, image.get(), WindowPt, hotSpot, transparent, handled);
    common::ICommonDataObject* common = nullptr;
    if (handled && data->QueryInterface(common::ICommonDataObject::Iid, reinterpret_cast<void**>(&common)) == S_OK) {
      common->AssignDragImage(image.get(), hotSpot, transparent);
      common->Release();
    }
  }
  ComPtr<IDropSource> source(static_cast<IDropSource*>(TEmberDropSourceManager::New(lv)));
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT hr = lv->DoDragDrop(data.Get(), source.Get(), effects, effect);
  const TCommonOLEDragResult result = hr == DRAGDROP_S_DROP     ? TCommonOLEDragResult::cdrDrop
                                      : hr == DRAGDROP_S_CANCEL ? TCommonOLEDragResult::cdrCancel
                                                                : TCommonOLEDragResult::cdrError;
  DoOLEDragEnd(data.Get(), result, common::DropEffectToCommonDropEffects(effect), Keys);
  common::ICommonDataObject* made = nullptr;
  if (data->QueryInterface(common::ICommonDataObject::Iid, reinterpret_cast<void**>(&made)) == S_OK) {
    if (auto* manager = dynamic_cast<TEmberDataObjectManager*>(made)) manager->SetListview(nullptr);
    made->Release();
  }
}

void TEmberHeaderDragManager::DoOLEDragStart(IDataObject* DataObject, TCommonDropEffects& AvailableEffects,
                                             bool& AllowDrag) {
  AllowDrag = GetEnabled() && FColumn && FHeader;
  AvailableEffects = TCommonDropEffects{TCommonDropEffect::cdeMove};
  if (!AllowDrag) return;
  // Stored under the format's own description, which the drop side asks for.
  const std::vector<Byte> record = headerdrag::Encode(OwnerListview(), FColumn->GetIndex());
  FORMATETC f = HeaderFormat();
  STGMEDIUM medium;
  medium.tymed = TYMED_HGLOBAL;
  medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, record.size());
  void* block = medium.hGlobal ? GlobalLock(medium.hGlobal) : nullptr;
  if (!block) {
    if (medium.hGlobal) GlobalFree(medium.hGlobal);
    AllowDrag = false;
    return;
  }
  std::memcpy(block, record.data(), record.size());
  GlobalUnlock(medium.hGlobal);
  if (FAILED(DataObject->SetData(&f, &medium, 1))) {
    GlobalFree(medium.hGlobal);
    AllowDrag = false;
  }
}

void TEmberHeaderDragManager::DoOLEDragEnd(IDataObject*, TCommonOLEDragResult, TCommonDropEffects, TCommonKeyStates) {
  if (FHeader) FHeader->EndMouseStates();
  FColumn = nullptr;
}

void TEmberHeaderDragManager::SetTargetColumn(TEmberColumn* Value) {
  if (Value == FTargetColumn) return;
  if (TEmberColumn* old = FTargetColumn) {
    old->SetState(old->GetState() - TEmberStorageObjectState::esosDropTarget);
    old->Invalidate(false);
  }
  FTargetColumn = Value;
  if (Value) {
    Value->SetState(Value->GetState() + TEmberStorageObjectState::esosDropTarget);
    Value->Invalidate(false);
  }
}

void TEmberHeaderDragManager::DoDragEnter(IDataObject* DataObject, TPoint, TCommonKeyStates, TCommonDropEffect&) {
  FDropColumn = RecordColumn(DataObject, OwnerListview());
  FAllowDrop = FDropColumn != nullptr;
}

// Over the header a column under the point is the target; anywhere else, and where no column
// lies, nothing can be dropped.
void TEmberHeaderDragManager::DoDrag(TCommonKeyStates, TPoint WindowPt, TCommonDropEffect& Effect) {
  Effect = TCommonDropEffect::cdeNone;
  TCustomEmberListview* lv = OwnerListview();
  if (!FAllowDrop || !FHeader || !lv) return;
  if (WindowPt.Y < 0 || WindowPt.Y >= FHeader->RuntimeHeight()) {
    SetTargetColumn(nullptr);
    return;
  }
  TPoint p = WindowPt;
  if (lv->ScrollHeaderHorz()) p.X += lv->GetScrollbars()->GetOffsetX();
  TEmberColumn* target = FHeader->ColumnAt(p);
  SetTargetColumn(target);
  if (target) Effect = TCommonDropEffect::cdeMove;
}

void TEmberHeaderDragManager::DoDragDrop(TPoint WindowPt, TCommonKeyStates Keys, TCommonDropEffect& Effect) {
  TEmberColumn* moved = FDropColumn;
  TEmberColumn* target = FTargetColumn;
  if (FAllowDrop && moved && target) {
    moved->SetPosition(target->GetPosition());
    if (TCustomEmberListview* lv = OwnerListview()) lv->GetGroups()->Rebuild(false);
  } else {
    Effect = TCommonDropEffect::cdeNone;
  }
  DoDragEnd(WindowPt, Keys);
}

void TEmberHeaderDragManager::DoDragEnd(TPoint, TCommonKeyStates) {
  SetTargetColumn(nullptr);
  FAllowDrop = false;
  FDropColumn = nullptr;
}

// The dragged column alone, painted as the header paints it.
void TEmberHeaderDragManager::DefaultImage(TObject*, TBitmap* Image, TPoint DragStartPt, TPoint& HotSpot,
                                           TColor& TransparentColor, bool& Handled) {
  TCustomEmberListview* lv = OwnerListview();
  if (!Image || !FColumn || !FHeader || !lv) return;
  TransparentColor = lv->GetColor();
  const TRect r = FColumn->GetDisplayRect();
  Image->SetSize(std::max(r.Width(), 1), std::max(FHeader->GetHeight(), 1));
  TCanvas* canvas = Image->GetCanvas();
  canvas->GetBrush()->SetColor(FHeader->GetColor());
  canvas->FillRect(TRect{0, 0, Image->GetWidth(), Image->GetHeight()});
  TPoint start = DragStartPt;
  if (lv->ScrollHeaderHorz()) start.X += lv->GetScrollbars()->GetOffsetX();
  HotSpot = TPoint{start.X - r.Left, start.Y - r.Top};
  HDC dc = canvas->GetHandle();
  TPoint old;
  SetViewportOrgEx(dc, -r.Left, -r.Top, &old);
  FColumn->Paint(canvas, r);
  SetViewportOrgEx(dc, old.X, old.Y, nullptr);
  Handled = true;
}

// ---- The item drag's registration ----
void TEmberOLEDragManager::SetEnabled(bool Value) {
  TEmberHeaderDragManager::SetEnabled(Value);
  SetRegistered(Value);
}

// ---- The drop target ----
bool TEmberDropTargetManager::ImplementsInterface(REFIID iid, void** out) {
  if (iid != IDropTarget::Iid) return false;
  *out = static_cast<IDropTarget*>(this);
  return true;
}

TPoint TEmberDropTargetManager::ClientPoint(TPoint ScreenPt) const {
  if (Owner() && Owner()->HandleAllocated()) ScreenToClient(Owner()->Handle(), &ScreenPt);
  return ScreenPt;
}

// Asked for once: a platform without the class answers the same every time.
IDropTargetHelper* TEmberDropTargetManager::DropTargetHelper() {
  if (!FHelperAsked && common::IsNT5OrLater()) {
    FHelperAsked = true;
    if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IDropTargetHelper::Iid,
                                FDropTargetHelper.GetVoidAddress())))
      FDropTargetHelper = nullptr;
  }
  return FDropTargetHelper.Get();
}

// Every step answers S_OK, refusing by the effect it gives back. A caller that gives no effect to
// fill allows none and gets none back.
HRESULT TEmberDropTargetManager::DragEnter(IDataObject* DataObject, DWORD KeyState, TPoint Pt, DWORD* Effect) {
  TCustomEmberListview* lv = Owner();
  FDragManager = nullptr;
  const DWORD allowed = Effect ? *Effect : DROPEFFECT_NONE;
  if (IDropTargetHelper* helper = lv ? DropTargetHelper() : nullptr) {
    TPoint pt = Pt;
    helper->DragEnter(lv->HandleAllocated() ? lv->Handle() : nullptr, DataObject, &pt, allowed);
  }
  if (!lv || !lv->GetDragManager()->GetEnabled()) {
    if (Effect) *Effect = DROPEFFECT_NONE;
    return S_OK;
  }
  const TCommonKeyStates keys = common::KeyStateToCommonKeyStates(KeyState);
  const TCommonDropEffects available = common::DropEffectToCommonDropEffects(allowed);
  TCommonDropEffect desired = common::CommonKeyStatesToDropEffect(keys);
  const TPoint client = ClientPoint(Pt);
  lv->DoOLEDragEnter(DataObject, keys, client, available, desired);
  if (HasHeaderFormat(DataObject))
    FDragManager = lv->GetHeader()->GetDragManager();
  else
    FDragManager = lv->GetDragManager();
  FDragManager->DragEnter(DataObject, keys, client, desired);
  if (Effect) *Effect = common::CommonDropEffectToDropEffect(desired);
  return S_OK;
}

HRESULT TEmberDropTargetManager::DragOver(DWORD KeyState, TPoint Pt, DWORD* Effect) {
  TCustomEmberListview* lv = Owner();
  const DWORD allowed = Effect ? *Effect : DROPEFFECT_NONE;
  if (FDropTargetHelper) {
    TPoint pt = Pt;
    FDropTargetHelper->DragOver(&pt, allowed);
  }
  if (!lv || !lv->GetDragManager()->GetEnabled() || !FDragManager) {
    if (Effect) *Effect = DROPEFFECT_NONE;
    return S_OK;
  }
  const TCommonKeyStates keys = common::KeyStateToCommonKeyStates(KeyState);
  // Each step reports what the source allows now: a source may narrow or widen its effects
  // while the drag goes on.
  const TCommonDropEffects available = common::DropEffectToCommonDropEffects(allowed);
  TCommonDropEffect desired = common::CommonKeyStatesToDropEffect(keys);
  const TPoint client = ClientPoint(Pt);
  lv->DoOLEDragOver(keys, client, available, desired);
  FDragManager->Drag(keys, client, desired);
  if (Effect) *Effect = common::CommonDropEffectToDropEffect(desired);
  return S_OK;
}

HRESULT TEmberDropTargetManager::DragLeave() {
  if (FDropTargetHelper) FDropTargetHelper->DragLeave();
  TCustomEmberListview* lv = Owner();
  if (!lv) return S_OK;
  lv->DoOLEDragLeave();
  if (FDragManager) FDragManager->DragEnd({}, TPoint{});
  FDragManager = nullptr;
  return S_OK;
}

HRESULT TEmberDropTargetManager::Drop(IDataObject* DataObject, DWORD KeyState, TPoint Pt, DWORD* Effect) {
  TCustomEmberListview* lv = Owner();
  const DWORD allowed = Effect ? *Effect : DROPEFFECT_NONE;
  if (FDropTargetHelper) {
    TPoint pt = Pt;
    FDropTargetHelper->Drop(DataObject, &pt, allowed);
  }
  if (!lv) return S_OK;
  const TCommonKeyStates keys = common::KeyStateToCommonKeyStates(KeyState);
  const TCommonDropEffects available = common::DropEffectToCommonDropEffects(allowed);
  TCommonDropEffect desired = common::CommonKeyStatesToDropEffect(keys);
  bool handled = false;
  const TPoint client = ClientPoint(Pt);
  lv->DoOLEDragDrop(DataObject, keys, client, available, desired, handled);
  if (FDragManager) FDragManager->DragDrop(keys, client, desired);
  FDragManager = nullptr;
  if (Effect) *Effect = common::CommonDropEffectToDropEffect(desired);
  return S_OK;
}

// ---- The drop source ----
bool TEmberDropSourceManager::ImplementsInterface(REFIID iid, void** out) {
  if (iid != IDropSource::Iid) return false;
  *out = static_cast<IDropSource*>(this);
  return true;
}

HRESULT TEmberDropSourceManager::QueryContinueDrag(BOOL EscapePressed, DWORD KeyState) {
  const TCommonKeyStates keys = common::KeyStateToCommonKeyStates(KeyState);
  const bool button = (KeyState & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
  TEmberQueryDragResult result = TEmberQueryDragResult::eqdrContinue;
  // A released button drops, even with Escape down.
  if (!button)
    result = TEmberQueryDragResult::eqdrDrop;
  else if (EscapePressed)
    result = TEmberQueryDragResult::eqdrQuit;
  if (Owner()) Owner()->DoOLEQueryContineDrag(EscapePressed != 0, keys, result);
  switch (result) {
    case TEmberQueryDragResult::eqdrContinue: return S_OK;
    case TEmberQueryDragResult::eqdrQuit: return DRAGDROP_S_CANCEL;
    case TEmberQueryDragResult::eqdrDrop: return DRAGDROP_S_DROP;
  }
  return E_UNEXPECTED;
}

HRESULT TEmberDropSourceManager::GiveFeedback(DWORD Effect) {
  bool useDefault = true;
  if (Owner()) Owner()->DoOLEGiveFeedback(common::DropEffectToCommonDropEffects(Effect), useDefault);
  return useDefault ? DRAGDROP_S_USEDEFAULTCURSORS : S_OK;
}

// ---- The data object ----
TEmberDataObjectManager* TEmberDataObjectManager::Make(TCustomEmberListview* AListview) {
  TEmberDataObjectManager* obj = TEmberDataObjectManager::New(true);
  obj->FListview = AListview;
  return obj;
}

void TEmberDataObjectManager::DoGetCustomFormats(DWORD Direction, common::TFormatEtcArray& Formats) {
  if (FListview) FListview->DoOLEGetCustomFormats(static_cast<Integer>(Direction), Formats);
}
void TEmberDataObjectManager::DoGetData(const FORMATETC& FormatEtcIn, STGMEDIUM& Medium, bool& Handled) {
  if (FListview) FListview->DoOLEGetData(FormatEtcIn, Medium, Handled);
}
void TEmberDataObjectManager::DoQueryGetData(const FORMATETC& FormatEtcIn, bool& FormatAvailable, bool& Handled) {
  if (FListview) FListview->DoOLEQueryData(FormatEtcIn, FormatAvailable, Handled);
}

}  // namespace ember
