#pragma once
// The notice shown instead of the main window when the lab's price list announces a newer version
// of the program: where to get it, and nothing else to do.

#include "platform/classlib/Forms.h"
#include "platform/classlib/LinkLabel.h"
#include "platform/classlib/StdCtrls.h"

namespace app {

using namespace pf;

inline const String UpdateCaption = u"Необходимо обновление программы";

class TDlgUpdate : public TForm {
  PF_CLASS(TDlgUpdate)
public:
  TLabel* lblObsolete{nullptr};
  TLabel* lblGetNew{nullptr};
  TEdit* edDownloadURL{nullptr};
  TLinkLabel* lnkDownload{nullptr};
  TLabel* lblReplace{nullptr};
  TButton* btnClose{nullptr};

protected:
  // Shows UpdateURL; the link opens it only when it is a web address.
  void Create(TComponent* AOwner) override;
  void CreateParams(TCreateParams& Params) override;

private:
  void lnkDownloadLinkClick(TObject* Sender, const String& Link, TSysLinkType LinkType);
  void FormCanResize(TObject* Sender, Integer& NewWidth, Integer& NewHeight, bool& Resize);
};

}  // namespace app
