#pragma once
// A picture on a form: drawn at the top-left corner, centred or stretched over the control, with
// its transparent parts showing the control's colour.

#include "platform/classlib/Controls.h"
#include "platform/gdi/Bitmap.h"

namespace pf {

class TImage : public TCustomControl {
  PF_CLASS(TImage)
public:
  // The control's own copy of the picture; assigning copies the pixels.
  TBitmap* GetPicture() const { return FPicture.get(); }
  void SetPicture(const TBitmap* picture);

  bool GetCenter() const { return FCenter; }
  void SetCenter(bool v);
  bool GetStretch() const { return FStretch; }
  void SetStretch(bool v);
  // Where the picture is drawn, in client coordinates.
  TRect DestRect() const;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Paint() override;

private:
  Owned<TBitmap> FPicture;
  bool FCenter{false};
  bool FStretch{false};
};

}  // namespace pf
