#pragma once
// TExtractImage: asks the shell for the thumbnail of one item through the item's IExtractImage
// handler, found on first use and kept.

#include "platform/gdi/Bitmap.h"
#include "platform/shellapi/ShellObjects.h"

namespace shell {

using namespace pf;
class TNamespace;

class TExtractImage : public TObject {
  PF_CLASS(TExtractImage)
public:
  Cardinal GetColorDepth() const { return FColorDepth; }
  void SetColorDepth(Cardinal v) { FColorDepth = v; }
  Cardinal GetFlags() const { return FFlags; }
  void SetFlags(Cardinal v) { FFlags = v; }
  Cardinal GetHeight() const { return FHeight; }
  void SetHeight(Cardinal v) { FHeight = v; }
  Cardinal GetWidth() const { return FWidth; }
  void SetWidth(Cardinal v) { FWidth = v; }
  TNamespace* GetOwner() const { return FOwner; }
  void SetOwner(TNamespace* v) { FOwner = v; }
  Cardinal GetPriority() const { return FPriority; }

  // Tells the handler the wanted size, depth and flags; empty unless it answers S_OK.
  String GetImagePath();
  // A new 32-bit transparent bitmap the caller owns, or nil. Ask for the path first.
  TBitmap* GetImage();
  ComPtr<IExtractImage> GetExtractImageInterface();
  ComPtr<IExtractImage2> GetExtractImage2Interface();

private:
  Cardinal FFlags{IEIFLAG_SCREEN};
  Cardinal FPriority{0};
  Cardinal FHeight{200};
  Cardinal FWidth{200};
  Cardinal FColorDepth{32};
  ComPtr<IExtractImage> FExtractImageInterface;
  ComPtr<IExtractImage2> FExtractImage2Interface;
  TNamespace* FOwner{nullptr};
};

}  // namespace shell
