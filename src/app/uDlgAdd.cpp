#include "app/uDlgAdd.h"

#include "app/uFormBuild.h"
#include "order/uLists.h"
#include "order/uUtils.h"
#include "orderui/uListsUI.h"
#include "platform/rtl/Format.h"

namespace app {

using ember::TEmberListview;

void DigitsOnly(TCustomEdit* Edit) {
  Edit->OnKeyPress = [](TObject*, Char& Key) {
    // Control keys (backspace, the clipboard's Ctrl+C/V/X) pass; the up-down rewrites a pasted
    // text that is not a number.
    if (Key >= u' ' && (Key < u'0' || Key > u'9')) Key = 0;
  };
}

void PositionFromDigits(TCustomEdit* Edit, TUpDown* UpDown) {
  const Int64 wanted = order::DigitsToInt64(Edit->GetText(), UpDown->GetPosition());
  UpDown->SetPosition(static_cast<int16_t>(std::clamp<Int64>(wanted, INT16_MIN, INT16_MAX)));
}

void TDlgAdd::Create(TComponent* AOwner) {
  TForm::Create(AOwner);
  SetName(u"DlgAdd");
  SetCaption(AddCaption);
  // The layout is fixed: the controls of the settings column keep their places.
  SetBorderStyle(TFormBorderStyle::bsDialog);
  Position = TPosition::poOwnerFormCenter;
  DoubleBuffered = true;
  SetClientWidth(680);
  SetClientHeight(500);

  Images = AddControl<TEmberListview>(this, this, u"Images", 10, 10, 460, 480);
  Images->SetView(ember::TEmberListStyle::elsThumbnail);
  Images->SetShowThemedBorder(false);
  BuildSettings();

  order::PhotoSizes()->FillPhotoSizes(cbPhotoSize->GetItems());
  if (cbPhotoSize->GetItems()->Count() > 0) cbPhotoSize->SetItemIndex(0);
  cbPhotoSizeChange(cbPhotoSize);
  // Each cell holds a thumbnail of at most 200 × 200 and its caption, inside the cell's borders.
  const Integer border = Images->GetPaintInfoItem()->GetBorder();
  Images->GetCellSizes()->GetThumbnail()->SetSize(200 + 4 * border, 226 + 4 * border);
}

void TDlgAdd::BuildSettings() {
  auto* note1 = AddControl<TWrapLabel>(this, this, u"lblNote1", 480, 10, 190, 50);
  note1->SetCaption(u"В этом окне Вы можете задать все настройки печати для добавленных в список фотографий");
  auto* note2 = AddControl<TWrapLabel>(this, this, u"lblNote2", 480, 60, 190, 50);
  note2->SetCaption(u"Изменить настройки печати для отдельных фотографий можно после добавления, в основном списке.");
  AddControl<TLabel>(this, this, u"lblSize", 480, 115, 48, 13)->SetCaption(u"Размер");
  AddControl<TLabel>(this, this, u"lblPaper", 480, 145, 48, 13)->SetCaption(u"Бумага");
  AddControl<TLabel>(this, this, u"lblCount", 480, 175, 68, 13)->SetCaption(u"Количество");
  cbPhotoSize = AddControl<TComboBox>(this, this, u"cbPhotoSize", 530, 115, 140, 21);
  cbPhotoSize->SetStyle(TComboBoxStyle::csDropDownList);
  cbPhotoSize->DropDownCount = 10;
  cbPhotoSize->OnChange = [this](TObject* s) { cbPhotoSizeChange(s); };
  cbPaperType = AddControl<TComboBox>(this, this, u"cbPaperType", 530, 145, 140, 21);
  cbPaperType->SetStyle(TComboBoxStyle::csDropDownList);
  edPhotoCount = AddControl<TEdit>(this, this, u"edPhotoCount", 550, 175, 40, 21);
  edPhotoCount->SetText(u"1");
  DigitsOnly(edPhotoCount);
  udPhotoCount = AddControl<TUpDown>(this, this, u"udPhotoCount", 590, 175, 16, 21);
  udPhotoCount->SetMin(1);
  udPhotoCount->SetPosition(1);
  udPhotoCount->SetThousands(false);
  udPhotoCount->SetAssociate(edPhotoCount);
  edPhotoCount->OnChange = [this](TObject*) { PositionFromDigits(edPhotoCount, udPhotoCount); };
  cbWithBorders = AddControl<TCheckBox>(this, this, u"cbWithBorders", 480, 205, 190, 20);
  cbWithBorders->SetCaption(u"Печатать фотографии с полями");
  // Three and five lines of our font: the notes are a few pixels taller than the form's 35 and 60.
  auto* note3 = AddControl<TWrapLabel>(this, this, u"lblNote3", 480, 250, 190, 39);
  note3->SetCaption(u"Программа автоматически проверит все добавленные фотографии. ");
  auto* note4 = AddControl<TWrapLabel>(this, this, u"lblNote4", 480, 289, 190, 66);
  note4->SetCaption(
      u"Поврежденные фотографии, а также изображения слишком малого размера будут отфильтрованы и не попадут в "
      u"список");
  lblMessage = AddControl<TWrapLabel>(this, this, u"lblMessage", 480, 375, 190, 35);
  lblMessage->SetCaption(CheckingText);
  lblAdded = AddControl<TLabel>(this, this, u"lblAdded", 480, 410, 190, 13);
  lblAdded->SetCaption(u"Добавлено фотографий: 0");
  lblFiltered = AddControl<TLabel>(this, this, u"lblFiltered", 480, 430, 190, 13);
  lblFiltered->SetCaption(u"Отфильтровано фотографий: 0");

  Actions = TActionList::New(this);
  Actions->SetName(u"Actions");
  ActAdd = TAction::New(this);
  ActAdd->SetName(u"ActAdd");
  ActAdd->SetActionList(Actions);
  ActAdd->SetCaption(u"Добавить");
  ActAdd->OnExecute = [this](TObject* s) { ActAddExecute(s); };
  ActAdd->OnUpdate = [this](TObject* s) { ActAddUpdate(s); };
  ActCancel = TAction::New(this);
  ActCancel->SetName(u"ActCancel");
  ActCancel->SetActionList(Actions);
  ActCancel->SetCaption(u"Отменить");
  ActCancel->OnExecute = [this](TObject* s) { ActCancelExecute(s); };
  btnAdd = AddControl<TButton>(this, this, u"btnAdd", 500, 465, 80, 25);
  btnAdd->SetAction(ActAdd);
  btnAdd->SetDefault(true);
  btnCancel = AddControl<TButton>(this, this, u"btnCancel", 590, 465, 80, 25);
  btnCancel->SetAction(ActCancel);
  btnCancel->Cancel = true;
}

void TDlgAdd::Destroy() {
  StopThread();
  TForm::Destroy();
}

void TDlgAdd::StopThread() {
  // Freeing the thread terminates it and waits: no message of a later file can then name an item
  // that goes with the dialog. Its last messages are freed by the queue with the window.
  FThread.reset();
}

TPaperType TDlgAdd::PaperType() const {
  return static_cast<TPaperType>(reinterpret_cast<intptr_t>(order::GetComboObject(cbPaperType)) & 0xFF);
}

bool TDlgAdd::Execute(TStrings* Files) {
  TItemList list;
  for (Integer i = 0; i < Files->Count(); ++i) {
    const String file = Files->Get(i);
    auto* item = static_cast<TImageItem*>(Images->GetItems()->AddCustom(&TImageItem::StaticClass()));
    item->SetCaption(order::ExtractFileTitle(file));
    item->FileName = file;
    list.push_back(TItemData{file, item});
  }
  FThread.reset(TThumbThread::New(Handle(), std::move(list)));
  const bool ok = ShowModal() == mrOk;
  // The close box ends the dialog without ActCancel: the check stops here all the same.
  StopThread();
  return ok;
}

void TDlgAdd::cbPhotoSizeChange(TObject*) {
  order::PhotoSizes()->FillPaperTypes(cbPhotoSize->GetItemIndex(), cbPaperType->GetItems());
  if (cbPaperType->GetItems()->Count() > 0) cbPaperType->SetItemIndex(0);
  cbPaperType->Invalidate();
}

void TDlgAdd::ActAddUpdate(TObject*) {
  ember::TEmberGroups* groups = Images->GetGroups();
  const bool any = groups->GetCount() > 0 && groups->GetGroup(0)->GetItemCount() > 0;
  ActAdd->SetEnabled(!Checking() && any && cbPhotoSize->GetItemIndex() >= 0 && cbPaperType->GetItemIndex() >= 0);
}

void TDlgAdd::ActAddExecute(TObject*) { SetModalResult(mrOk); }

void TDlgAdd::ActCancelExecute(TObject*) {
  StopThread();
  SetModalResult(mrCancel);
}

void TDlgAdd::Dispatch(TMessage& Msg) {
  if (Msg.Msg == WM_THUMBREADY) return WMThumbReady(Msg);
  if (Msg.Msg == WM_THUMBSDONE) return WMThumbsDone(Msg);
  TForm::Dispatch(Msg);
}

void TDlgAdd::WMThumbReady(TMessage& Msg) {
  // After a cancel the thread is gone; what it posted before is not applied.
  if (!FThread) return;
  auto* item = reinterpret_cast<TImageItem*>(Msg.WParam);
  Owned<TDIB> thumb = TakePayload<TDIB>(Msg.LParam);
  if (thumb) {
    item->ChangeThumb(thumb.release(), true);
    item->Invalidate(true);
    ++FAdded;
    lblAdded->SetCaption(Format(u"Добавлено фотографий: %d", {FAdded}));
  } else {
    item->GetOwnerItems()->Delete(item->GetIndex());
    ++FIgnored;
    lblFiltered->SetCaption(Format(u"Отфильтровано фотографий: %d", {FIgnored}));
  }
}

void TDlgAdd::WMThumbsDone(TMessage&) {
  if (!FThread) return;
  lblMessage->SetCaption(CheckedText);
  FThread->WaitFor();
  FThread.reset();
}

}  // namespace app
