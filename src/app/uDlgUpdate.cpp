#include "app/uDlgUpdate.h"

#include "app/uFormBuild.h"
#include "app/uOpenLink.h"
#include "order/uLists.h"

namespace app {

namespace {
constexpr DWORD ExStyleAppWindow = 0x00040000;  // WS_EX_APPWINDOW
}

void TDlgUpdate::Create(TComponent* AOwner) {
  TForm::Create(AOwner);
  SetName(u"DlgUpdate");
  SetCaption(UpdateCaption);
  SetBorderStyle(TFormBorderStyle::bsSingle);
  // A notice of fixed size: no maximise button.
  SetBorderIcons({TBorderIcon::biSystemMenu, TBorderIcon::biMinimize});
  Position = TPosition::poScreenCenter;
  SetClientWidth(450);
  SetClientHeight(150);

  lblObsolete = AddControl<TLabel>(this, this, u"lblObsolete", 8, 8, 434, 13);
  lblObsolete->SetCaption(u"К сожалению, Ваша версия программы устарела и больше не поддерживается.");
  lblGetNew = AddControl<TLabel>(this, this, u"lblGetNew", 8, 27, 434, 13);
  lblGetNew->SetCaption(u"Пожалуйста, скачайте и используйте последнюю версию с сайта.");
  // 22 pixels rather than the usual 21: the toolkit's edit needs one more around our font.
  edDownloadURL = AddControl<TEdit>(this, this, u"edDownloadURL", 8, 48, 376, 22);
  edDownloadURL->SetReadOnly(true);
  edDownloadURL->SetText(order::UpdateURL);
  lnkDownload = AddControl<TLinkLabel>(this, this, u"lnkDownload", 392, 51, 50, 13);
  lnkDownload->SetCaption(u"<a>Скачать</a>");
  lnkDownload->OnLinkClick = [this](TObject* s, const String& l, TSysLinkType t) { lnkDownloadLinkClick(s, l, t); };
  // The address comes from the downloaded price list: anything but a web address is shown for the
  // customer to read, never opened.
  lnkDownload->SetEnabled(IsWebAddress(order::UpdateURL));
  lblReplace = AddControl<TLabel>(this, this, u"lblReplace", 8, 80, 434, 13);
  lblReplace->SetCaption(u"Для обновления программы просто замените текущий .exe-файл на новый.");
  btnClose = AddControl<TButton>(this, this, u"btnClose", 184, 114, 82, 25);
  btnClose->SetCaption(u"Закрыть");
  btnClose->SetDefault(true);
  btnClose->Cancel = true;
  btnClose->ModalResult = mrOk;
  OnCanResize = [this](TObject* s, Integer& w, Integer& h, bool& r) { FormCanResize(s, w, h, r); };
}

void TDlgUpdate::FormCanResize(TObject*, Integer&, Integer&, bool& Resize) { Resize = false; }

void TDlgUpdate::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  Params.WndParent = nullptr;
  Params.ExStyle |= ExStyleAppWindow;
}

void TDlgUpdate::lnkDownloadLinkClick(TObject*, const String&, TSysLinkType) { OpenLink(order::UpdateURL); }

}  // namespace app
