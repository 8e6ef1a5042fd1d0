#pragma once
// Enumerations, sets, records and forward declarations shared by the list view's units.

#include <functional>
#include <vector>

#include "common/CommonDataObject.h"
#include "common/CommonThreadManager.h"
#include "common/CommonUtilities.h"
#include "platform/classlib/StdCtrls.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Set.h"
#include "platform/ole/Com.h"
#include "platform/ole/DataTransfer.h"
#include "platform/oleacc/Oleacc.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Metaclass.h"

namespace pf {
class TPopupMenu;
class TCustomImageList;
class TBitmap;
class TCanvas;
class TStream;
}  // namespace pf

namespace ember {

using namespace pf;
using common::TCommonDropEffect;
using common::TCommonDropEffects;
using common::TCommonIntegerDynArray;
using common::TCommonKeyStates;
using common::TCommonMouseButton;
using common::TCommonBlendMode;
using common::TCommonVAlignment;
using TCommonMouseButtons = TSet<TCommonMouseButton>;
using common::TCommonOLEDragResult;
using common::TCommonWideStringDynArray;
using pf::TShiftState;

using WideString = String;
using TCommonImageIndexInteger = Integer;

// The unit's source path, carried by its assertion failures.
inline constexpr const char* EmberListviewUnit = "EmberListview\\Source\\EmberListview";

PF_DECLARE_EXCEPTION(EInvalidCast, Exception)

// The views.
enum class TEmberListStyle { elsIcon, elsSmallIcon, elsList, elsReport, elsThumbnail, elsTile, elsReportThumb,
                             elsFilmStrip, elsGrid };
constexpr int EmberListStyleCount = 9;
extern const char16_t* const EmberListStyleNames[EmberListStyleCount];
enum class TEmberSortAlgorithm { esaQuickSort, esaBubbleSort, esaMergeSort };
enum class TEmberIncrementalSearchDir { eisdForward, eisdBackward };
enum class TEmberIncrementalSearchItemType { eisiAll, eisiInitializedOnly, eisiVisible };
enum class TCoolIncrementalSearchStart { eissStartOver, eissLastHit, eissFocusedNode };
enum class TEmberIncrementalSearchState { eissTimerRunning, eissSearching };
using TEmberIncrementalSearchStates = TSet<TEmberIncrementalSearchState>;
extern const char16_t* const EmberSortAlgorithmNames[3];

enum class TEmberControlState {
  ebcsLButtonDown, ebcsRButtonDown, ebcsMButtonDown, ebcsScrollButtonDown, ebcsDragPending, ebcsDragging,
  ebcsVCLDrag, ebcsDragSelectPending, ebcsDragSelecting, ebcsThemesLoaded, ebcsCheckboxClickPending,
  ebcsGroupExpandPending, ebcsHeaderCapture, ebcsScrolling, ebcsOLERegistered, ebcsCancelContextMenu,
  ebcsColumnStructureUpdatePending, ebcsGroupStructureUpdatePending, ebcsItemStructureUpdatePending,
  ebcsSettingParentFont, ebcsPrinting, ebcsPrintingIcons
};
using TEmberControlStates = TSet<TEmberControlState>;

enum class TEmberDefaultWheelScroll { edwsHorz, edwsVert };

// The state word of items, groups and columns: bit n is value n.
enum class TEmberStorageObjectState {
  esosChecked, esosCheckPending, esosCheckHover, esosClicking, esosCut, esosDestroying, esosHilighted,
  esosEnabled, esosFocused, esosInitialized, esosSelected, esosVisible, esosHotTracking, esosBold,
  esosDropTarget, esosGhosted
};
using TEmberStorageObjectStates = TSet<TEmberStorageObjectState>;
// The bits a stream keeps: checked, enabled, selected, visible, bold.
constexpr Word EmberPersistedStateMask = 0x2C81;

enum class TEmberImageKind { eikNormal, eikOverlay, eikState };
enum class TEmberImageSize { eisSmall, eisLarge, eisExtraLarge };
enum class TEmberCheckType { ectNone, ectNoneWithSpace, ectBox, ectRadio };
enum class TEmberSortDirection { esdNone, esdAscending, esdDescending };
enum class TEmberHeaderButtonStyle { ehbsThick, ehbsFlat, ehbsPlate, ehbsThemed };
enum class TEmberColumnDropDownButtonState { cdbsHovering, cdbsDown, cdbsClickPending };
using TEmberColumnDropDownButtonStates = TSet<TEmberColumnDropDownButtonState>;
enum class TEmberHotTrackState { ehsEnable, ehsDisable };
enum class TEmberSelectHitType { eshtClickSelect, eshtDragSelect };
enum class TEmberMakeVisiblePos { emvTop, emvMiddle, emvBottom, emvAuto };
enum class TEmberGroupsState { egsRebuilding };
using TEmberGroupsStates = TSet<TEmberGroupsState>;
enum class TEmberHintType { ehtText, ehtToolTip, ehtCustomDraw };
enum class TEmberAdjacentCellDir { acdLeft, acdRight, acdUp, acdDown, acdPageDown, acdPageUp };
enum class TEmberGroupMarginEdge { egmeBackground, egmeTop, egmeBottom, egmeLeft, egmeRight, egmeForeground };
enum class TEmberInsertKind { eipNone, eipBefore, eipAfter, eipHeader };
enum class TEmberInsertMarkerDir { dmdHorz, dmdVert };
enum class TEmberQueryDragResult { eqdrContinue, eqdrQuit, eqdrDrop };
enum class TEmberScrollbarDir { esdHorizontal, esdVertical };
enum class TEmberMouseActivate { emaDefault, emaActivate, emaActivateAndEat, emaNoActivate, emaNoActivateAndEat };
// The window's hit-test codes, HTNOWHERE (0) to HTHELP (21) in their order, then HTERROR and
// HTTRANSPARENT.
enum class TEmberNonClientHitTest { enchtNowhere, enchtClient, enchtCaption, enchtSysMenu, enchtGrowBox, enchtMenu,
                                    enchtHScroll, enchtVScroll, enchtMinButton, enchtMaxButton, enchtLeft,
                                    enchtRight, enchtTop, enchtTopLeft, enchtTopRight, enchtBottom, enchtBottomLeft,
                                    enchtBottomRight, enchtBorder, enchtObject, enchtClose, enchtHelp, enchtError,
                                    enchtTransparent };

enum class TEmberItemHitTestInfo { ehtStateIcon, ehtOnIcon, ehtOnLabel, ehtOnClickSelectBounds,
                                   ehtOnDragSelectBounds, ehtOnText, ehtOnCheck, ehtOnEdit };
using TEmberItemHitTestInfoSet = TSet<TEmberItemHitTestInfo>;
enum class TEmberGroupHitTestInfo { egtOnBand, egtOnCheckbox, egtOnExpandButton, egtOnIcon, egtOnLabel, egtOnText,
                                    egtOnHeader, egtOnFooter, egtOnLeftMargin, egtOnRightMargin };
using TEmberGroupHitTestInfoSet = TSet<TEmberGroupHitTestInfo>;
enum class TEmberColumnHitTestInfo { ectOnCheckbox, ectOnIcon, ectOnLabel, ectOnText };
using TEmberColumnHitTestInfoSet = TSet<TEmberColumnHitTestInfo>;

class TCustomEmberListview;
class TEmberListview;
class TEmberCollection;
class TEmberCollectionItem;
class TEmberItem;
class TEmberItems;
class TEmberGroup;
class TEmberGroups;
class TEmberColumn;
class TEmberColumns;
class TEmberHeader;
class TEmberViewItem;
class TEmberViewGroup;
class TEmberViewColumn;
class TEmberGridGroup;
class TEmberAlphaBlender;
class TEmberHintInfo;
class TEmberBaseEditor;
class TEmberPaintInfoBasic;

// The rectangles an item or column view computes for one cell, in viewport coordinates.
struct TEmberRectArrayObject {
  TRect LabelRect;
  TRect IconRect;
  TRect TextRect;
  TRect CheckRect;
  TRect BoundsRect;
  TRect ClickSelectBoundsRect;
  TRect DragSelectBoundsRect;
  TRect FullTextRect;
  TRect SelectionRect;
  TRect FullFocusSelRect;
  TRect FocusChangeInvalidRect;
  TRect EditRect;
  TRect SortRect;
  TRect StateRect;
  std::vector<TRect> TextRects;
  TRect ExpandButtonRect;
  TRect BandRect;
  TRect BackGndRect;
  TRect GroupRect;
  TRect DropDownArrow;
};

// The rectangle of a rect array an item or column view answers.
enum class TEmberCellRectType { ertBounds, ertIcon, ertLabel, ertClickSelectBounds, ertDragSelectBounds, ertText, ertFullText };
// The rectangle of that kind in a cell's rect array.
TRect RectOfType(const TEmberRectArrayObject& RectArray, TEmberCellRectType RectType);
// One rect array per header column (the report views).
using TEmberRectArrayObjectArray = std::vector<TEmberRectArrayObject>;
// A column button painted in the header or in the footer.
enum class TEmberHeaderType { ehtHeader, ehtFooter };

struct TEmberHitInfoItem {
  TEmberItem* Item{nullptr};
  TEmberGroup* Group{nullptr};
  Integer Column{0};
  TEmberItemHitTestInfoSet HitInfo;
};
struct TEmberHitInfoGroup {
  TEmberGroup* Group{nullptr};
  TEmberGroupHitTestInfoSet HitInfo;
};
struct TEmberHitInfoColumn {
  TEmberColumn* Column{nullptr};
  TEmberColumnHitTestInfoSet HitInfo;
};

using common::TWMThreadRequest;

// The editor of in-place editing, as the edit manager drives it.
struct IEmberCellEditor : IUnknown {
  static constexpr IID Iid{0x5B8F1C2A, 0x7D43, 0x4E1F, {0x9A, 0x60, 0x2C, 0x41, 0xE8, 0x77, 0x13, 0xD5}};
  virtual bool AcceptEdit() = 0;
  virtual HWND GetHandle() = 0;
  virtual bool GetModified() = 0;
  virtual void ControlWndHookProc(TMessage& Msg) = 0;
  virtual void Hide() = 0;
  virtual void Initialize(TEmberItem* Item, TEmberColumn* Column) = 0;
  virtual void Finalize() = 0;
  // A point in the list view's client coordinates.
  virtual bool PtInEditControl(TPoint WindowPt) = 0;
  virtual void SelectAll() = 0;
  virtual bool SetEditorFocus() = 0;
  virtual void Show() = 0;
};

// A value passed through the data interfaces and the edit events: empty, an integer, a Boolean or
// a wide string.
struct Variant {
  enum class Kind { Empty, Int, Bool, Str } K{Kind::Empty};
  Int64 I{0};
  bool B{false};
  String S;
  Variant() = default;
  Variant(const String& s) : K(Kind::Str), S(s) {}
  Variant(Int64 i) : K(Kind::Int), I(i) {}
  Variant(bool b) : K(Kind::Bool), B(b) {}
  String ToString() const;
};

// Rectangle helpers.
inline bool PtInRectEx(const TRect& r, TPoint p) {
  return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
bool IntersectRectEx(TRect& dst, const TRect& a, const TRect& b);
TRect UnionRectEx(const TRect& a, const TRect& b);
inline bool IsRectEmptyEx(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
}  // namespace ember
