#pragma once
// Colours, fonts, pens and brushes of the class library's graphics unit.

#include "platform/gdi/Gdi.h"
#include "platform/rtl/Set.h"
#include "platform/rtl/Classes.h"

namespace pf {

// 0x00BBGGRR for plain colours. System colours are 0x80000000 | COLOR_ index; clNone and
// clDefault are the class library's two special values.
using TColor = Integer;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor SysColor(int index) { return clSystemColor | index; }

constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SysColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SysColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SysColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SysColor(COLOR_MENU);
constexpr TColor clWindow = SysColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SysColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SysColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SysColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SysColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SysColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SysColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SysColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SysColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SysColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SysColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SysColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SysColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SysColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SysColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SysColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SysColor(COLOR_INFOBK);
constexpr TColor clHotLight = SysColor(COLOR_HOTLIGHT);
constexpr TColor clGradientActiveCaption = SysColor(COLOR_GRADIENTACTIVECAPTION);
constexpr TColor clGradientInactiveCaption = SysColor(COLOR_GRADIENTINACTIVECAPTION);
constexpr TColor clMenuHighlight = SysColor(COLOR_MENUHILIGHT);
constexpr TColor clMenuBar = SysColor(COLOR_MENUBAR);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// A system colour becomes its current RGB value; a plain colour is returned unchanged.
TColor ColorToRGB(TColor color);

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum class TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = Byte;

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum class TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum class TBrushStyle {
  bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross
};

// The screen's resolution: fonts are sized in pixels at 96 dpi.
constexpr Integer ScreenPixelsPerInch = 96;

// Base of fonts, pens and brushes: a change fires OnChange, and the object's GDI handle is made on
// demand and dropped when a property changes.
class TGraphicsObject : public TObject {
public:
  TNotifyEvent OnChange;

protected:
  virtual void Changed();
};

class TFont : public TGraphicsObject {
  PF_CLASS(TFont)
public:
  // The face every default font of the program uses.
  static constexpr const Char* DefaultName = u"Tahoma";
  static constexpr Integer DefaultHeight = -11;  // 8 points at 96 dpi

  void Assign(const TFont& source);

  const String& GetName() const { return FName; }
  void SetName(const String& name);
  // Points: Size = -Height * 72 / 96, rounded; setting it sets Height = -(Size * 96 / 72).
  Integer GetSize() const;
  void SetSize(Integer points);
  // Pixels: negative for the character height, positive for the cell height, as LOGFONT.
  Integer GetHeight() const { return FHeight; }
  void SetHeight(Integer pixels);
  TFontStyles GetStyle() const { return FStyle; }
  void SetStyle(TFontStyles style);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  TFontCharset GetCharset() const { return FCharset; }
  void SetCharset(TFontCharset charset);
  TFontPitch GetPitch() const { return FPitch; }
  void SetPitch(TFontPitch pitch);
  Integer GetPixelsPerInch() const { return ScreenPixelsPerInch; }

  // The font's GDI object, made on first use; it stays the font's (do not delete it).
  HFONT GetHandle();
  // Takes the description of `font` (name, height, style, charset); the colour stays.
  void SetHandle(HFONT font);
  LOGFONTW GetLogFont() const;

protected:
  void Create() override {}
  void Destroy() override;
  void Changed() override;

private:
  String FName{DefaultName};
  Integer FHeight{DefaultHeight};
  TFontStyles FStyle;
  TColor FColor{clWindowText};
  TFontCharset FCharset{DEFAULT_CHARSET};
  TFontPitch FPitch{TFontPitch::fpDefault};
  HFONT FHandle{nullptr};
};

class TPen : public TGraphicsObject {
  PF_CLASS(TPen)
public:
  void Assign(const TPen& source);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor color);
  Integer GetWidth() const { return FWidth; }
  void SetWidth(Integer width);
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle style);
  // The raster operation the canvas sets (SetROP2) when it draws with this pen.
  TPenMode GetMode() const { return FMode; }
  void SetMode(TPenMode mode);
  HPEN GetHandle();

protected:
  void Create() override {}
  void Destroy() override;
  void Changed() override;

private:
  TColor FColor{clBlack};
  Integer FWidth{1};
  TPenStyle FStyle{TPenStyle::psSolid};
  TPenMode FMode{TPenMode::pmCopy};
  HPEN FHandle{nullptr};
};

class TBrush : public TGraphicsObject {
  PF_CLASS(TBrush)
public:
  void Assign(const TBrush& source);
  TColor GetColor() const { return FColor; }
  // Setting a colour on a clear brush makes it solid, as the class library does.
  void SetColor(TColor color);
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle style);
  HBRUSH GetHandle();

protected:
  void Create() override {}
  void Destroy() override;
  void Changed() override;

private:
  TColor FColor{clWhite};
  TBrushStyle FStyle{TBrushStyle::bsSolid};
  HBRUSH FHandle{nullptr};
};

// The ROP2 code of a pen mode.
int PenModeToROP2(TPenMode mode);

}  // namespace pf
