#include "shell/ExtractImage.h"

#include <vector>

#include "platform/shellapi/ShellApi.h"
#include "shell/ShellUtilities.h"

namespace shell {

ComPtr<IExtractImage> TExtractImage::GetExtractImageInterface() {
  if (!FExtractImageInterface && FOwner) {
    ComPtr<IShellFolder> parent = FOwner->GetParentShellFolder();
    const ITEMIDLIST* one = FOwner->GetRelativePIDL();
    if (!parent || parent->GetUIObjectOf(nullptr, 1, &one, IExtractImage::Iid, nullptr,
                                         FExtractImageInterface.GetVoidAddress()) != S_OK) {
      FExtractImageInterface = nullptr;
      ComPtr<IShellFolder> folder = FOwner->GetShellFolder();
      if (!folder ||
          folder->CreateViewObject(nullptr, IExtractImage::Iid, FExtractImageInterface.GetVoidAddress()) != S_OK)
        FExtractImageInterface = nullptr;
    }
  }
  return FExtractImageInterface;
}

ComPtr<IExtractImage2> TExtractImage::GetExtractImage2Interface() {
  if (!FExtractImage2Interface) {
    ComPtr<IExtractImage> handler = GetExtractImageInterface();
    if (handler && handler.As(FExtractImage2Interface) == E_NOINTERFACE) FExtractImage2Interface = nullptr;
  }
  return FExtractImage2Interface;
}

String TExtractImage::GetImagePath() {
  ComPtr<IExtractImage> handler = GetExtractImageInterface();
  if (!handler) return String();
  try {
    // A picture's path here may be far longer than the other platform's 260 characters; a handler
    // that cannot write the whole path answers no location and never hears the asked size.
    std::vector<Char> buffer(SHELL_PATH_CAPACITY, 0);
    SIZE size{static_cast<int32_t>(FWidth), static_cast<int32_t>(FHeight)};
    DWORD priority = FPriority, flags = FFlags;
    HRESULT hr = handler->GetLocation(buffer.data(), static_cast<DWORD>(buffer.size()), &priority, &size,
                                      FColorDepth, &flags);
    FPriority = priority;
    FFlags = flags;
    if (hr != S_OK) return String();
    return String(buffer.data());
  } catch (...) {
    return String();
  }
}

TBitmap* TExtractImage::GetImage() {
  ComPtr<IExtractImage> handler = GetExtractImageInterface();
  HBITMAP bmp = nullptr;
  if (!handler || FAILED(handler->Extract(&bmp)) || !bmp) return nullptr;
  TBitmap* bitmap = TBitmap::New();
  bitmap->SetPixelFormat(TPixelFormat::pf32bit);
  bitmap->SetTransparent(true);
  bitmap->SetHandle(bmp);
  return bitmap;
}

}  // namespace shell
