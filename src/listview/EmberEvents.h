#pragma once
// The control's events: one handler (`On...`) and one overridable dispatcher (`Do...`) each, in
// the dispatchers' slot order, after DoAfterPaintEvent, whose handler is OnAfterPaint. Included
// inside TCustomEmberListview's class body.
//
// E(Name, SkippedWhileDestroying, (parameters after Sender), (this, arguments)): the dispatcher
// calls the handler when it is set; with the flag it does nothing while the control is being
// destroyed. C(Name, (parameters)): the same handler, with a dispatcher of its own below.
#define EMBER_EVENTS(E, C)                                                                                        \
  E(AutoGroupGetKey, false, (TEmberItem * Item, Integer ColumnIndex, TEmberGroups * Groups, Cardinal & Key),       \
    (this, Item, ColumnIndex, Groups, Key))                                                                       \
  C(AutoSortGroupCreate, (TEmberItem * Item, Integer ColumnIndex, TEmberGroups * Groups, TEmberGroup * &Group,     \
                          bool& DoDefaultAction))                                                                 \
  E(ClipboardCopy, false, (bool& Handled), (this, Handled))                                                       \
  E(ClipboardCut, false, (bool& MarkAsCut, bool& Handled), (this, MarkAsCut, Handled))                            \
  E(ClipboardPaste, false, (bool& Handled), (this, Handled))                                                      \
  E(ColumnCheckChanged, true, (TEmberColumn * Column), (this, Column))                                            \
  E(ColumnCheckChanging, true, (TEmberColumn * Column, bool& Allow), (this, Column, Allow))                       \
  E(ColumnClick, false, (TCommonMouseButton Button, TShiftState ShiftState, TEmberColumn * Column),               \
    (this, Button, ShiftState, Column))                                                                           \
  E(ColumnContextMenu, false, (TEmberHitInfoColumn HitInfo, TPoint WindowPoint, TPopupMenu * &Menu),              \
    (this, HitInfo, WindowPoint, Menu))                                                                           \
  E(ColumnCustomView, false, (TEmberColumn * Column, const TEmberViewColumnClass*& View), (this, Column, View))   \
  E(ColumnDblClick, false, (TCommonMouseButton Button, TPoint MousePos, TEmberColumn * Column),                   \
    (this, Button, MousePos, Column))                                                                             \
  E(ColumnDropDownButtonClick, false,                                                                             \
    (TEmberColumn * Column, TCommonMouseButton Button, TShiftState ShiftState, TPoint WindowPt, bool& DoDefault), \
    (this, Column, Button, ShiftState, WindowPt, DoDefault))                                                      \
  E(ColumnEnableChanged, true, (TEmberColumn * Column), (this, Column))                                           \
  E(ColumnEnableChanging, true, (TEmberColumn * Column, bool& Allow), (this, Column, Allow))                      \
  E(ColumnFocusChanged, true, (TEmberColumn * Column), (this, Column))                                            \
  E(ColumnFocusChanging, true, (TEmberColumn * Column, bool& Allow), (this, Column, Allow))                       \
  E(ColumnFreeing, false, (TEmberColumn * Column), (this, Column))                                                \
  E(ColumnGetCaption, false, (TEmberColumn * Column, Integer Line, WideString & Caption),                         \
    (this, Column, Line, Caption))                                                                                \
  E(ColumnGetImageIndex, false,                                                                                   \
    (TEmberColumn * Column, TEmberImageKind ImageKind, TCommonImageIndexInteger & ImageIndex),                    \
    (this, Column, ImageKind, ImageIndex))                                                                        \
  E(ColumnGetImageList, false, (TEmberColumn * Column, TCustomImageList * &ImageList), (this, Column, ImageList)) \
  E(ColumnGetDetail, false, (TEmberColumn * Column, Integer Line, Integer & Detail), (this, Column, Line, Detail)) \
  E(ColumnGetDetailCount, false, (TEmberColumn * Column, Integer & Count), (this, Column, Count))                 \
  E(ColumnImageDraw, false,                                                                                       \
    (TEmberColumn * Column, TCanvas * ACanvas, const TEmberRectArrayObject& RectArray,                            \
     TEmberAlphaBlender* AlphaBlender),                                                                           \
    (this, Column, ACanvas, RectArray, AlphaBlender))                                                             \
  E(ColumnImageGetSize, false, (TEmberColumn * Column, Integer & ImageWidth, Integer & ImageHeight),              \
    (this, Column, ImageWidth, ImageHeight))                                                                      \
  E(ColumnImageDrawIsCustom, false, (TEmberColumn * Column, bool& IsCustom), (this, Column, IsCustom))            \
  E(ColumnInitialize, false, (TEmberColumn * Column), (this, Column))                                             \
  E(ColumnLoadFromStream, false, (TEmberColumn * Column, TStream * S, Integer Version), (this, Column, S, Version)) \
  E(ColumnPaintText, false, (TEmberColumn * Column, TCanvas * ACanvas), (this, Column, ACanvas))                  \
  E(ColumnSaveToStream, false, (TEmberColumn * Column, TStream * S, Integer Version), (this, Column, S, Version)) \
  E(ColumnSelectionChanged, true, (TEmberColumn * Column), (this, Column))                                        \
  E(ColumnSelectionChanging, true, (TEmberColumn * Column, bool& Allow), (this, Column, Allow))                   \
  E(ColumnSetCaption, false, (TEmberColumn * Column, WideString Caption), (this, Column, Caption))                \
  E(ColumnSetImageIndex, false, (TEmberColumn * Column, TEmberImageKind ImageKind, Integer ImageIndex),           \
    (this, Column, ImageKind, ImageIndex))                                                                        \
  E(ColumnSetDetail, false, (TEmberColumn * Column, Integer Line, Integer Detail), (this, Column, Line, Detail))  \
  E(ColumnSizeChanged, true, (TEmberColumn * Column), (this, Column))                                             \
  E(ColumnSizeChanging, true, (TEmberColumn * Column, Integer Width, Integer NewWidth, bool& Allow),              \
    (this, Column, Width, NewWidth, Allow))                                                                       \
  E(ColumnVisibilityChanged, false, (TEmberColumn * Column), (this, Column))                                      \
  E(ColumnVisibilityChanging, false, (TEmberColumn * Column, bool& Allow), (this, Column, Allow))                 \
  E(ContextMenu, false, (TPoint MousePt, bool& Handled), (this, MousePt, Handled))                                \
  E(CustomGrid, false, (TEmberGroup * Group, TEmberListStyle ViewStyle, const TEmberGridGroupClass*& Grid),       \
    (this, Group, ViewStyle, Grid))                                                                               \
  E(DblClick, false, (TCommonMouseButton Button, TPoint MousePos, TShiftState ShiftState, bool& Handled),         \
    (this, Button, MousePos, ShiftState, Handled))                                                                \
  E(DragInsertDrop, false,                                                                                        \
    (TEmberItem * Item, TEmberInsertKind InsertKind, TCommonMouseButton MouseButton, TPoint InsertPt),            \
    (this, Item, InsertKind, MouseButton, InsertPt))                                                              \
  E(GetDragImage, false,                                                                                          \
    (TBitmap * Image, TPoint DragStartPt, TPoint & HotSpot, TColor & TransparentColor, bool& Handled),            \
    (this, Image, DragStartPt, HotSpot, TransparentColor, Handled))                                               \
  E(GroupClick, false, (TEmberGroup * Group, TCommonKeyStates KeyStates, TEmberGroupHitTestInfoSet HitTest),      \
    (this, Group, KeyStates, HitTest))                                                                            \
  E(GroupCollapse, true, (TEmberGroup * Group), (this, Group))                                                    \
  E(GroupCollapsing, true, (TEmberGroup * Group, bool& Allow), (this, Group, Allow))                              \
  E(GroupContextMenu, false,                                                                                      \
    (TEmberHitInfoGroup HitInfo, TPoint WindowPoint, TPopupMenu * &Menu, bool& Handled),                          \
    (this, HitInfo, WindowPoint, Menu, Handled))                                                                  \
  E(GroupCustomView, false, (TEmberGroup * Group, TEmberListStyle ViewStyle, const TEmberViewGroupClass*& View),  \
    (this, Group, ViewStyle, View))                                                                               \
  E(GroupDblClick, false, (TCommonMouseButton Button, TPoint MousePos, TEmberHitInfoGroup HitInfo),               \
    (this, Button, MousePos, HitInfo))                                                                            \
  C(GroupExpand, (TEmberGroup * Group))                                                                           \
  E(GroupExpanding, false, (TEmberGroup * Group, bool& Allow), (this, Group, Allow))                              \
  E(GroupFreeing, false, (TEmberGroup * Group), (this, Group))                                                    \
  E(GroupGetCaption, false, (TEmberGroup * Group, WideString & Caption), (this, Group, Caption))                  \
  E(GroupGetImageIndex, false,                                                                                    \
    (TEmberGroup * Group, TEmberImageKind ImageKind, TCommonImageIndexInteger & ImageIndex),                      \
    (this, Group, ImageKind, ImageIndex))                                                                         \
  E(GroupGetImageList, false, (TEmberGroup * Group, TCustomImageList * &ImageList), (this, Group, ImageList))     \
  E(GroupGetDetail, false, (TEmberGroup * Group, Integer Line, Integer & Detail), (this, Group, Line, Detail))    \
  E(GroupGetDetailCount, false, (TEmberGroup * Group, Integer & Count), (this, Group, Count))                     \
  E(GroupImageDraw, false,                                                                                        \
    (TEmberGroup * Group, TCanvas * ACanvas, const TEmberRectArrayObject& RectArray,                              \
     TEmberAlphaBlender* AlphaBlender),                                                                           \
    (this, Group, ACanvas, RectArray, AlphaBlender))                                                              \
  E(GroupImageGetSize, false, (TEmberGroup * Group, Integer & ImageWidth, Integer & ImageHeight),                 \
    (this, Group, ImageWidth, ImageHeight))                                                                       \
  E(GroupImageDrawIsCustom, false, (TEmberGroup * Group, bool& IsCustom), (this, Group, IsCustom))                \
  E(GroupInitialize, false, (TEmberGroup * Group), (this, Group))                                                 \
  E(GroupHotTrack, false, (TEmberGroup * Group, TEmberHotTrackState State, TPoint MousePos),                      \
    (this, Group, State, MousePos))                                                                               \
  E(GroupLoadFromStream, false, (TEmberGroup * Group, TStream * S, Integer Version), (this, Group, S, Version))    \
  E(GroupPaintText, false, (TEmberGroup * Group, TCanvas * ACanvas), (this, Group, ACanvas))                      \
  E(GroupSaveToStream, false, (TEmberGroup * Group, TStream * S, Integer Version), (this, Group, S, Version))     \
  E(GroupSelectionChanged, false, (TEmberGroup * Group), (this, Group))                                           \
  E(GroupSelectionChanging, false, (TEmberGroup * Group, bool& Allow), (this, Group, Allow))                      \
  E(GroupSetCaption, false, (TEmberGroup * Group, WideString Caption), (this, Group, Caption))                    \
  E(GroupSetImageIndex, false, (TEmberGroup * Group, TEmberImageKind ImageKind, Integer ImageIndex),              \
    (this, Group, ImageKind, ImageIndex))                                                                         \
  E(GroupSetDetail, false, (TEmberGroup * Group, Integer Line, Integer Detail), (this, Group, Line, Detail))      \
  E(GroupStructureChange, false, (), (this))                                                                      \
  E(GroupVisibilityChanged, true, (TEmberGroup * Group), (this, Group))                                           \
  E(GroupVisibilityChanging, true, (TEmberGroup * Group, bool& Allow), (this, Group, Allow))                      \
  E(HeaderDblClick, false, (TCommonMouseButton MouseButton, TPoint MousePos, TShiftState ShiftState),             \
    (this, MouseButton, MousePos, ShiftState))                                                                    \
  E(HintCustomInfo, false, (TEmberCollectionItem * TargetObj, TEmberHintInfo * Info), (this, TargetObj, Info))    \
  E(HintCustomDraw, false, (TEmberCollectionItem * TargetObj, const TEmberHintInfo* Info), (this, TargetObj, Info)) \
  E(HintPopup, false,                                                                                             \
    (TEmberCollectionItem * TargetObj, TEmberHintType HintType, TPoint MousePos, WideString & AText,              \
     Integer & HideTimeout, Integer & ReShowTimeout, bool& Allow),                                                \
    (this, TargetObj, HintType, MousePos, AText, HideTimeout, ReShowTimeout, Allow))                              \
  E(InsertMarkPosition, false, (TEmberInsertMarkerDir & InsertMark, Byte & InsertMarkDropRange),                  \
    (this, InsertMark, InsertMarkDropRange))                                                                      \
  E(ItemCheckChange, true, (TEmberItem * Item), (this, Item))                                                     \
  E(ItemCheckChanging, true, (TEmberItem * Item, bool& Allow), (this, Item, Allow))                               \
  E(ItemClick, false, (TEmberItem * Item, TCommonKeyStates KeyStates, TEmberItemHitTestInfoSet HitInfo),          \
    (this, Item, KeyStates, HitInfo))                                                                             \
  E(ItemContextMenu, false, (TEmberHitInfoItem HitInfo, TPoint WindowPoint, TPopupMenu * &Menu, bool& Handled),   \
    (this, HitInfo, WindowPoint, Menu, Handled))                                                                  \
  C(ItemCreateEditor, (TEmberItem * Item, ComPtr<IEmberCellEditor> & Editor))                                     \
  E(ItemCustomView, false, (TEmberItem * Item, TEmberListStyle ViewStyle, const TEmberViewItemClass*& View),      \
    (this, Item, ViewStyle, View))                                                                                \
  E(ItemDblClick, false, (TCommonMouseButton Button, TPoint MousePos, TEmberHitInfoItem HitInfo),                 \
    (this, Button, MousePos, HitInfo))                                                                            \
  E(ItemEditAccepted, false, (TEmberItem * Item), (this, Item))                                                   \
  E(ItemEditBegin, false, (TEmberItem * Item, Integer & Column, bool& Allow), (this, Item, Column, Allow))        \
  E(ItemEdited, false, (TEmberItem * Item, Variant & NewValue, bool& Accept), (this, Item, NewValue, Accept))     \
  E(ItemEditEnd, false, (TEmberItem * Item), (this, Item))                                                        \
  E(ItemGetEditMenu, false, (TEmberBaseEditor * Editor, TPopupMenu * &Menu), (this, Editor, Menu))                \
  E(ItemEnableChange, false, (TEmberItem * Item), (this, Item))                                                   \
  E(ItemEnableChanging, false, (TEmberItem * Item, bool& Allow), (this, Item, Allow))                             \
  E(ItemFreeing, false, (TEmberItem * Item), (this, Item))                                                        \
  C(ItemFocusChanged, (TEmberItem * Item))                                                                        \
  E(ItemFocusChanging, false, (TEmberItem * Item, bool& Allow), (this, Item, Allow))                              \
  E(ItemGetCaption, false, (TEmberItem * Item, Integer Column, WideString & Caption), (this, Item, Column, Caption)) \
  E(ItemGetEditCaption, false, (TEmberItem * Item, TEmberColumn * Column, WideString & Caption),                  \
    (this, Item, Column, Caption))                                                                                \
  E(ItemGetGroupKey, false, (TEmberItem * Item, Integer FocusedColumn, Cardinal & GroupKey),                      \
    (this, Item, FocusedColumn, GroupKey))                                                                        \
  E(ItemGetImageIndex, false,                                                                                     \
    (TEmberItem * Item, Integer Column, TEmberImageKind ImageKind, TCommonImageIndexInteger & ImageIndex),        \
    (this, Item, Column, ImageKind, ImageIndex))                                                                  \
  E(ItemGetImageList, false, (TEmberItem * Item, Integer Column, TCustomImageList * &ImageList),                  \
    (this, Item, Column, ImageList))                                                                              \
  E(ItemGetStateImageList, false, (TEmberItem * Item, Integer Column, TCustomImageList * &ImageList),             \
    (this, Item, Column, ImageList))                                                                              \
  E(ItemGetTileDetail, false, (TEmberItem * Item, Integer Line, Integer & Detail), (this, Item, Line, Detail))    \
  E(ItemGetTileDetailCount, false, (TEmberItem * Item, Integer & Count), (this, Item, Count))                     \
  C(ItemHotTrack, (TEmberItem * Item, TEmberHotTrackState State, TPoint MousePos))                                \
  E(ItemImageDraw, false,                                                                                         \
    (TEmberItem * Item, TEmberColumn * Column, TCanvas * ACanvas, const TEmberRectArrayObject& RectArray,         \
     TEmberAlphaBlender* AlphaBlender),                                                                           \
    (this, Item, Column, ACanvas, RectArray, AlphaBlender))                                                       \
  E(ItemImageGetSize, false, (TEmberItem * Item, TEmberColumn * Column, Integer & ImageWidth, Integer & ImageHeight), \
    (this, Item, Column, ImageWidth, ImageHeight))                                                                \
  E(ItemImageDrawIsCustom, false, (TEmberItem * Item, TEmberColumn * Column, bool& IsCustom),                     \
    (this, Item, Column, IsCustom))                                                                               \
  E(ItemInitialize, false, (TEmberItem * Item), (this, Item))                                                     \
  E(ItemLoadFromStream, false, (TEmberItem * Item, TStream * S, Integer Version), (this, Item, S, Version))       \
  E(ItemMouseDown, false, (TEmberItem * Item, TCommonMouseButton Button, bool& DoDefault),                        \
    (this, Item, Button, DoDefault))                                                                              \
  E(ItemMouseUp, false, (TEmberItem * Item, TCommonMouseButton Button, bool& DoDefault),                          \
    (this, Item, Button, DoDefault))                                                                              \
  E(ItemPaintText, false, (TEmberItem * Item, Integer Position, TCanvas * ACanvas), (this, Item, Position, ACanvas)) \
  E(ItemSaveToStream, false, (TEmberItem * Item, TStream * S, Integer Version), (this, Item, S, Version))         \
  E(ItemSelectionChanged, true, (TEmberItem * Item), (this, Item))                                                \
  E(ItemSelectionChanging, true, (TEmberItem * Item, bool& Allow), (this, Item, Allow))                           \
  C(ItemSelectionsChanged, ())                                                                                    \
  C(ItemSetCaption, (TEmberItem * Item, Integer Column, WideString Caption))                                      \
  E(ItemSetGroupKey, false, (TEmberItem * Item, Integer Column, Cardinal Key), (this, Item, Column, Key))         \
  E(ItemSetImageIndex, false, (TEmberItem * Item, Integer Column, TEmberImageKind ImageKind, Integer ImageIndex), \
    (this, Item, Column, ImageKind, ImageIndex))                                                                  \
  E(ItemSetTileDetail, false, (TEmberItem * Item, Integer Line, Integer Detail), (this, Item, Line, Detail))      \
  E(ItemStructureChange, false, (), (this))                                                                       \
  E(ItemThumbnailDraw, false,                                                                                     \
    (TEmberItem * Item, TCanvas * ACanvas, TRect ARect, TEmberAlphaBlender * AlphaBlender, bool& DoDefault),      \
    (this, Item, ACanvas, ARect, AlphaBlender, DoDefault))                                                        \
  E(ItemVisibilityChanged, true, (TEmberItem * Item), (this, Item))                                               \
  E(ItemVisibilityChanging, true, (TEmberItem * Item, bool& Allow), (this, Item, Allow))                          \
  E(MouseGesture, false,                                                                                          \
    (TCommonMouseButton Button, TCommonKeyStates KeyState, WideString Gesture, bool& DoDefaultMouseAction),       \
    (this, Button, KeyState, Gesture, DoDefaultMouseAction))                                                      \
  C(KeyAction, (Word & CharCode, TShiftState & Shift, bool& DoDefault))                                           \
  E(MouseActivate, false,                                                                                         \
    (HWND TopLevelWindow, TEmberNonClientHitTest HitTest, Word MouseMsg, TEmberMouseActivate & Activate,          \
     bool& DoDefault),                                                                                            \
    (this, TopLevelWindow, HitTest, MouseMsg, Activate, DoDefault))                                               \
  E(OLEDragEnd, false,                                                                                            \
    (IDataObject * ADataObject, TCommonOLEDragResult DragResult, TCommonDropEffects ResultEffect,                 \
     TCommonKeyStates KeyStates),                                                                                 \
    (this, ADataObject, DragResult, ResultEffect, KeyStates))                                                     \
  E(OLEDragStart, false, (IDataObject * ADataObject, TCommonDropEffects & AvailableEffects, bool& AllowDrag),     \
    (this, ADataObject, AvailableEffects, AllowDrag))                                                             \
  E(OLEQueryContineDrag, false,                                                                                   \
    (bool EscapeKeyPressed, TCommonKeyStates KeyStates, TEmberQueryDragResult & QueryResult),                     \
    (this, EscapeKeyPressed, KeyStates, QueryResult))                                                             \
  E(OLEGiveFeedback, false, (TCommonDropEffects Effect, bool& UseDefaultCursors), (this, Effect, UseDefaultCursors)) \
  E(OLEDragEnter, false,                                                                                          \
    (IDataObject * DataObject, TCommonKeyStates KeyState, TPoint WindowPt, TCommonDropEffects AvailableEffects,    \
     TCommonDropEffect & DesiredDropEffect),                                                                      \
    (this, DataObject, KeyState, WindowPt, AvailableEffects, DesiredDropEffect))                                  \
  E(OLEDragOver, false,                                                                                           \
    (TCommonKeyStates KeyState, TPoint WindowPt, TCommonDropEffects AvailableEffects,                             \
     TCommonDropEffect & DesiredDropEffect),                                                                      \
    (this, KeyState, WindowPt, AvailableEffects, DesiredDropEffect))                                              \
  E(OLEDragLeave, false, (), (this))                                                                              \
  E(OLEDragDrop, false,                                                                                           \
    (IDataObject * DataObject, TCommonKeyStates KeyState, TPoint WindowPt, TCommonDropEffects AvailableEffects,    \
     TCommonDropEffect & DesiredDropEffect, bool& Handled),                                                       \
    (this, DataObject, KeyState, WindowPt, AvailableEffects, DesiredDropEffect, Handled))                         \
  E(OLEGetCustomFormats, false, (Integer dwDirection, common::TFormatEtcArray & Formats),                         \
    (this, dwDirection, Formats))                                                                                 \
  C(OLEGetData, (const FORMATETC& FormatEtcIn, STGMEDIUM& Medium, bool& Handled))                                 \
  E(OLEGetDataObject, false, (ComPtr<IDataObject> & DataObject), (this, DataObject))                              \
  E(PaintBkGnd, false, (TCanvas * ACanvas, TRect AWindowRect, TEmberAlphaBlender * AlphaBlender, bool& DoDefault), \
    (this, ACanvas, AWindowRect, AlphaBlender, DoDefault))                                                        \
  E(PaintHeaderBkGnd, false, (TCanvas * ACanvas, TRect ARect, bool& Handled), (this, ACanvas, ARect, Handled))    \
  C(OLEQueryData, (const FORMATETC& FormatEtcIn, bool& FormatAvailable, bool& Handled))                                \
  E(Scroll, false, (Integer DeltaX, Integer DeltaY), (this, DeltaX, DeltaY))                                      \
  E(ScrollEnd, false, (TEmberScrollbarDir ScrollDir), (this, ScrollDir))                                          \
  E(SortBegin, false, (), (this))                                                                                 \
  E(SortEnd, false, (), (this))                                                                                   \
  E(ThreadCallBack, false, (TWMThreadRequest Msg), (this, Msg))                                                   \
  E(ViewChange, false, (), (this))
