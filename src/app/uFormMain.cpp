#include "app/uFormMain.h"

#include "app/uCustomViewItem.h"
#include "app/uDlgAdd.h"
#include "app/uDlgPreview.h"
#include "app/uDlgUpload.h"
#include "app/uFormBuild.h"
#include "app/uOpenLink.h"
#include "common/CommonDataObject.h"
#include "order/uLists.h"
#include "order/uSettings.h"
#include "order/uUtils.h"
#include "orderui/uListsUI.h"
#include "orderui/uUtilsUI.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Strings.h"
#include "platform/rtl/SysUtils.h"

namespace app {

using ember::TEmberGroup;
using ember::TEmberListview;

namespace {

constexpr Integer kPanelWidth = 214;
constexpr Integer kPanelHeight = 310;
constexpr TColor kAqua = 0xFFFF00;
constexpr TColor kRed = 0x0000FF;

const FORMATETC kHDrop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

bool IsPhotoFile(const String& File) {
  const String ext = LowerCase(ExtractFileExt(File));
  for (const char16_t* known : {u".bmp", u".jpg", u".jpeg", u".png"})
    if (ext == known) return true;
  return false;
}

// A shipped picture; a build without it (a test of other windows) shows none.
void LoadShipped(TBitmap* Picture, const char* Name, const char16_t* WideName) {
  if (FindResource("PNG", Name)) Picture->LoadFromResourceName(WideName);
}

}  // namespace

void TMain::Create(TComponent* AOwner) {
  TForm::Create(AOwner);
  SetName(u"Main");
  SetCaption(MainCaption);
  if (Application) Application->Title = MainCaption;
  Position = TPosition::poScreenCenter;
  SetShowHint(true);
  SetClientWidth(750);
  SetClientHeight(550);
  // The window can grow, never shrink below its first size.
  SetConstraints(TSizeConstraints{GetWidth(), GetHeight()});
  BuildTop();
  BuildPanel();
  Photos();
  List->GetCellSizes()->GetThumbnail()->SetSize(kPanelWidth, kPanelHeight);
  // The empty list tells the customer how to begin, on as many lines as the text has.
  List->GetBackGround()->SetCaptionShow(true);
  List->GetBackGround()->SetCaptionSingleLine(false);
  List->GetBackGround()->SetCaption(
      u"Для начала нужно составить список фотографий, которые Вы хотите распечатать\r\n"
      u"Чтобы сделать это - перетащите фотографии в эту область или нажмите \"" + ActAddFoto->GetCaption() + u"\"");
  // The panel floats inside the list's window, over the selected cell.
  pnlImage->SetParent(List);
  pnlImage->ControlStyle = pnlThumb->ControlStyle;
  pnlImage->ControlStyle.Include(TControlStyleItem::csOpaque);
  pnlImage->ControlStyle.Include(TControlStyleItem::csFixedWidth);
  pnlImage->ControlStyle.Include(TControlStyleItem::csFixedHeight);
  pnlImage->ControlStyle.Exclude(TControlStyleItem::csParentBackground);
  pnlImage->ControlStyle.Exclude(TControlStyleItem::csNeedsBorderPaint);
  pnlThumb->ControlStyle.Include(TControlStyleItem::csOpaque);
  pnlThumb->ControlStyle.Exclude(TControlStyleItem::csParentBackground);
  pnlThumb->ControlStyle.Exclude(TControlStyleItem::csNeedsBorderPaint);
  // The cells reflow with the list's size: the panel goes on lying over its photo's cell.
  List->OnResize = [this](TObject* s) { ListResize(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
}

void TMain::BuildTop() {
  imbLogo = AddControl<TImage>(this, this, u"imbLogo", 10, 10, 250, 70);
  Owned<TBitmap> logo(TBitmap::New());
  LoadShipped(logo.get(), "LOGO", u"LOGO");
  imbLogo->SetPicture(logo.get());

  Actions = TActionList::New(this);
  Actions->SetName(u"Actions");
  ActAddFoto = TAction::New(this);
  ActAddFoto->SetName(u"ActAddFoto");
  ActAddFoto->SetActionList(Actions);
  ActAddFoto->SetCaption(u"Добавить фото...");
  ActAddFoto->OnExecute = [this](TObject* s) { ActAddFotoExecute(s); };
  ActUpload = TAction::New(this);
  ActUpload->SetName(u"ActUpload");
  ActUpload->SetActionList(Actions);
  ActUpload->SetCaption(u"Оформить заказ");
  ActUpload->OnExecute = [this](TObject* s) { ActUploadExecute(s); };

  List = AddControl<TEmberListview>(this, this, u"List", 10, 90, 730, 450);
  List->SetView(ember::TEmberListStyle::elsThumbnail);
  List->SetShowThemedBorder(false);
  // Files dropped from a file manager come in through the list's drop target.
  List->GetDragManager()->SetEnabled(true);
  List->OnItemCustomView = [this](ember::TCustomEmberListview* s, ember::TEmberItem* i, ember::TEmberListStyle v,
                                  const ember::TEmberViewItemClass*& c) { ListItemCustomView(s, i, v, c); };
  List->OnItemSelectionChanged = [this](ember::TCustomEmberListview* s, ember::TEmberItem* i) {
    ListItemSelectionChanged(s, i);
  };
  List->OnScroll = [this](ember::TCustomEmberListview* s, Integer dx, Integer dy) { ListScroll(s, dx, dy); };
  List->OnOLEDragEnter = [this](ember::TCustomEmberListview*, IDataObject* d, TCommonKeyStates, TPoint, TCommonDropEffects,
                                TCommonDropEffect& e) { ListOLEDragEnter(d, e); };
  // The photos are copied into the order, never moved: over the list and at the drop the effect
  // stays the one answered at the entry, whatever the keys would choose. A move would tell the
  // file manager to delete the customer's photos once they are dropped.
  List->OnOLEDragOver = [this](ember::TCustomEmberListview*, TCommonKeyStates, TPoint, TCommonDropEffects,
                               TCommonDropEffect& e) { e = HDropEffect(); };
  List->OnOLEDragLeave = [this](ember::TCustomEmberListview* s) { ListOLEDragLeave(s); };
  List->OnOLEDragDrop = [this](ember::TCustomEmberListview*, IDataObject* d, TCommonKeyStates, TPoint, TCommonDropEffects,
                               TCommonDropEffect& e, bool& handled) {
    e = HDropEffect();
    ListOLEDragDrop(d, handled);
  };

  btnAddFoto = AddControl<TButton>(this, this, u"btnAddFoto", 490, 10, 120, 25);
  btnAddFoto->SetAction(ActAddFoto);
  btnUpload = AddControl<TButton>(this, this, u"btnUpload", 620, 10, 120, 25);
  btnUpload->SetAction(ActUpload);
  lnkManual = AddControl<TLinkLabel>(this, this, u"lnkManual", 490, 45, 250, 20);
  lnkManual->SetAlignment(TAlignment::taRightJustify);
  lnkManual->SetCaption(u"<a href=\"" + order::LabBaseURL() + u"/manual.htm\">Справка по программе</a>");
  lnkManual->OnLinkClick = [this](TObject* s, const String& Link, TSysLinkType t) { lnkManualLinkClick(s, Link, t); };

  pnlPrice = AddControl<TPanel>(this, this, u"pnlPrice", 270, 70, 470, 20);
  pnlPrice->SetBevelOuter(TBevelCut::bvNone);
  pnlPrice->SetCaption(u"");
  lblMinPrice = AddControl<TLabel>(this, pnlPrice, u"lblMinPrice", 340, 3, 130, 14);
  lblMinPrice->Alignment = TAlignment::taRightJustify;
  lblMinPrice->GetFont()->SetColor(clRed);
  lblMinPrice->SetCaption(u"(мин. заказ - 50 руб)");
  lblStat = AddControl<TLabel>(this, pnlPrice, u"lblStat", 0, 3, 335, 14);
  lblStat->Alignment = TAlignment::taRightJustify;

  DlgOpen = TOpenDialog::New(this);
  DlgOpen->SetName(u"DlgOpen");
  DlgOpen->Filter = PhotoFilter;
  DlgOpen->Options.Include(TOpenOption::ofAllowMultiSelect);
  DlgOpen->Options.Include(TOpenOption::ofEnableSizing);

  Timer = TTimer::New(this);
  Timer->SetName(u"Timer");
  Timer->SetInterval(700);
  Timer->OnTimer = [this](TObject* s) { TimerTimer(s); };
}

void TMain::BuildPanel() {
  pnlImage = AddControl<TPanel>(this, this, u"pnlImage", 0, 0, kPanelWidth, kPanelHeight);
  pnlImage->SetVisible(false);
  pnlImage->SetColor(clSilver);
  pnlImage->SetBevelOuter(TBevelCut::bvNone);
  pnlImage->SetCaption(u"");
  pnlImage->DoubleBuffered = true;
  pnlThumb = AddControl<TPanel>(this, pnlImage, u"pnlThumb", 7, 5, 200, 200);
  pnlThumb->SetColor(clSilver);
  pnlThumb->SetBevelOuter(TBevelCut::bvNone);
  pnlThumb->SetCaption(u"");
  pnlThumb->DoubleBuffered = true;
  pbThumb = AddControl<TPaintBox>(this, pnlThumb, u"pbThumb", 0, 0, 200, 200);
  pbThumb->OnPaint = [this](TObject* s) { pbThumbPaint(s); };
  shpFrame = AddControl<TShape>(this, pnlThumb, u"shpFrame", 0, 0, 200, 200);
  shpFrame->GetBrush()->SetStyle(TBrushStyle::bsClear);
  shpFrame->GetPen()->SetColor(kAqua);
  shpFrame->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, Integer x, Integer y) { shpFrameMouseDown(s, b, sh, x, y); };
  shpFrame->OnMouseMove = [this](TObject* s, TShiftState sh, Integer x, Integer y) { shpFrameMouseMove(s, sh, x, y); };
  shpFrame->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, Integer x, Integer y) { shpFrameMouseUp(s, b, sh, x, y); };

  Images = TImageListEx::New(this);
  Images->SetName(u"Images");
  Images->SetSize(16, 16);
  Owned<TBitmap> strip(TBitmap::New());
  LoadShipped(strip.get(), "PANELBUTTONS", u"PANELBUTTONS");
  if (strip->GetWidth() > 0) Images->Add(strip.get(), nullptr);
  struct Button {
    TImageButton** field;
    const char16_t* name;
    Integer left, index;
    const char16_t* hint;
    TNotifyEvent click;
  } buttons[] = {
      {&btnEnlarge, u"btnEnlarge", 7, 0, u"Увеличить фотографию", [this](TObject* s) { btnEnlargeClick(s); }},
      {&btnRotate270, u"btnRotate270", 57, 1, u"Повернуть влево на 90°", [this](TObject* s) { btnRotate90Click(s); }},
      {&btnRotate90, u"btnRotate90", 87, 2, u"Повернуть вправо на 90°", [this](TObject* s) { btnRotate90Click(s); }},
      {&btnCopy, u"btnCopy", 137, 3, u"Копировать фотографию", [this](TObject* s) { btnCopyClick(s); }},
      {&btnDelete, u"btnDelete", 187, 4, u"Удалить фотографию из списка", [this](TObject* s) { btnDeleteClick(s); }},
  };
  for (const Button& b : buttons) {
    TImageButton* button = AddControl<TImageButton>(this, pnlImage, b.name, b.left, 210, 20, 20);
    button->SetImages(Images);
    button->SetNormalIndex(b.index);
    button->SetHotIndex(b.index);
    button->SetPushedIndex(b.index);
    button->SetDisabledIndex(b.index);
    button->SetPushDeltaX(1);
    button->SetPushDeltaY(1);
    button->SetCursor(crHandPoint);
    button->SetHint(b.hint);
    button->OnClick = b.click;
    *b.field = button;
  }
  btnRotate270->Tag = 0;
  btnRotate90->Tag = 1;

  const char16_t* labels[] = {u"Размер", u"Бумага", u"Кол-во"};
  for (Integer i = 0; i < 3; ++i) AddControl<TLabel>(this, pnlImage, u"lblPanel" + String(1, static_cast<Char>(u'1' + i)), 7, 235 + 25 * i, 50, 21)->SetCaption(labels[i]);
  cbPhotoSize = AddControl<TComboBox>(this, pnlImage, u"cbPhotoSize", 57, 235, 150, 21);
  cbPhotoSize->SetStyle(TComboBoxStyle::csDropDownList);
  cbPhotoSize->DropDownCount = 10;
  cbPaperType = AddControl<TComboBox>(this, pnlImage, u"cbPaperType", 57, 260, 150, 21);
  cbPaperType->SetStyle(TComboBoxStyle::csDropDownList);
  edPhotoCount = AddControl<TEdit>(this, pnlImage, u"edPhotoCount", 57, 285, 30, 21);
  edPhotoCount->SetText(u"1");
  DigitsOnly(edPhotoCount);
  udPhotoCount = AddControl<TUpDown>(this, pnlImage, u"udPhotoCount", 87, 285, 16, 21);
  udPhotoCount->SetMin(1);
  udPhotoCount->SetPosition(1);
  udPhotoCount->SetThousands(false);
  udPhotoCount->SetAssociate(edPhotoCount);
  cbWithBorders = AddControl<TCheckBox>(this, pnlImage, u"cbWithBorders", 145, 285, 70, 21);
  cbWithBorders->SetCaption(u"С полями");
  AttachPanelEvents(true);
}

void TMain::AttachPanelEvents(bool Attach) {
  cbPhotoSize->OnChange = Attach ? TNotifyEvent([this](TObject* s) { cbPhotoSizeChange(s); }) : nullptr;
  cbPaperType->OnChange = Attach ? TNotifyEvent([this](TObject* s) { cbPaperTypeChange(s); }) : nullptr;
  cbWithBorders->OnClick = Attach ? TNotifyEvent([this](TObject* s) { cbWithBordersClick(s); }) : nullptr;
  edPhotoCount->OnChange = Attach ? TNotifyEvent([this](TObject* s) { edPhotoCountChange(s); }) : nullptr;
  udPhotoCount->OnChangingEx = Attach ? TUDChangingEventEx([this](TObject* s, bool& allow, int16_t value, TUpDownDirection d) {
                                 udPhotoCountChangingEx(s, allow, value, d);
                               })
                                      : nullptr;
}

void TMain::LayOut() {
  // The list follows the window on every side; the buttons, link and totals keep to the right.
  const Integer w = GetClientWidth(), h = GetClientHeight();
  List->SetBounds(10, 90, std::max(0, w - 20), std::max(0, h - 100));
  btnAddFoto->SetLeft(w - 260);
  btnUpload->SetLeft(w - 130);
  lnkManual->SetLeft(w - 260);
  pnlPrice->SetLeft(w - 480);
}

void TMain::Dispatch(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_ADDFILES: {
      Owned<TObject> payload = TakePayload(Msg.LParam);
      if (auto* files = dynamic_cast<TStrings*>(payload.get())) AddFiles(files);
      return;
    }
    case WM_SIZE:
      TForm::Dispatch(Msg);
      if (List) LayOut();
      return;
    default:
      TForm::Dispatch(Msg);
  }
}

void TMain::FormShow(TObject*) {
  lblMinPrice->SetCaption(Format(u"(мин. заказ - %d руб.)", {order::MinPrice}));
  UpdateTotals();
}

void TMain::ListItemCustomView(ember::TCustomEmberListview*, ember::TEmberItem*, ember::TEmberListStyle,
                               const ember::TEmberViewItemClass*& View) {
  View = &TCustomViewItem::StaticClass();
}

void TMain::ListItemSelectionChanged(ember::TCustomEmberListview*, ember::TEmberItem*) { UpdateImagePanel(); }

void TMain::ListResize(TObject*) { UpdateImagePanel(); }

// The panel is placed at the cell when shown and does not follow a scroll: a scroll hides it.
void TMain::ListScroll(ember::TCustomEmberListview*, Integer, Integer) { List->GetSelection()->ClearAll(); }

void TMain::ListOLEDragLeave(ember::TCustomEmberListview*) { FDataObject = nullptr; }

void TMain::lnkManualLinkClick(TObject*, const String& Link, TSysLinkType) { OpenLink(Link); }

void TMain::udPhotoCountChangingEx(TObject*, bool& AllowChange, int16_t NewValue, TUpDownDirection) {
  if (TImageItemEx* item = CurrentItem()) item->PhotoCount = NewValue;
  UpdateTotals();
  AllowChange = true;
}

TEmberGroup* TMain::Photos() const {
  ember::TEmberGroups* groups = List->GetGroups();
  return groups->GetCount() > 0 ? groups->GetGroup(0) : groups->Add();
}

TImageItemEx* TMain::CurrentItem() const {
  if (List->GetGroups()->GetCount() == 0) return nullptr;
  TEmberGroup* g = List->GetGroups()->GetGroup(0);
  for (Integer i = 0; i < g->GetItemCount(); ++i)
    if (g->GetItem(i)->GetSelected()) return dynamic_cast<TImageItemEx*>(g->GetItem(i));
  return nullptr;
}

void TMain::CalcTotals(Integer& Prints, Int64& TotalKopecks) const {
  Prints = 0;
  TotalKopecks = 0;
  TEmberGroup* g = Photos();
  for (Integer i = 0; i < g->GetItemCount(); ++i)
    if (auto* item = dynamic_cast<TImageItemEx*>(g->GetItem(i))) {
      Prints += item->PhotoCount;
      TotalKopecks += item->TotalKopecks();
    }
}

void TMain::UpdateTotals() {
  Integer prints = 0;
  Int64 kopecks = 0;
  CalcTotals(prints, kopecks);
  lblMinPrice->SetVisible(Int64(order::MinPrice) * 100 > kopecks);
  // The totals take the strip up to the minimum-order warning, or all of it.
  const Integer statWidth = pnlPrice->GetWidth() - (lblMinPrice->GetVisible() ? lblMinPrice->GetWidth() + 5 : 0);
  lblStat->SetBounds(0, lblStat->GetTop(), std::max<Integer>(0, statWidth), lblStat->GetHeight());
  lblStat->SetCaption(Format(u"Фотографий: %s шт., отпечатков: %s шт. Сумма заказа - %s руб.",
                             {order::FormatInteger(Photos()->GetItemCount()), order::FormatInteger(prints),
                              order::FormatMoney(static_cast<double>(kopecks) / 100.0)}));
}

void TMain::UpdateImagePanel() {
  if (cbPhotoSize->GetItems()->Count() == 0) order::PhotoSizes()->FillPhotoSizes(cbPhotoSize->GetItems());
  TImageItemEx* item = CurrentItem();
  if (!item) {
    pnlImage->SetVisible(false);
    return;
  }
  AttachPanelEvents(false);
  try {
    ember::TEmberRectArrayObject rects;
    item->ItemRectArray(nullptr, List->GetScratchCanvas(), rects);
    const Integer border = List->GetPaintInfoItem()->GetBorder();
    ember::TEmberScrollbarManager* sb = List->GetScrollbars();
    const TPoint at = sb->MapViewToWindow({rects.BoundsRect.Left, rects.BoundsRect.Top});
    pnlImage->SetBounds(at.X - border, at.Y - border, pnlImage->GetWidth(), pnlImage->GetHeight());
    UpdateThumbPanel();
    cbPhotoSize->SetItemIndex(item->GetPhotoSize());
    order::PhotoSizes()->FillPaperTypes(item->GetPhotoSize(), cbPaperType->GetItems());
    order::SelectComboObject(cbPaperType, reinterpret_cast<TObject*>(static_cast<intptr_t>(item->PaperType)));
    edPhotoCount->SetText(order::FormatInteger(item->PhotoCount));
    udPhotoCount->SetPosition(static_cast<int16_t>(std::clamp<Integer>(item->PhotoCount, udPhotoCount->GetMin(), udPhotoCount->GetMax())));
    cbWithBorders->SetChecked(item->WithBorders());
  } catch (...) {
    AttachPanelEvents(true);
    throw;
  }
  AttachPanelEvents(true);
  pnlImage->SetVisible(true);
}

void TMain::UpdateThumbPanel() {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  const Integer tw = item->Thumb() ? item->Thumb()->Width() : 0;
  const Integer th = item->Thumb() ? item->Thumb()->Height() : 0;
  // Centred in the panel's top square, where the cell draws the thumbnail too.
  pnlThumb->SetBounds((pnlImage->GetWidth() - tw) / 2, (pnlImage->GetWidth() - th) / 2, tw, th);
  pbThumb->SetBounds(0, 0, tw, th);
  shpFrame->SetVisible(item->FrameType() != ftNone);
  if (item->FrameType() == ftMoveHorz) {
    shpFrame->SetBounds(item->FrameOffset, 0, item->FrameWidth(), item->FrameHeight());
    shpFrame->SetCursor(crSizeWE);
  } else if (item->FrameType() == ftMoveVert) {
    shpFrame->SetBounds(0, item->FrameOffset, item->FrameWidth(), item->FrameHeight());
    shpFrame->SetCursor(crSizeNS);
  }
  pbThumb->Invalidate();
}

void TMain::AddFiles(TStrings* Files) {
  for (Integer i = Files->Count() - 1; i >= 0; --i)
    if (!IsPhotoFile(Files->Get(i))) Files->Delete(i);
  if (Files->Count() == 0) {
    order::ShowError(u"Не найдено ни одного изображения");
    return;
  }
  Owned<TDlgAdd> dlg(TDlgAdd::New(this));
  if (!dlg->Execute(Files)) return;
  List->BeginUpdate();
  try {
    TEmberGroup* added = dlg->Images->GetGroups()->GetGroup(0);
    for (Integer i = 0; i < added->GetItemCount(); ++i)
      if (auto* source = dynamic_cast<TImageItem*>(added->GetItem(i)))
        AddImage(source, dlg->PaperType(), dlg->WithBorders(), dlg->PhotoCount(), dlg->PhotoSize());
    UpdateTotals();
  } catch (...) {
    List->EndUpdate();
    throw;
  }
  List->EndUpdate();
  // The first photo selected shows the editing panel.
  if (List->GetSelection()->GetCount() == 0) List->GetSelection()->SelectFirst();
}

void TMain::AddImage(TImageItem* Source, TPaperType PaperType, bool WithBorders, Integer PhotoCount, Integer PhotoSize) {
  auto* item = static_cast<TImageItemEx*>(Photos()->GetItems()->AddCustom(&TImageItemEx::StaticClass()));
  item->SetCaption(order::ExtractFileTitle(Source->FileName));
  item->FileName = Source->FileName;
  item->OrigWidth = Source->OrigWidth;
  item->OrigHeight = Source->OrigHeight;
  item->PaperType = PaperType;
  item->SetPhotoSize(PhotoSize);
  item->PhotoCount = PhotoCount;
  // The thumbnail moves over: the dialog's item no longer owns it.
  item->ChangeThumb(Source->Thumb(), true);
  Source->ChangeThumb(nullptr, false);
  item->SetWithBorders(WithBorders);
}

void TMain::DeleteImages(const TInfoList& Infos) {
  List->BeginUpdate();
  try {
    for (auto it = Infos.rbegin(); it != Infos.rend(); ++it)
      if (it->Uploaded && it->ImageItemEx) {
        TEmberGroup* g = it->ImageItemEx->GetOwnerGroup();
        if (g) g->GetItems()->Delete(it->ImageItemEx->GetIndex());
      }
  } catch (...) {
    List->EndUpdate();
    throw;
  }
  List->EndUpdate();
  UpdateTotals();
}

void TMain::ActAddFotoExecute(TObject*) {
  if (DlgOpen->Execute()) AddFiles(DlgOpen->GetFiles());
}

void TMain::ActUploadExecute(TObject*) {
  Integer prints = 0;
  Int64 kopecks = 0;
  CalcTotals(prints, kopecks);
  TEmberGroup* g = Photos();
  if (g->GetItemCount() == 0) {
    order::ShowInfo(u"Перед оформлением заказа надо добавить хотя бы одну фотографию в список");
    return;
  }
  if (Int64(order::MinPrice) * 100 > kopecks) {
    order::ShowInfoFmt(u"Стоимость заказа должна быть от %s руб. У Вас сейчас - %s руб.",
                       {order::FormatInteger(order::MinPrice), order::FormatMoney(static_cast<double>(kopecks) / 100.0)});
    return;
  }
  auto* infos = new TInfoList;
  for (Integer i = 0; i < g->GetItemCount(); ++i)
    if (auto* item = dynamic_cast<TImageItemEx*>(g->GetItem(i))) {
      infos->emplace_back();
      item->GetInfo(infos->back());
    }
  Owned<TDlgUpload> dlg(TDlgUpload::New(this, infos));
  dlg->OnDeleteImages = [this](const TInfoList& sent) { DeleteImages(sent); };
  dlg->Execute();
}

void TMain::btnEnlargeClick(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  order::BeginWait();
  Owned<TDlgPreview> preview(TDlgPreview::New(Application));
  bool ok = false;
  try {
    ok = preview->PrepareImage(item);
  } catch (...) {
    order::EndWait();
    throw;
  }
  order::EndWait();
  if (!ok) {
    order::ShowErrorFmt(u"Ошибка при загрузке фотографии. %s", {preview->LastError()});
    return;
  }
  preview->SetPopupParent(this);
  preview->ShowModal();
  if (item->FrameType() != ftNone) item->SetFrameOffsetClamped(preview->GetFrameOffset());
  UpdateThumbPanel();
  item->Invalidate(false);
}

void TMain::btnRotate90Click(TObject* Sender) {
  if (TImageItemEx* item = CurrentItem()) {
    if (static_cast<TComponent*>(Sender)->Tag == 0) item->RotateLeft();
    else item->RotateRight();
    UpdateThumbPanel();
    item->Invalidate(false);
  }
  pbThumb->Invalidate();
}

void TMain::btnCopyClick(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  auto* copy = static_cast<TImageItemEx*>(Photos()->GetItems()->InsertCustom(item->GetIndex(), &TImageItemEx::StaticClass()));
  copy->AssignItem(item);
  copy->Invalidate(true);
  UpdateTotals();
}

void TMain::btnDeleteClick(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  Photos()->GetItems()->Delete(item->GetIndex());
  UpdateTotals();
}

void TMain::cbPhotoSizeChange(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  item->SetPhotoSize(cbPhotoSize->GetItemIndex());
  // The paper starts over at the first one the new size offers.
  order::PhotoSizes()->FillPaperTypes(cbPhotoSize->GetItemIndex(), cbPaperType->GetItems());
  if (cbPaperType->GetItems()->Count() > 0) cbPaperType->SetItemIndex(0);
  cbPaperTypeChange(cbPaperType);
  cbPaperType->Invalidate();
}

void TMain::cbPaperTypeChange(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  item->PaperType = static_cast<TPaperType>(reinterpret_cast<intptr_t>(order::GetComboObject(cbPaperType)) & 0xFF);
  UpdateThumbPanel();
  UpdateTotals();
  item->Invalidate(false);
}

void TMain::cbWithBordersClick(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!item) return;
  item->SetWithBorders(cbWithBorders->GetChecked());
  UpdateThumbPanel();
  item->Invalidate(false);
}

void TMain::edPhotoCountChange(TObject*) { PositionFromDigits(edPhotoCount, udPhotoCount); }

void TMain::TimerTimer(TObject*) {
  if (!pnlImage->GetVisible() || !shpFrame->GetVisible()) return;
  shpFrame->GetPen()->SetColor(shpFrame->GetPen()->GetColor() == kRed ? kAqua : kRed);
}

void TMain::pbThumbPaint(TObject*) {
  TImageItemEx* item = CurrentItem();
  if (!pnlImage->GetVisible() || !item || !item->Thumb()) return;
  item->Thumb()->Draw(pbThumb->GetCanvas(), 0, 0);
  if (item->LowResolution())
    if (TBitmap* warning = order::WarningImage())
      pbThumb->GetCanvas()->Draw(pbThumb->GetWidth() - warning->GetWidth(), 0, warning);
}

void TMain::shpFrameMouseDown(TObject*, TMouseButton Button, TShiftState, Integer, Integer) {
  FFrameDragging = Button == TMouseButton::mbLeft;
  if (!FFrameDragging) return;
  FStartPoint = TPoint{shpFrame->GetLeft(), shpFrame->GetTop()};
  GetCursorPos(&FStartMovePoint);
}

void TMain::shpFrameMouseUp(TObject*, TMouseButton, TShiftState, Integer, Integer) { FFrameDragging = false; }

void TMain::shpFrameMouseMove(TObject*, TShiftState, Integer, Integer) {
  TImageItemEx* item = CurrentItem();
  if (!FFrameDragging || !item || item->FrameType() == ftNone) return;
  TPoint p;
  GetCursorPos(&p);
  const bool horz = item->FrameType() == ftMoveHorz;
  item->SetFrameOffsetClamped(horz ? p.X - FStartMovePoint.X + FStartPoint.X : p.Y - FStartMovePoint.Y + FStartPoint.Y);
  shpFrame->SetBounds(horz ? item->FrameOffset : 0, horz ? 0 : item->FrameOffset, item->FrameWidth(), item->FrameHeight());
}

void TMain::ListOLEDragEnter(IDataObject* DataObject, TCommonDropEffect& Effect) {
  FDataObject = ComPtr<IDataObject>(DataObject);
  Effect = HDropEffect();
}

TCommonDropEffect TMain::HDropEffect() const {
  return FDataObject && SUCCEEDED(FDataObject->QueryGetData(&kHDrop)) ? TCommonDropEffect::cdeCopy : TCommonDropEffect::cdeNone;
}

void TMain::ListOLEDragDrop(IDataObject*, bool& Handled) {
  Handled = false;
  if (!FDataObject || FAILED(FDataObject->QueryGetData(&kHDrop))) return;
  Owned<common::TCommonHDrop> drop(common::TCommonHDrop::New());
  if (!drop->LoadFromDataObject(FDataObject.Get())) return;
  auto files = Owned<TStringList>(TStringList::New());
  drop->FileNamesW(files.get());
  Handled = true;
  FDataObject = nullptr;
  // The add-photos dialog runs once the drop has returned to the file manager.
  PostMessage(Handle(), WM_ADDFILES, 0, Owned<TObject>(files.release()));
}

}  // namespace app
