#pragma once
// The paint settings of items, groups and columns that every object uses unless it carries its
// own. The values here are what the constructors set; the published defaults are the same values,
// so a value equal to its default reads back as itself.

#include "listview/EmberPersistent.h"

namespace ember {

// A stored setting with its getter and a setter that stores the value. The painting code adds
// the repaint its settings need.
#define EMBER_SETTING(Type, Name, Init)                   \
public:                                                   \
  static constexpr Type Default##Name = Init;             \
  Type Get##Name() const { return F##Name; }              \
  void Set##Name(Type Value) { F##Name = Value; }         \
                                                          \
private:                                                  \
  Type F##Name{Init};

enum class TEmberHeaderImagePosition { ehpLeft, ehpTop, ehpRight, ehpBottom };
enum class TEmberSortGlyphAlign { esgaLeft, esgaRight };

class TEmberPaintInfoBasic : public TEmberOwnedPersistent {
  PF_CLASS(TEmberPaintInfoBasic)
  EMBER_SETTING(TAlignment, Alignment, TAlignment::taLeftJustify)
  EMBER_SETTING(Integer, Border, 4)
  EMBER_SETTING(TColor, BorderColor, clHighlight)
  EMBER_SETTING(Integer, CaptionIndent, 4)
  EMBER_SETTING(Integer, CaptionLines, 1)
  EMBER_SETTING(bool, CheckFlat, false)
  EMBER_SETTING(Integer, CheckIndent, 2)
  EMBER_SETTING(Integer, CheckSize, 12)
  EMBER_SETTING(TEmberCheckType, CheckType, TEmberCheckType::ectNone)
  EMBER_SETTING(Integer, ImageIndent, 2)
  EMBER_SETTING(bool, ShowBorder, true)
  EMBER_SETTING(common::TCommonVAlignment, VAlignment, common::TCommonVAlignment::cvaCenter)
public:
  void Assign(TEmberPersistent* Source) override;
};

class TEmberPaintInfoBaseItem : public TEmberPaintInfoBasic {
  PF_CLASS(TEmberPaintInfoBaseItem)
  EMBER_SETTING(TColor, GridLineColor, clBtnFace)
  EMBER_SETTING(bool, GridLines, false)
  EMBER_SETTING(bool, HideCaption, false)
  EMBER_SETTING(Integer, TileDetailCount, 1)
};
class TEmberPaintInfoItem : public TEmberPaintInfoBaseItem {
  PF_CLASS(TEmberPaintInfoItem)
};

class TEmberPaintInfoBaseColumn : public TEmberPaintInfoBasic {
  PF_CLASS(TEmberPaintInfoBaseColumn)
  EMBER_SETTING(TColor, Color, clBtnFace)
  EMBER_SETTING(bool, HilightFocused, false)
  EMBER_SETTING(TColor, HilightFocusedColor, 0xF7F7F7)
  EMBER_SETTING(bool, HotTrack, true)
  EMBER_SETTING(TEmberHeaderImagePosition, ImagePosition, TEmberHeaderImagePosition::ehpLeft)
  EMBER_SETTING(TEmberSortGlyphAlign, SortGlyphAlign, TEmberSortGlyphAlign::esgaRight)
  EMBER_SETTING(Integer, SortGlyphIndent, 2)
  EMBER_SETTING(TEmberHeaderButtonStyle, Style, TEmberHeaderButtonStyle::ehbsThick)
};
class TCustomEmberPaintInfoBaseColumn : public TEmberPaintInfoBaseColumn {
  PF_CLASS(TCustomEmberPaintInfoBaseColumn)
};
class TEmberPaintInfoColumn : public TCustomEmberPaintInfoBaseColumn {
  PF_CLASS(TEmberPaintInfoColumn)
  EMBER_SETTING(bool, BkGndColorFillsWindow, false)
};

class TEmberPaintInfoBaseGroup : public TEmberPaintInfoBasic {
  PF_CLASS(TEmberPaintInfoBaseGroup)
  EMBER_SETTING(bool, BandBlended, true)
  EMBER_SETTING(TColor, BandColor, 0xFF0000)
  EMBER_SETTING(TColor, BandColorFade, clWindow)
  EMBER_SETTING(bool, BandEnabled, true)
  EMBER_SETTING(bool, BandFullWidth, false)
  EMBER_SETTING(Integer, BandIndent, 0)
  EMBER_SETTING(Integer, BandLength, 300)
  EMBER_SETTING(Integer, BandMargin, 2)
  EMBER_SETTING(Byte, BandRadius, 4)
  EMBER_SETTING(Integer, BandThickness, 3)
  EMBER_SETTING(bool, Expandable, true)
  EMBER_SETTING(bool, Expanded, true)
  EMBER_SETTING(Integer, ExpandImageIndent, 4)
public:
  TCustomEmberFooterMargin* GetMarginBottom() const { return FMarginBottom; }
  TEmberMargin* GetMarginLeft() const { return FMarginLeft; }
  TEmberMargin* GetMarginRight() const { return FMarginRight; }
  TEmberHeaderMargin* GetMarginTop() const { return FMarginTop; }

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberPaintInfoBasic::Create;
  void Destroy() override;

private:
  TCustomEmberFooterMargin* FMarginBottom{nullptr};
  TEmberMargin* FMarginLeft{nullptr};
  TEmberMargin* FMarginRight{nullptr};
  TEmberHeaderMargin* FMarginTop{nullptr};
};
class TEmberPaintInfoGroup : public TEmberPaintInfoBaseGroup {
  PF_CLASS(TEmberPaintInfoGroup)
};

}  // namespace ember
