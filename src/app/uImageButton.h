#pragma once
// A flat button without a window of its own that shows one picture of an image list per state:
// normal, hot (the mouse over it), pushed (a mouse button held on it) and disabled. The photo
// panel of the main window is made of these.

#include "platform/classlib/Controls.h"
#include "platform/classlib/ImgList.h"

namespace app {

using namespace pf;

class TImageButton : public TGraphicControl {
  PF_CLASS(TImageButton)
public:
  // The picture source; not owned, and the button hears nothing when it is freed.
  TImageList* GetImages() const { return FImages; }
  void SetImages(TImageList* Value);
  Integer GetDisabledIndex() const { return FDisabledIndex; }
  void SetDisabledIndex(Integer Value);
  Integer GetNormalIndex() const { return FNormalIndex; }
  void SetNormalIndex(Integer Value);
  // The hot and pushed pictures and the push shift take effect on the next repaint.
  Integer GetHotIndex() const { return FHotIndex; }
  void SetHotIndex(Integer Value) { FHotIndex = Value; }
  Integer GetPushedIndex() const { return FPushedIndex; }
  void SetPushedIndex(Integer Value) { FPushedIndex = Value; }
  Integer GetPushDeltaX() const { return FPushDeltaX; }
  void SetPushDeltaX(Integer Value) { FPushDeltaX = Value; }
  Integer GetPushDeltaY() const { return FPushDeltaY; }
  void SetPushDeltaY(Integer Value) { FPushDeltaY = Value; }

  bool GetPushed() const { return FPushed; }
  bool GetMouseUnderControl() const { return FMouseUnderControl; }

protected:
  void Create(TComponent* AOwner) override;
  void Paint() override;
  void Dispatch(TMessage& Msg) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, Integer X, Integer Y) override;

private:
  void SetMouseUnderControl(bool Value);
  void SetPushed(bool Value);
  // Picture Index centred with the shift; a missing one falls back to the normal picture.
  void DrawImage(Integer Index, Integer DeltaX, Integer DeltaY);

  bool FPushed{false};
  bool FMouseUnderControl{false};
  TImageList* FImages{nullptr};
  Integer FDisabledIndex{-1};
  Integer FHotIndex{-1};
  Integer FNormalIndex{-1};
  Integer FPushedIndex{-1};
  Integer FPushDeltaX{0};
  Integer FPushDeltaY{0};
};

}  // namespace app
