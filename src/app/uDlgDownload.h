#pragma once
// The price-list dialog shown at start: it fetches the lab's price list on a worker thread while the
// customer waits, shows why a download failed and lets the customer try again or give up.

#include "app/uDownloadThread.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/LinkLabel.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/WrapLabel.h"

namespace app {

enum TDownloadResult { drProcess, drClose, drUpdate };

inline const String DownloadCaption = u"Обновление данных о стоимости услуг";
inline const String WaitingText = u"Пожалуйста, дождитесь окончания обновления...";
inline const String ErrorPrefix = u"Ошибка. ";

class TDlgDownload : public TForm {
  PF_CLASS(TDlgDownload)
public:
  TLinkLabel* lnkSite{nullptr};
  TLabel* lblSiteEnd{nullptr};
  TWrapLabel* lblInfo{nullptr};
  TWrapLabel* lblNote{nullptr};
  TWrapLabel* lblCause1{nullptr};
  TWrapLabel* lblCause2{nullptr};
  TActionList* Actions{nullptr};
  TAction* ActDownload{nullptr};
  TAction* ActCancel{nullptr};
  TButton* btnDownload{nullptr};
  TButton* btnCancel{nullptr};

  // Shows the dialog modally; applies the received price list. drClose when the customer gave up.
  TDownloadResult Execute();

  // True while a download runs.
  bool Downloading() const { return FThread != nullptr; }

protected:
  // Builds the form and starts the download at once, before the dialog shows.
  void Create(TComponent* AOwner) override;
  void Destroy() override;
  void CreateParams(TCreateParams& Params) override;
  void Dispatch(TMessage& Msg) override;

private:
  void ActDownloadExecute(TObject* Sender);
  void ActDownloadUpdate(TObject* Sender);
  void ActCancelExecute(TObject* Sender);
  void ActCancelUpdate(TObject* Sender);
  void lnkSiteLinkClick(TObject* Sender, const String& Link, TSysLinkType LinkType);
  // The customer cannot size the dialog; only its own layout does, for a long error text.
  void FormCanResize(TObject* Sender, Integer& NewWidth, Integer& NewHeight, bool& Resize);
  void WMPriceListReady(TMessage& Msg);
  void WMPriceListError(TMessage& Msg);
  // The thread has sent its last message: it ends at once and is joined here.
  void ThreadDone();
  void SetInfo(const String& Text, TColor Color, bool Bold);
  // Makes the status line as tall as its text needs.
  void FitInfo();
  void LayOutIntro();

  bool FFitting{false};
  Owned<TDownloadThread> FThread;
  Owned<order::TSettings> FSettings;
};

}  // namespace app
