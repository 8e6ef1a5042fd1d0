#pragma once
// Colours, fonts, pens and brushes of the class library's graphics unit.

#include <algorithm>

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
// The GDI object a font, pen or brush answers, and the few it answered before: painters switch a
// canvas's brush or font back and forth for every item they draw (a clear brush for the text, the
// selection's colour, the frame's; the item's font, then the list's again), and each switch made
// and freed an object. A switch back to what an earlier object was made from takes it again.
template <class THandle, class TKey>
class TRecentHandles {
public:
  TRecentHandles() = default;
  TRecentHandles(const TRecentHandles&) = delete;
  TRecentHandles& operator=(const TRecentHandles&) = delete;
  ~TRecentHandles() { Clear(); }

  // The current object, made by `make` unless an earlier one was made from `key`.
  template <class TMake>
  THandle Get(const TKey& key, TMake&& make) {
    if (FCurrent.Handle) return FCurrent.Handle;
    auto earlier = std::find_if(std::begin(FEarlier), std::end(FEarlier),
                                [&](const TSlot& s) { return s.Handle && s.Key == key; });
    if (earlier != std::end(FEarlier)) {
      FCurrent = *earlier;
      std::move(earlier + 1, std::end(FEarlier), earlier);
      FEarlier[Earlier - 1] = TSlot{};
    } else {
      FCurrent = TSlot{make(), key};
    }
    return FCurrent.Handle;
  }
  // The description is now `key`: the current object is set aside unless it still fits.
  void Changed(const TKey& key) {
    if (!FCurrent.Handle || FCurrent.Key == key) return;
    if (FEarlier[Earlier - 1].Handle) DeleteObject(FEarlier[Earlier - 1].Handle);
    std::move_backward(std::begin(FEarlier), std::end(FEarlier) - 1, std::end(FEarlier));
    FEarlier[0] = FCurrent;
    FCurrent = TSlot{};
  }
  void Clear() {
    auto release = [](TSlot& s) {
      if (s.Handle) DeleteObject(s.Handle);
      s = TSlot{};
    };
    release(FCurrent);
    for (TSlot& s : FEarlier) release(s);
  }

private:
  static constexpr size_t Earlier = 3;
  struct TSlot {
    THandle Handle{nullptr};
    TKey Key{};
  };
  TSlot FCurrent;
  TSlot FEarlier[Earlier];  // the most recently set aside first
};

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
  // What the GDI object is made from: the colour is not part of it.
  struct TKey {
    String Name;
    Integer Height;
    TFontStyles Style;
    TFontCharset Charset;
    TFontPitch Pitch;
    bool operator==(const TKey&) const = default;
  };
  TKey Key() const { return TKey{FName, FHeight, FStyle, FCharset, FPitch}; }

  String FName{DefaultName};
  Integer FHeight{DefaultHeight};
  TFontStyles FStyle;
  TColor FColor{clWindowText};
  TFontCharset FCharset{DEFAULT_CHARSET};
  TFontPitch FPitch{TFontPitch::fpDefault};
  TRecentHandles<HFONT, TKey> FHandles;
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
  // What the GDI object is made from: the mode is not part of it, the colour is as it is now.
  struct TKey {
    TColor Rgb;
    Integer Width;
    TPenStyle Style;
    bool operator==(const TKey&) const = default;
  };
  TKey Key() const { return TKey{ColorToRGB(FColor), FWidth, FStyle}; }

  TColor FColor{clBlack};
  Integer FWidth{1};
  TPenStyle FStyle{TPenStyle::psSolid};
  TPenMode FMode{TPenMode::pmCopy};
  TRecentHandles<HPEN, TKey> FHandles;
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
  // What the GDI object is made from: the colour as it is now.
  struct TKey {
    TColor Rgb;
    TBrushStyle Style;
    bool operator==(const TKey&) const = default;
  };
  TKey Key() const { return TKey{ColorToRGB(FColor), FStyle}; }

  TColor FColor{clWhite};
  TBrushStyle FStyle{TBrushStyle::bsSolid};
  TRecentHandles<HBRUSH, TKey> FHandles;
};

// The ROP2 code of a pen mode.
int PenModeToROP2(TPenMode mode);

}  // namespace pf
