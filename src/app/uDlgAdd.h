#pragma once
// The add-photos dialog: shows the chosen files as thumbnails while the thumbnail thread checks
// them, drops those that cannot be printed, and asks for the print settings all new photos get.

#include "app/uThumbThread.h"
#include "listview/EmberListview.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/ComboBox.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/WrapLabel.h"

namespace app {

inline const String AddCaption = u"Добавление новых фотографий в заказ";
inline const String CheckingText = u"Пожалуйста, дождитесь окончания проверки фотографий...";
inline const String CheckedText = u"Проверка фотографий завершена";

// Filters an edit's typing to digits (and editing keys).
void DigitsOnly(TCustomEdit* Edit);
// The up-down's position from the digits typed in its edit (the current position when there are
// none), limited to its range: the platform's up-down reads its edit so, and a count typed
// without the arrows must not be lost.
void PositionFromDigits(TCustomEdit* Edit, TUpDown* UpDown);

class TDlgAdd : public TForm {
  PF_CLASS(TDlgAdd)
public:
  ember::TEmberListview* Images{nullptr};
  TActionList* Actions{nullptr};
  TAction* ActAdd{nullptr};
  TComboBox* cbPhotoSize{nullptr};
  TComboBox* cbPaperType{nullptr};
  TEdit* edPhotoCount{nullptr};
  TUpDown* udPhotoCount{nullptr};
  TWrapLabel* lblMessage{nullptr};
  TLabel* lblAdded{nullptr};
  TLabel* lblFiltered{nullptr};
  TAction* ActCancel{nullptr};
  TCheckBox* cbWithBorders{nullptr};
  TButton* btnAdd{nullptr};
  TButton* btnCancel{nullptr};

  // Lists the files, starts their check and shows the dialog; true when the customer chose
  // "Добавить". The checked items then stand in the first group of Images.
  bool Execute(TStrings* Files);

  Integer PhotoSize() const { return cbPhotoSize->GetItemIndex(); }
  TPaperType PaperType() const;
  Integer PhotoCount() const { return udPhotoCount->GetPosition(); }
  bool WithBorders() const { return cbWithBorders->GetChecked(); }
  bool Checking() const { return FThread != nullptr; }
  Integer Added() const { return FAdded; }
  Integer Ignored() const { return FIgnored; }

protected:
  void Create(TComponent* AOwner) override;
  void Destroy() override;
  void Dispatch(TMessage& Msg) override;

private:
  void BuildSettings();
  void cbPhotoSizeChange(TObject* Sender);
  void ActAddUpdate(TObject* Sender);
  void ActAddExecute(TObject* Sender);
  void ActCancelExecute(TObject* Sender);
  void WMThumbReady(TMessage& Msg);
  void WMThumbsDone(TMessage& Msg);
  // Stops a running check and waits for it: the thread writes into the dialog's items.
  void StopThread();

  Integer FAdded{0};
  Integer FIgnored{0};
  Owned<TThumbThread> FThread;
};

}  // namespace app
