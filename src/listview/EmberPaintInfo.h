#pragma once
// The paint settings of items, groups and columns that every object uses unless it carries its
// own. The values here are what the constructors set; the published defaults are the same values,
// so a value equal to its default reads back as itself.

#include "listview/EmberPersistent.h"

namespace ember {

// A stored setting with its getter, its published default and a setter that acts only on a
// change: it stores the value and then runs `Reaction`.
#define EMBER_SETTING_REACTS(Type, Name, Init, Reaction) \
public:                                                   \
  static constexpr Type Default##Name = Init;             \
  Type Get##Name() const { return F##Name; }              \
  void Set##Name(Type Value) {                            \
    if (Value == F##Name) return;                         \
    F##Name = Value;                                      \
    Reaction;                                             \
  }                                                       \
                                                          \
private:                                                  \
  Type F##Name{Init};

// Most settings only change how things look: the whole control is painted again.
#define EMBER_SETTING(Type, Name, Init) EMBER_SETTING_REACTS(Type, Name, Init, Invalidate(false))

enum class TEmberHeaderImagePosition { ehpLeft, ehpTop, ehpRight, ehpBottom };
enum class TEmberSortGlyphAlign { esgaLeft, esgaRight };

class TEmberPaintInfoBaseGroup;

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
  EMBER_SETTING_REACTS(bool, ShowBorder, true, (void)0)
  EMBER_SETTING(common::TCommonVAlignment, VAlignment, common::TCommonVAlignment::cvaCenter)
public:
  // Copies the look of another paint info; the target keeps its own ShowBorder.
  void Assign(TEmberPersistent* Source) override;
  // Paints the whole control again.
  void Invalidate(bool ImmediateUpdate);
  // The group settings this object holds, when it is a group's paint info: what a dynamic cast
  // would answer, without its cost (a layout asks it for each margin of each group).
  virtual TEmberPaintInfoBaseGroup* AsGroupPaintInfo() { return nullptr; }

protected:
  // The header strip above the items painted again.
  void InvalidateHeader();
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
  EMBER_SETTING_REACTS(TColor, Color, clBtnFace, InvalidateHeader())
  EMBER_SETTING(bool, HilightFocused, false)
  EMBER_SETTING(TColor, HilightFocusedColor, 0xF7F7F7)
  EMBER_SETTING(bool, HotTrack, true)
  EMBER_SETTING_REACTS(TEmberHeaderImagePosition, ImagePosition, TEmberHeaderImagePosition::ehpLeft, InvalidateHeader())
  EMBER_SETTING_REACTS(TEmberSortGlyphAlign, SortGlyphAlign, TEmberSortGlyphAlign::esgaRight, InvalidateHeader())
  EMBER_SETTING_REACTS(Integer, SortGlyphIndent, 2, InvalidateHeader())
  EMBER_SETTING_REACTS(TEmberHeaderButtonStyle, Style, TEmberHeaderButtonStyle::ehbsThick, InvalidateHeader())
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
  EMBER_SETTING(Integer, ExpandImageIndent, 4)
  EMBER_SETTING_REACTS(bool, Expanded, true, (void)0)
public:
  static constexpr bool DefaultExpandable = true;
  bool GetExpandable() const { return FExpandable; }
  // Switching it off expands every collapsed group first: a group that cannot be expanded
  // again must not stay collapsed.
  void SetExpandable(bool Value);

  // The four margins belong to the paint info; setting another one frees the old.
  TCustomEmberFooterMargin* GetMarginBottom() const { return FMarginBottom; }
  void SetMarginBottom(TCustomEmberFooterMargin* Value);
  TEmberMargin* GetMarginLeft() const { return FMarginLeft; }
  void SetMarginLeft(TEmberMargin* Value);
  TEmberMargin* GetMarginRight() const { return FMarginRight; }
  void SetMarginRight(TEmberMargin* Value);
  TEmberHeaderMargin* GetMarginTop() const { return FMarginTop; }
  void SetMarginTop(TEmberHeaderMargin* Value);
  // Also the band, Expandable, Expanded, ExpandImageIndent and the four margins.
  void Assign(TEmberPersistent* Source) override;
  TEmberPaintInfoBaseGroup* AsGroupPaintInfo() override { return this; }

protected:
  void Create(TCustomEmberListview* AOwner) override;
  using TEmberPaintInfoBasic::Create;
  void Destroy() override;

private:
  bool FExpandable{true};
  TCustomEmberFooterMargin* FMarginBottom{nullptr};
  TEmberMargin* FMarginLeft{nullptr};
  TEmberMargin* FMarginRight{nullptr};
  TEmberHeaderMargin* FMarginTop{nullptr};
};
class TEmberPaintInfoGroup : public TEmberPaintInfoBaseGroup {
  PF_CLASS(TEmberPaintInfoGroup)
};

#undef EMBER_SETTING
#undef EMBER_SETTING_REACTS

}  // namespace ember
