#include "app/uDlgDownload.h"

#include <algorithm>

#include "app/uFormBuild.h"
#include "app/uOpenLink.h"
#include "order/uUtils.h"
#include "platform/gdi/Gdi.h"

namespace app {

namespace {
// Each dialog of the start-up has a taskbar button of its own: the main window does not exist yet.
constexpr DWORD ExStyleAppWindow = 0x00040000;  // WS_EX_APPWINDOW
// The status line's place in the layout: two lines of bold type.
constexpr Integer InfoTop = 56;
constexpr Integer InfoHeight = 26;

// The height Text takes in Font when broken into lines of Width pixels.
Integer WrappedHeight(const String& Text, TFont* Font, Integer Width) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font->GetHandle());
  TRect r{0, 0, Width, 0};
  DrawTextW(dc, Text.c_str(), static_cast<int>(Text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return r.Height();
}

// The lab's site as the link shows it: its address without the scheme.
String SiteText(const String& Site) {
  size_t scheme = Site.find(u"://");
  String text = scheme == String::npos ? Site : Site.substr(scheme + 3);
  while (!text.empty() && text.back() == u'/') text.pop_back();
  return text;
}
}  // namespace

void TDlgDownload::Create(TComponent* AOwner) {
  TForm::Create(AOwner);
  SetName(u"DlgDownload");
  SetCaption(DownloadCaption);
  SetBorderStyle(TFormBorderStyle::bsSingle);
  SetBorderIcons({TBorderIcon::biSystemMenu, TBorderIcon::biMinimize});
  Position = TPosition::poScreenCenter;
  SetClientWidth(460);
  SetClientHeight(230);

  const String site = order::LabBaseURL() + u"/";
  lnkSite = AddControl<TLinkLabel>(this, this, u"lnkSite", 8, 8, 444, 26);
  lnkSite->SetCaption(u"Перед началом работы программе необходимо подключиться к сайту <a href=\"" + site +
                      u"\">" + SiteText(site) + u"</a>");
  lnkSite->OnLinkClick = [this](TObject* s, const String& l, TSysLinkType t) { lnkSiteLinkClick(s, l, t); };
  lblSiteEnd = AddControl<TLabel>(this, this, u"lblSiteEnd", 8, 34, 444, 13);
  lblSiteEnd->SetCaption(u"и скачать актуальные данные о стоимости услуг.");
  lblInfo = AddControl<TWrapLabel>(this, this, u"lblInfo", 8, InfoTop, 444, InfoHeight);
  lblInfo->SetCaption(WaitingText);
  lblNote = AddControl<TWrapLabel>(this, this, u"lblNote", 8, 90, 444, 39);
  lblNote->SetCaption(
      u"Получение актуальной информации о ценах - необходимое условие дальнейшей работы с программой. Если "
      u"обновление завершается с ошибками - проверьте, пожалуйста, наиболее возможные причины сбоев:");
  lblCause1 = AddControl<TWrapLabel>(this, this, u"lblCause1", 8, 132, 444, 26);
  lblCause1->SetCaption(
      u"1. Подключен ли данный компьютер к Интернету? Выход в Интернет также будет необходим при отправке "
      u"Ваших фотографий в фотолабораторию.");
  lblCause2 = AddControl<TWrapLabel>(this, this, u"lblCause2", 8, 161, 444, 26);
  lblCause2->SetCaption(
      u"2. Доступ в Интернет не блокирует антивирус, фаервол или другие настройки системы? При "
      u"необходимости нужно разрешить программе выход в Интернет.");

  Actions = TActionList::New(this);
  Actions->SetName(u"Actions");
  ActDownload = TAction::New(this);
  ActDownload->SetName(u"ActDownload");
  ActDownload->SetActionList(Actions);
  ActDownload->SetCaption(u"Скачать данные");
  ActDownload->OnExecute = [this](TObject* s) { ActDownloadExecute(s); };
  ActDownload->OnUpdate = [this](TObject* s) { ActDownloadUpdate(s); };
  ActCancel = TAction::New(this);
  ActCancel->SetName(u"ActCancel");
  ActCancel->SetActionList(Actions);
  ActCancel->SetCaption(u"Отменить");
  ActCancel->OnExecute = [this](TObject* s) { ActCancelExecute(s); };
  ActCancel->OnUpdate = [this](TObject* s) { ActCancelUpdate(s); };

  btnDownload = AddControl<TButton>(this, this, u"btnDownload", 250, 195, 100, 25);
  btnDownload->SetAction(ActDownload);
  btnDownload->SetDefault(true);
  btnCancel = AddControl<TButton>(this, this, u"btnCancel", 358, 195, 94, 25);
  btnCancel->SetAction(ActCancel);
  btnCancel->Cancel = true;

  ActDownload->Execute();
  LayOutIntro();
  OnCanResize = [this](TObject* s, Integer& w, Integer& h, bool& r) { FormCanResize(s, w, h, r); };
}

void TDlgDownload::FormCanResize(TObject*, Integer&, Integer&, bool& Resize) { Resize = FFitting; }

void TDlgDownload::LayOutIntro() {
  // A short site address leaves the first sentence on one line: its end follows right under it
  // instead of under an empty line.
  const Integer height = lnkSite->TextHeight();
  if (height <= 0 || height >= lnkSite->GetHeight()) return;
  lnkSite->SetHeight(height);
  lblSiteEnd->SetTop(lnkSite->GetTop() + height);
}

void TDlgDownload::Destroy() {
  // Freeing a running thread terminates it, which aborts its transfer, and waits for it.
  FThread.reset();
  FSettings.reset();
  TForm::Destroy();
}

void TDlgDownload::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  Params.WndParent = nullptr;
  Params.ExStyle |= ExStyleAppWindow;
}

TDownloadResult TDlgDownload::Execute() {
  if (ShowModal() != mrOk) return drClose;
  bool current = FSettings ? ApplyPriceList(*FSettings) : true;
  return current ? drProcess : drUpdate;
}

void TDlgDownload::Dispatch(TMessage& Msg) {
  if (Msg.Msg == WM_PRICELISTREADY) return WMPriceListReady(Msg);
  if (Msg.Msg == WM_PRICELISTERROR) return WMPriceListError(Msg);
  TForm::Dispatch(Msg);
}

void TDlgDownload::SetInfo(const String& Text, TColor Color, bool Bold) {
  lblInfo->SetCaption(Text);
  lblInfo->GetFont()->SetColor(Color);
  lblInfo->GetFont()->SetStyle(Bold ? TFontStyles{TFontStyle::fsBold} : TFontStyles{});
  FitInfo();
}

void TDlgDownload::FitInfo() {
  // A long reason (a server's status text can be any length) is never cut off: the status line
  // takes the lines it needs, and what lies below it and the dialog move down as much.
  const Integer height = std::max(InfoHeight, WrappedHeight(lblInfo->GetCaption(), lblInfo->GetFont(), lblInfo->GetWidth()));
  const Integer delta = height - lblInfo->GetHeight();
  if (delta == 0) return;
  const Integer below = lblInfo->GetTop() + lblInfo->GetHeight();
  for (Integer i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c != lblInfo && c->GetTop() >= below) c->SetTop(c->GetTop() + delta);
  }
  lblInfo->SetHeight(height);
  FFitting = true;
  SetClientHeight(GetClientHeight() + delta);
  FFitting = false;
}

void TDlgDownload::ActDownloadExecute(TObject*) {
  SetInfo(WaitingText, clWindowText, false);
  FThread.reset(TDownloadThread::New(Handle()));
}

void TDlgDownload::ActDownloadUpdate(TObject*) { ActDownload->SetEnabled(!FThread); }

void TDlgDownload::ActCancelExecute(TObject*) { SetModalResult(mrCancel); }

void TDlgDownload::ActCancelUpdate(TObject*) { ActCancel->SetEnabled(FThread != nullptr); }

void TDlgDownload::lnkSiteLinkClick(TObject*, const String& Link, TSysLinkType) { OpenLink(Link); }

void TDlgDownload::ThreadDone() {
  if (!FThread) return;
  FThread->WaitFor();
  FThread.reset();
}

// A message that comes when the dialog no longer shows is not taken; the queue frees its payload.
void TDlgDownload::WMPriceListReady(TMessage& Msg) {
  if (!GetVisible()) return;
  FSettings = TakePayload<order::TSettings>(Msg.LParam);
  ThreadDone();
  SetModalResult(mrOk);
}

void TDlgDownload::WMPriceListError(TMessage& Msg) {
  if (!GetVisible()) return;
  ThreadDone();
  String text;
  order::UnboxString(TakePayload(Msg.LParam), text);
  SetInfo(ErrorPrefix + text, clRed, true);
  // The customer tries again with Enter: the focus goes back to the default button, which is
  // enabled again at once rather than at the next idle pass. Left on the link, where it lands
  // when the dialog opens with that button disabled, Enter would open the lab's site instead.
  ActDownload->Update();
  ActCancel->Update();
  SetActiveControl(btnDownload);
}

}  // namespace app
