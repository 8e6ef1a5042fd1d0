#pragma once
// The photo items of the program's list views. TImageItem is a photo with its thumbnail, file
// name and full pixel size (the add-photos dialog's list); TImageItemEx adds what the customer
// chooses for its print (the order list): size, paper, count, turn, borders and crop frame.

#include "app/uDIB.h"
#include "app/uPrintGeometry.h"
#include "listview/EmberStorage.h"

namespace app {

using ember::TEmberAlphaBlender;
using ember::TEmberItemStored;

class TImageItem : public TEmberItemStored {
  EMBER_ITEM_CLASS(TImageItem, TEmberItemStored)
public:
  String FileName;
  Integer OrigWidth{0};
  Integer OrigHeight{0};

  TDIB* Thumb() const { return FThumb; }
  // Stores NewThumb (which may be nil). With FreeOld false the caller takes the old thumbnail.
  virtual void ChangeThumb(TDIB* NewThumb, bool FreeOld);

  // Draws the thumbnail centred in ARect, leaving the default picture to the list view when there
  // is none yet.
  void ThumbnailDraw(TCanvas* ACanvas, const TRect& ARect, TEmberAlphaBlender* AlphaBlender, bool& DoDefault) override;

protected:
  void Destroy() override;

  TDIB* FThumb{nullptr};
};

class TImageItemEx : public TImageItem {
  EMBER_ITEM_CLASS(TImageItemEx, TImageItem)
public:
  TPaperType PaperType{order::ptGlossy};
  Integer PhotoCount{0};
  Integer FrameOffset{0};

  Integer GetPhotoSize() const { return FPhotoSize; }
  void SetPhotoSize(Integer Value);
  Integer GetRotateAngle() const { return FRotateAngle; }
  TDIB* OrigThumb() const { return FOrigThumb; }

  bool WithBorders() const { return FOrigThumb != nullptr; }
  void SetWithBorders(bool Value);
  double ThumbAR() const;
  TFrameType FrameType() const;
  Integer FrameWidth() const;
  Integer FrameHeight() const;
  // The frame's largest offset on the thumbnail: the thumbnail's extent less the frame's along
  // the axis it slides on; 0 without a frame.
  Integer MaxFrameOffset() const;
  // Sets FrameOffset limited to 0 .. MaxFrameOffset: an offset past the end would crop outside
  // the photo.
  void SetFrameOffsetClamped(Integer Value);
  // Neither side reaches 480 pixels.
  bool LowResolution() const;
  // Roubles: the size's price on the paper times the number of prints.
  double TotalPrice() const;
  // The same in kopecks, rounded: what totals add up and the minimum order is compared with.
  Int64 TotalKopecks() const;
  void GetInfo(TInfo& Info);
  // Makes this item a copy of Source (the main window's copy button).
  void AssignItem(TImageItemEx* Source);
  void RotateLeft();
  void RotateRight();
  // Rebuilds the bordered thumbnail, or centres the frame.
  void UpdateThumb();

  void ChangeThumb(TDIB* NewThumb, bool FreeOld) override;

protected:
  void Destroy() override;

private:
  // The size at FPhotoSize, nil when the index is outside the price list.
  const TPhotoSize* Size() const;

  Integer FPhotoSize{0};
  Integer FRotateAngle{0};
  TDIB* FOrigThumb{nullptr};
};

// Lets list view streams name the photo item classes.
void RegisterItemClasses();

}  // namespace app
