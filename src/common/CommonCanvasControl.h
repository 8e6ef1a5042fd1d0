#pragma once
// The window class the list view is built on: a custom control that paints everything through an
// off-screen 32-bit bitmap, counts nested updates, draws its own non-client border (a themed one
// when visual themes are in use, the control's bevels otherwise) and reports the mouse entering,
// staying in and leaving its client area by a 50 ms timer. It paints no content of its own:
// descendants override DoPaintRect.

#include <functional>

#include "common/CommonObjects.h"
#include "platform/classlib/Controls.h"
#include "platform/classlib/ExtCtrls.h"
#include "platform/classlib/ImgList.h"
#include "platform/gdi/Bitmap.h"

namespace common {

using namespace pf;

// The class library's border style; a control takes bsNone or bsSingle.
using TBorderStyle = pf::TBorderStyle;

using TCommonMouseEnterEvent = std::function<void(TObject* Sender, TPoint MousePos)>;

class TCommonCanvasControl : public TCustomControl {
  PF_CLASS(TCommonCanvasControl)
public:
  // The client-area canvas; every read gives it the control's font and brush.
  TCanvas* GetCanvas();
  bool GetForcePaint() const { return FForcePaint; }
  void SetForcePaint(bool v) { FForcePaint = v; }
  TCommonThemeManager* GetThemes() const { return FThemes; }
  Integer GetUpdateCount() const { return FUpdateCount; }

  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  bool GetCacheDoubleBufferBits() const { return FCacheDoubleBufferBits; }
  void SetCacheDoubleBufferBits(bool v);
  bool GetShowThemedBorder() const { return FShowThemedBorder; }
  void SetShowThemedBorder(bool v);
  // False while loading or when switched off, else whether the application's themes are in use.
  bool GetThemed() const;
  void SetThemed(bool v);
  // Themed, and the theme handles are open.
  bool DrawWithThemes() const;
  bool GetMouseEnterExitNotifyEnabled() const { return FMouseEnterExitNotifyEnabled; }
  // The cursor is known to be inside the client area.
  bool GetMouseInWindow() const { return FMouseInWindow; }
  // The off-screen bitmap (nil between paints unless cached).
  TBitmap* GetBackBits() const { return FBackBits; }
  // The tracking timer exists while the mouse is tracked.
  bool MouseTracking() const { return FMouseTimer != nullptr; }

  // Invalidates (never erasing; nil is the whole client area) and, when asked, updates at once.
  // Nothing happens before the window exists.
  void SafeInvalidateRect(const TRect* rect, bool immediateUpdate);
  // Grows the cached back bitmap to at least this size; it never shrinks.
  void ResizeBackBits(Integer newWidth, Integer newHeight);
  // Brings the live window's border style bits in line with the border settings.
  void ApplyBorderStyle();

  virtual void BeginUpdate();
  virtual void EndUpdate(bool invalidate = true);

  TNotifyEvent OnBeginUpdate;
  TNotifyEvent OnEndUpdate;
  TCommonMouseEnterEvent OnMouseEnter;
  TNotifyEvent OnMouseExit;

protected:
  void Create(TComponent* owner) override;
  void Destroy() override;
  void Notification(TComponent* c, TOperation op) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& msg) override;

  virtual void DoAfterPaint(TCanvas* canvas, const TRect& clipRect);
  virtual void CalcThemedNCSize(TRect& rect);
  virtual void DoBeginUpdate();
  virtual void DoMouseEnter(TPoint mousePos);
  virtual void DoMouseExit();
  virtual void DoMouseInside(TPoint mousePos);
  virtual void DoPaintRect(TCanvas* canvas, const TRect& clipRect, bool viewCoords, bool selectedOnly);
  virtual void DoUpdateComplete();
  virtual void PaintThemedNCBkgnd(TCanvas* canvas, TRect rect);

  virtual void WMPaint(TMessage& msg);
  virtual void WMNCPaint(TMessage& msg);
  virtual void WMNCCalcSize(TMessage& msg);
  virtual void WMMouseMove(TMessage& msg);
  virtual void WMKillFocus(TMessage& msg);
  virtual void WMDestroy(TMessage& msg);
  virtual void WMThemeChanged(TMessage& msg);
  virtual void CMColorChanged(TMessage& msg);
  virtual void CMFontChanged(TMessage& msg);
  virtual void CMParentFontChanged(TMessage& msg);
  virtual void CMCtl3DChanged(TMessage& msg);

  void MouseTimerTick(TObject* sender);
  void MouseExitCheck();

  TImageList* FImagesExtraLarge{nullptr};
  TImageList* FImagesLarge{nullptr};
  TImageList* FImagesSmall{nullptr};

private:
  void FreeMouseTimer();

  TBitmap* FBackBits{nullptr};
  TBorderStyle FBorderStyle{TBorderStyle::bsSingle};
  bool FCacheDoubleBufferBits{false};
  TControlCanvas* FCanvas{nullptr};
  bool FForcePaint{false};
  bool FMouseEnterExitNotifyEnabled{true};
  bool FMouseInWindow{false};
  TTimer* FMouseTimer{nullptr};
  TCanvas* FNCCanvas{nullptr};
  bool FShowThemedBorder{true};
  TCommonThemeManager* FThemes{nullptr};
  bool FThemed{true};
  Integer FUpdateCount{0};
};

}  // namespace common
