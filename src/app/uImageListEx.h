#pragma once
// An image list that draws a disabled picture as a translucent grey copy of the normal one, so
// that pictures with an alpha channel keep their shape when greyed.

#include "platform/classlib/ImgList.h"

namespace app {

using namespace pf;

class TImageListEx : public TImageList {
  PF_CLASS(TImageListEx)
protected:
  void Destroy() override;
  void DoDraw(Integer Index, TCanvas* Canvas, Integer X, Integer Y, UINT Style, bool Enabled) override;

private:
  // Scratch picture of the list's size for the grey drawing, made on first need.
  TBitmap* FGrayBitmap{nullptr};
};

}  // namespace app
