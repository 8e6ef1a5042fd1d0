#include "app/uDlgUpload.h"

#include "app/uFormBuild.h"
#include "order/uLists.h"
#include "order/uSettings.h"
#include "order/uUtils.h"
#include "orderui/uUtilsUI.h"
#include "platform/rtl/DateTime.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Strings.h"

namespace app {

namespace {

const String CRLF = u"\r\n";
const String RequiredNote = u"Поля, отмеченные *, необходимы для заполнения";

// The heading of a page, in bold type.
void Heading(TComponent* Owner, TWinControl* Page, const String& Name, const String& Text) {
  auto* label = AddControl<TLabel>(Owner, Page, Name, 8, 8, 434, 16);
  label->SetCaption(Text);
  label->GetFont()->SetStyle(TFontStyles{TFontStyle::fsBold});
}

TLabel* Caption(TComponent* Owner, TWinControl* Page, const String& Name, Integer Top, const String& Text) {
  auto* label = AddControl<TLabel>(Owner, Page, Name, 8, Top + 3, 90, 13);
  label->SetCaption(Text);
  return label;
}

// A line break pasted into a field would make a line of its own in the lab's text.
String OneLine(String Text) {
  for (Char& c : Text)
    if (c == u'\r' || c == u'\n') c = u' ';
  return Text;
}

String ReplaceLineBreaks(const String& Text) {
  String out;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == u'\r' && i + 1 < Text.size() && Text[i + 1] == u'\n') {
      out += u' ';
      ++i;
    } else {
      out += Text[i];
    }
  }
  return out;
}

}  // namespace

void TDlgUpload::Create(TComponent* AOwner, TInfoList* List) {
  TForm::Create(AOwner);
  FList.reset(List ? List : new TInfoList);
  SetName(u"DlgUpload");
  SetCaption(UploadCaption);
  SetBorderStyle(TFormBorderStyle::bsDialog);
  // No buttons on the title bar: the wizard ends through its own buttons.
  SetBorderIcons({});
  Position = TPosition::poOwnerFormCenter;
  SetClientWidth(450);
  SetClientHeight(240);
  OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };

  Pages = AddControl<TPageControl>(this, this, u"Pages", 0, 0, 450, 202);
  auto page = [this](const String& name) {
    TTabSheet* sheet = TTabSheet::New(this);
    sheet->SetName(name);
    sheet->SetPageControl(Pages);
    return sheet;
  };
  PageData = page(u"PageData");
  PageAddress = page(u"PageAddress");
  PageUpload = page(u"PageUpload");
  PageSucc = page(u"PageSucc");
  PageFail = page(u"PageFail");
  PageCancel = page(u"PageCancel");
  BuildDataPage();
  BuildAddressPage();
  BuildUploadPage();
  BuildResultPages();
  BuildActions();

  order::HidePageTabs(Pages);
  order::Cities()->FillCities(cbCity->GetItems());
  if (cbCity->GetItems()->Count() > 0) cbCity->SetItemIndex(0);
  cbCityChange(cbCity);
  pbProgress->SetRange(0, static_cast<Integer>(FList->size()));
}

void TDlgUpload::BuildDataPage() {
  Heading(this, PageData, u"lblDataHeading", u"Введите персональные данные для оформления заказа");
  auto edit = [this](const String& name, const String& label, Integer top) {
    TLabel* caption = Caption(this, PageData, u"lbl" + name.substr(2), top, label);
    TEdit* e = AddControl<TEdit>(this, PageData, name, 100, top, 250, 21);
    caption->FocusControl = e;
    return e;
  };
  edSecondName = edit(u"edSecondName", u"Фамилия *", 30);
  edFirstName = edit(u"edFirstName", u"Имя *", 54);
  edThirdName = edit(u"edThirdName", u"Отчество", 78);
  edPhone = edit(u"edPhone", u"Телефон *", 102);
  edEMail = edit(u"edEMail", u"E-Mail", 126);
  cbSaveInfo = AddControl<TCheckBox>(this, PageData, u"cbSaveInfo", 8, 153, 434, 17);
  cbSaveInfo->SetCaption(u"Запомнить информацию обо мне на этом компьютере");
  cbSaveInfo->SetChecked(true);
  AddControl<TLabel>(this, PageData, u"lblDataNote", 8, 178, 434, 13)->SetCaption(RequiredNote);
}

void TDlgUpload::BuildAddressPage() {
  Heading(this, PageAddress, u"lblAddressHeading", u"Укажите где бы Вы хотели забрать выполненный заказ");
  Caption(this, PageAddress, u"lblCity", 30, u"Город *");
  cbCity = AddControl<TComboBox>(this, PageAddress, u"cbCity", 100, 30, 250, 21);
  cbCity->SetStyle(TComboBoxStyle::csDropDownList);
  cbCity->OnChange = [this](TObject* s) { cbCityChange(s); };
  Caption(this, PageAddress, u"lblPlace", 56, u"Место *");
  cbPlace = AddControl<TComboBox>(this, PageAddress, u"cbPlace", 100, 56, 250, 21);
  cbPlace->SetStyle(TComboBoxStyle::csDropDownList);
  cbPlace->OnChange = [this](TObject* s) { cbPlaceChange(s); };
  Caption(this, PageAddress, u"lblDesc", 82, u"Адрес");
  edDesc = AddControl<TMemo>(this, PageAddress, u"edDesc", 100, 82, 342, 88);
  edDesc->SetReadOnly(true);
  edDesc->SetScrollBars(TScrollStyle::ssVertical);
  AddControl<TLabel>(this, PageAddress, u"lblAddressNote", 8, 178, 434, 13)->SetCaption(RequiredNote);
}

void TDlgUpload::BuildUploadPage() {
  Heading(this, PageUpload, u"lblUploadHeading", u"Отправка фотографий");
  lblStat = AddControl<TLabel>(this, PageUpload, u"lblStat", 8, 30, 434, 13);
  pbProgress = AddControl<TProgressBar>(this, PageUpload, u"pbProgress", 8, 48, 434, 17);
  edLog = AddControl<TMemo>(this, PageUpload, u"edLog", 8, 72, 434, 122);
  edLog->SetReadOnly(true);
  edLog->SetScrollBars(TScrollStyle::ssBoth);
}

void TDlgUpload::BuildResultPages() {
  lblResult = AddControl<TWrapLabel>(this, PageSucc, u"lblResult", 8, 8, 434, 16);
  lblResult->GetFont()->SetStyle(TFontStyles{TFontStyle::fsBold});
  AddControl<TLabel>(this, PageSucc, u"lblOrderBefore", 8, 33, 76, 13)->SetCaption(u"Ваш заказ №  ");
  edOrderNumber = AddControl<TEdit>(this, PageSucc, u"edOrderNumber", 84, 30, 80, 21);
  edOrderNumber->SetReadOnly(true);
  AddControl<TLabel>(this, PageSucc, u"lblOrderAfter", 166, 33, 200, 13)->SetCaption(u"  успешно принят.");
  lblTotal = AddControl<TWrapLabel>(this, PageSucc, u"lblTotal", 8, 58, 434, 28);
  AddControl<TLabel>(this, PageSucc, u"lblAddressIntro", 8, 90, 434, 13)
      ->SetCaption(u"Напечатанные фотографии Вы можете забрать по адресу:");
  edAddress = AddControl<TMemo>(this, PageSucc, u"edAddress", 8, 108, 434, 86);
  edAddress->SetReadOnly(true);

  Heading(this, PageFail, u"lblFailHeading", u"К сожалению, отправка фотографий не удалась");
  AddControl<TLabel>(this, PageFail, u"lblFailCauses", 8, 30, 434, 13)->SetCaption(u"Проблемы с отправкой могут быть вызваны:");
  AddControl<TWrapLabel>(this, PageFail, u"lblFail1", 8, 50, 434, 28)
      ->SetCaption(u"1. Отсутствием или крайне нестабильным Интернетом. Выход в Интернет необходим для отправки Ваших "
                   u"фотографий в фотолабораторию.");
  AddControl<TWrapLabel>(this, PageFail, u"lblFail2", 8, 86, 434, 28)
      ->SetCaption(u"2. Блокировкой программы со стороны антивирусов, фаерволов и т.п. ПО. В этом случае нужно добавить "
                   u"программу в исключения, разрешив её выход в Интернет.");
  AddControl<TWrapLabel>(this, PageFail, u"lblFail3", 8, 122, 434, 42)
      ->SetCaption(u"3. В исключительно редких случаях проблема может заключаться во временной недоступности сайта "
                   u"фотолаборатории. Тогда решением может быть повторная отправка фотографий спустя несколько минут.");

  Heading(this, PageCancel, u"lblCancelHeading", u"Отправка фотографий была отменена");
  AddControl<TWrapLabel>(this, PageCancel, u"lblCancelNote", 8, 30, 434, 28)
      ->SetCaption(u"Вы можете повторить отправку фотографий еще раз (не закрывая программу), в т.ч. и после внесения "
                   u"изменений в свой заказ.");
}

void TDlgUpload::BuildActions() {
  Actions = TActionList::New(this);
  Actions->SetName(u"Actions");
  ActProcess = TAction::New(this);
  ActProcess->SetName(u"ActProcess");
  ActProcess->SetActionList(Actions);
  ActProcess->SetCaption(u"Далее");
  ActProcess->OnExecute = [this](TObject* s) { ActProcessExecute(s); };
  ActProcess->OnUpdate = [this](TObject* s) { ActProcessUpdate(s); };
  ActCancel = TAction::New(this);
  ActCancel->SetName(u"ActCancel");
  ActCancel->SetActionList(Actions);
  ActCancel->SetCaption(u"Отменить");
  ActCancel->OnExecute = [this](TObject* s) { ActCancelExecute(s); };
  btnProcess = AddControl<TButton>(this, this, u"btnProcess", 270, 208, 80, 25);
  btnProcess->SetAction(ActProcess);
  btnProcess->SetDefault(true);
  btnCancel = AddControl<TButton>(this, this, u"btnCancel", 360, 208, 80, 25);
  btnCancel->SetAction(ActCancel);
  btnCancel->Cancel = true;
}

void TDlgUpload::Destroy() {
  // A thread still sending is told to stop and waited for: it rolls the order back, so no order
  // is left half sent behind a closed dialog.
  FThread.reset();
  FEndedThread.reset();
  FList.reset();
  TForm::Destroy();
}

void TDlgUpload::Execute() {
  LoadInfo();
  ShowModal();
  SaveInfo();
}

void TDlgUpload::LoadInfo() {
  Owned<order::TPrivateInfo> info(order::TPrivateInfo::New());
  info->LoadFromFile();
  edFirstName->SetText(info->GetFirstName());
  edSecondName->SetText(info->GetSecondName());
  edThirdName->SetText(info->GetThirdName());
  edPhone->SetText(info->GetPhone());
  edEMail->SetText(info->GetEMail());
}

void TDlgUpload::SaveInfo() {
  if (cbSaveInfo->GetChecked()) {
    Owned<order::TPrivateInfo> info(order::TPrivateInfo::New());
    info->SetFirstName(edFirstName->GetText());
    info->SetSecondName(edSecondName->GetText());
    info->SetThirdName(edThirdName->GetText());
    info->SetPhone(edPhone->GetText());
    info->SetEMail(edEMail->GetText());
    info->SaveToFile();
  } else {
    order::DeleteInfoFile();
  }
}

order::TPlace* TDlgUpload::SelectedPlace() const {
  const Integer c = cbCity->GetItemIndex();
  const Integer p = cbPlace->GetItemIndex();
  if (c < 0 || c >= order::Cities()->Count()) return nullptr;
  order::TPlaceList* places = order::Cities()->Items(c)->Places();
  if (p < 0 || p >= places->Count()) return nullptr;
  return places->Items(p);
}

void TDlgUpload::cbCityChange(TObject*) {
  const Integer c = cbCity->GetItemIndex();
  if (c >= 0 && c < order::Cities()->Count())
    order::Cities()->Items(c)->FillPlaces(cbPlace->GetItems());
  else
    cbPlace->GetItems()->Clear();
  if (cbPlace->GetItems()->Count() > 0) cbPlace->SetItemIndex(0);
  cbPlaceChange(cbPlace);
}

void TDlgUpload::cbPlaceChange(TObject*) {
  order::TPlace* place = SelectedPlace();
  edDesc->SetText(place ? place->Desc : String());
}

String TDlgUpload::CustomerText() const {
  order::TPlace* place = SelectedPlace();
  String text = u"Город: " + cbCity->GetText();
  text += CRLF + u"Адрес: " + cbPlace->GetText() + u" " + ReplaceLineBreaks(place ? place->Desc : String());
  text += CRLF + u"ФИО: " +
          Trim(OneLine(edSecondName->GetText()) + u" " + OneLine(edFirstName->GetText()) + u" " +
               OneLine(edThirdName->GetText()));
  text += CRLF + u"Телефон: " + OneLine(edPhone->GetText());
  if (!edEMail->GetText().empty()) text += CRLF + u"E-Mail: " + OneLine(edEMail->GetText());
  return text;
}

void TDlgUpload::ActProcessUpdate(TObject*) {
  TTabSheet* page = Pages->GetActivePage();
  bool enabled = false;
  if (page == PageData)
    enabled = !edFirstName->GetText().empty() && !edSecondName->GetText().empty() && !edPhone->GetText().empty();
  else if (page == PageAddress)
    enabled = cbCity->GetItemIndex() >= 0 && cbPlace->GetItemIndex() >= 0;
  ActProcess->SetEnabled(enabled);
}

void TDlgUpload::ActProcessExecute(TObject*) {
  TTabSheet* page = Pages->GetActivePage();
  if (page == PageData) {
    ActProcess->SetCaption(u"Отправить");
    Pages->SetActivePage(PageAddress);
  } else if (page == PageAddress) {
    FUploaded = 0;
    FSkipped = 0;
    FThread.reset(TWorkThread::New(Handle(), FList.get(), CustomerText()));
    Pages->SetActivePage(PageUpload);
    UpdateStat();
  }
}

void TDlgUpload::ActCancelExecute(TObject*) {
  TTabSheet* page = Pages->GetActivePage();
  if (page == PageSucc || page == PageFail || page == PageCancel) {
    SetModalResult(mrCancel);
    return;
  }
  if (!FThread) {
    ActCancel->SetCaption(u"Закрыть");
    Pages->SetActivePage(PageCancel);
    return;
  }
  // MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2
  FAskingToCancel = true;
  const int answer = MessageBox(Handle(), CancelQuestion, ConfirmCaption, 0x124);
  FAskingToCancel = false;
  // Only a thread that still runs is stopped: one that reported its end while the question was
  // open has closed it already (ThreadEnded), or the answer came after the report.
  if (answer == IDYES && FThread) FThread->Terminate();
}

void TDlgUpload::FormCloseQuery(TObject*, bool& CanClose) {
  // A close request from the desktop while the order is being sent is the cancel button's
  // question; the wizard never closes with the thread running.
  if (!FThread) return;
  CanClose = false;
  ActCancelExecute(this);
}

void TDlgUpload::UpdateStat() {
  lblStat->SetCaption(
      Format(u"Отправлено %d фото из %d; пропущено %d фото", {FUploaded, static_cast<Integer>(FList->size()), FSkipped}));
}

void TDlgUpload::ThreadEnded() {
  // The thread reports a failure before it sends the rollback: it is joined when the dialog
  // goes, so that the window never waits for the lab's answer.
  FEndedThread = std::move(FThread);
  ActCancel->SetCaption(u"Закрыть");
  // A cancel question still open can no longer be honoured: the order is at the lab, or already
  // given up. It closes as if answered No, and the result page shows.
  if (FAskingToCancel) {
    const HWND box = GetWindow(Handle(), GW_ENABLEDPOPUP);
    if (box != Handle()) SendMessage(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
  }
}

void TDlgUpload::Dispatch(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_UPLOADLOG:
      return WMUploadLog(Msg);
    case WM_UPLOADSENT:
      ++FUploaded;
      return UpdateStat();
    case WM_UPLOADSKIPPED:
      ++FSkipped;
      return UpdateStat();
    case WM_UPLOADPROGRESS:
      return pbProgress->SetPosition(static_cast<Integer>(Msg.WParam));
    case WM_UPLOADDONE:
      return WMUploadDone(Msg);
    case WM_UPLOADFAILED:
      return WMUploadFailed(Msg);
    default:
      TForm::Dispatch(Msg);
  }
}

void TDlgUpload::WMUploadLog(TMessage& Msg) {
  String text;
  order::UnboxString(TakePayload(Msg.LParam), text);
  edLog->GetLines()->Add(TimeToStr(Now()) + u" - " + text);
}

void TDlgUpload::WMUploadDone(TMessage& Msg) {
  ThreadEnded();
  Integer prints = 0;
  double total = 0;
  for (const TInfo& info : *FList) {
    if (!info.Uploaded) continue;
    prints += info.PhotoCount;
    total += info.TotalPrice;
  }
  if (OnDeleteImages) OnDeleteImages(*FList);
  String number;
  order::UnboxString(TakePayload(Msg.LParam), number);
  edOrderNumber->SetText(number);
  lblTotal->SetCaption(Format(u"Отправлено фотографий: %s шт.; отпечатков: %s шт. Сумма заказа: %s руб.",
                              {order::FormatInteger(FUploaded), order::FormatInteger(prints), order::FormatMoney(total)}));
  if (FSkipped == 0)
    lblResult->SetCaption(u"Все фотографии были успешно отправлены на сайт");
  else
    lblResult->SetCaption(Format(u"%d фото были успешно отправлены на сайт; %d фото пропущено", {FUploaded, FSkipped}));
  order::TPlace* place = SelectedPlace();
  edAddress->SetText(cbCity->GetText() + CRLF + cbPlace->GetText() + CRLF + (place ? place->Desc : String()));
  Pages->SetActivePage(PageSucc);
}

void TDlgUpload::WMUploadFailed(TMessage& Msg) {
  ThreadEnded();
  Pages->SetActivePage(Msg.WParam != 0 ? PageFail : PageCancel);
}

}  // namespace app
