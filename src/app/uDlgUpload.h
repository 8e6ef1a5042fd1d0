#pragma once
// The order wizard: the customer's details, the pick-up place, the upload with its progress and
// log, and the result. It owns the order's snapshots and the upload thread, and joins the thread
// before it goes; it remembers or forgets the customer's details when it closes.

#include <functional>
#include <memory>

#include "app/uWorkThread.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/ComboBox.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/PageControl.h"
#include "platform/classlib/ProgressBar.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/classlib/WrapLabel.h"

namespace app {

inline const String UploadCaption = u"Оформление заказа";
inline const String CancelQuestion = u"Вы действительно хотите прервать загрузку фотографий и отменить заказ?";
inline const String ConfirmCaption = u"Подтверждение";

class TDlgUpload : public TForm {
  PF_CLASS(TDlgUpload)
public:
  TPageControl* Pages{nullptr};
  TTabSheet* PageData{nullptr};
  TTabSheet* PageAddress{nullptr};
  TTabSheet* PageUpload{nullptr};
  TTabSheet* PageSucc{nullptr};
  TTabSheet* PageFail{nullptr};
  TTabSheet* PageCancel{nullptr};
  TEdit* edSecondName{nullptr};
  TEdit* edFirstName{nullptr};
  TEdit* edThirdName{nullptr};
  TEdit* edPhone{nullptr};
  TEdit* edEMail{nullptr};
  TCheckBox* cbSaveInfo{nullptr};
  TComboBox* cbCity{nullptr};
  TComboBox* cbPlace{nullptr};
  TMemo* edDesc{nullptr};
  TLabel* lblStat{nullptr};
  TProgressBar* pbProgress{nullptr};
  TMemo* edLog{nullptr};
  TWrapLabel* lblResult{nullptr};
  TEdit* edOrderNumber{nullptr};
  TWrapLabel* lblTotal{nullptr};
  TMemo* edAddress{nullptr};
  TActionList* Actions{nullptr};
  TAction* ActProcess{nullptr};
  TAction* ActCancel{nullptr};
  TButton* btnProcess{nullptr};
  TButton* btnCancel{nullptr};

  // Called with the order's snapshots once the lab has the order: the main window removes the
  // photos that were sent (those whose snapshot is marked uploaded).
  std::function<void(const TInfoList& Infos)> OnDeleteImages;

  // Loads the customer's details, shows the wizard, then saves or forgets the details.
  void Execute();

  // The text sent to the lab about the customer and the pick-up place.
  String CustomerText() const;
  bool Sending() const { return FThread != nullptr; }
  const TInfoList& List() const { return *FList; }

protected:
  // Takes List: the dialog owns the snapshots for the length of one sending.
  void Create(TComponent* AOwner, TInfoList* List);
  void Destroy() override;
  void Dispatch(TMessage& Msg) override;

private:
  void BuildDataPage();
  void BuildAddressPage();
  void BuildUploadPage();
  void BuildResultPages();
  void BuildActions();
  void LoadInfo();
  void SaveInfo();
  void cbCityChange(TObject* Sender);
  void cbPlaceChange(TObject* Sender);
  void ActProcessUpdate(TObject* Sender);
  void ActProcessExecute(TObject* Sender);
  void ActCancelExecute(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void UpdateStat();
  void ThreadEnded();
  void WMUploadLog(TMessage& Msg);
  void WMUploadDone(TMessage& Msg);
  void WMUploadFailed(TMessage& Msg);
  order::TPlace* SelectedPlace() const;

  std::unique_ptr<TInfoList> FList;
  Owned<TWorkThread> FThread;
  Owned<TWorkThread> FEndedThread;  // reported its end, may still be rolling the order back
  bool FAskingToCancel{false};       // the cancel question is open
  Integer FUploaded{0};
  Integer FSkipped{0};
};

}  // namespace app
