#pragma once
// The order window: the thumbnail list of the photos to print, the editing panel that floats over
// the selected photo's cell, the order's totals and minimum, and the two actions "Добавить фото..."
// and "Оформить заказ". Photos come from the open-file dialog or are dropped from a file manager;
// both go through the add-photos dialog.

#include "app/uImageButton.h"
#include "app/uImageListEx.h"
#include "app/uItems.h"
#include "app/uWorkThread.h"
#include "listview/EmberListview.h"
#include "platform/classlib/ActnList.h"
#include "platform/classlib/ComCtrls.h"
#include "platform/classlib/ComboBox.h"
#include "platform/classlib/Dialogs.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/Forms.h"
#include "platform/classlib/Image.h"
#include "platform/classlib/LinkLabel.h"
#include "platform/classlib/StdCtrls.h"

namespace app {

using namespace pf;
using common::TCommonDropEffect;
using common::TCommonDropEffects;
using common::TCommonKeyStates;

inline const String MainCaption = u"Сельвана Тихоград - заказ фотографий - версия 3.0";
inline const String PhotoFilter =
    u"Все поддерживаемые форматы|*.bmp;*.jpg;*.jpeg;*.png|Изображения в формате BMP|*.bmp|Изображения в формате JPEG|"
    u"*.jpg;*.jpeg|Изображения в формате PNG|*.png";
// Files dropped on the list, handled once the drop has returned to the file manager (lParam: an
// owned TStringList).
constexpr UINT WM_ADDFILES = WM_APP + 832;

class TMain : public TForm {
  PF_CLASS(TMain)
public:
  ember::TEmberListview* List{nullptr};
  TPanel* pnlImage{nullptr};
  TComboBox* cbPaperType{nullptr};
  TComboBox* cbPhotoSize{nullptr};
  TOpenDialog* DlgOpen{nullptr};
  TActionList* Actions{nullptr};
  TAction* ActAddFoto{nullptr};
  TEdit* edPhotoCount{nullptr};
  TUpDown* udPhotoCount{nullptr};
  TImageListEx* Images{nullptr};
  TImageButton* btnEnlarge{nullptr};
  TImageButton* btnRotate270{nullptr};
  TImageButton* btnRotate90{nullptr};
  TImageButton* btnCopy{nullptr};
  TImageButton* btnDelete{nullptr};
  TImage* imbLogo{nullptr};
  TAction* ActUpload{nullptr};
  TPanel* pnlThumb{nullptr};
  TPaintBox* pbThumb{nullptr};
  TShape* shpFrame{nullptr};
  TTimer* Timer{nullptr};
  TPanel* pnlPrice{nullptr};
  TLabel* lblStat{nullptr};
  TLabel* lblMinPrice{nullptr};
  TLinkLabel* lnkManual{nullptr};
  TCheckBox* cbWithBorders{nullptr};
  TButton* btnAddFoto{nullptr};
  TButton* btnUpload{nullptr};

  // Removes the photos the lab received (their snapshots are marked uploaded).
  void DeleteImages(const TInfoList& Infos);
  // The first selected photo of the order's group; nil when none is selected.
  TImageItemEx* CurrentItem() const;
  // Prints and money over every photo of the order; money in kopecks, so that the minimum order
  // compares exactly.
  void CalcTotals(Integer& Prints, Int64& TotalKopecks) const;
  void UpdateTotals();
  void UpdateImagePanel();
  void UpdateThumbPanel();
  // Keeps the photo files of Files and hands them to the add-photos dialog.
  void AddFiles(TStrings* Files);
  void AddImage(TImageItem* Source, TPaperType PaperType, bool WithBorders, Integer PhotoCount, Integer PhotoSize);
  // The order's group: every photo lives in it.
  ember::TEmberGroup* Photos() const;

  // The actions and handlers, callable as the form's events call them.
  void ActAddFotoExecute(TObject* Sender);
  void ActUploadExecute(TObject* Sender);
  void btnEnlargeClick(TObject* Sender);
  // Both turn buttons: Tag 0 turns left, 1 right.
  void btnRotate90Click(TObject* Sender);
  void btnCopyClick(TObject* Sender);
  void btnDeleteClick(TObject* Sender);
  void TimerTimer(TObject* Sender);

protected:
  void Create(TComponent* AOwner) override;
  void Dispatch(TMessage& Msg) override;

private:
  void BuildTop();
  void BuildPanel();
  void LayOut();
  void AttachPanelEvents(bool Attach);
  void FormShow(TObject* Sender);
  void ListItemCustomView(ember::TCustomEmberListview* Sender, ember::TEmberItem* Item, ember::TEmberListStyle ViewStyle,
                          const ember::TEmberViewItemClass*& View);
  void ListItemSelectionChanged(ember::TCustomEmberListview* Sender, ember::TEmberItem* Item);
  void ListResize(TObject* Sender);
  void ListScroll(ember::TCustomEmberListview* Sender, Integer DeltaX, Integer DeltaY);
  void ListOLEDragLeave(ember::TCustomEmberListview* Sender);
  void lnkManualLinkClick(TObject* Sender, const String& Link, TSysLinkType LinkType);
  void udPhotoCountChangingEx(TObject* Sender, bool& AllowChange, int16_t NewValue, TUpDownDirection Direction);
  void cbPhotoSizeChange(TObject* Sender);
  void cbPaperTypeChange(TObject* Sender);
  void cbWithBordersClick(TObject* Sender);
  void edPhotoCountChange(TObject* Sender);
  void pbThumbPaint(TObject* Sender);
  void shpFrameMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  void shpFrameMouseMove(TObject* Sender, TShiftState Shift, Integer X, Integer Y);
  void shpFrameMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, Integer X, Integer Y);
  void ListOLEDragEnter(IDataObject* DataObject, TCommonDropEffect& Effect);
  // Copy while the held data offers a file list, else none.
  TCommonDropEffect HDropEffect() const;
  void ListOLEDragDrop(IDataObject* DataObject, bool& Handled);

  bool FFrameDragging{false};
  TPoint FStartPoint;
  TPoint FStartMovePoint;
  ComPtr<IDataObject> FDataObject;
};

}  // namespace app
