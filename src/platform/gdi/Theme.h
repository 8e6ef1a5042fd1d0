#pragma once
// Visual themes: the theme library's calls, drawn with the toolkit's style into the DC's own
// pixels (its origin and clip apply, as for any GDI call). Whether themes are in use is one switch
// of the layer; while it is off OpenThemeData answers no handle and the program paints its classic
// look, as the platform does with the classic theme. Flipping the switch sends WM_THEMECHANGED to
// every window (pf::testing::SetThemesActive in the window layer).

#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace pf {

struct HWND__;
using HWND = HWND__*;
struct HTHEME__;
using HTHEME = HTHEME__*;

// Answers of the theme calls (HRESULT values of the platform).
constexpr HRESULT THEME_S_OK = 0;
constexpr HRESULT THEME_E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT THEME_E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT THEME_E_NOTFOUND = static_cast<HRESULT>(0x80070490u);

// ---- Parts and states of the classes the program draws ----
// "button"
constexpr int BP_PUSHBUTTON = 1;
constexpr int BP_RADIOBUTTON = 2;
constexpr int BP_CHECKBOX = 3;
constexpr int PBS_NORMAL = 1;
constexpr int PBS_HOT = 2;
constexpr int PBS_PRESSED = 3;
constexpr int PBS_DISABLED = 4;
constexpr int PBS_DEFAULTED = 5;
// Check boxes and radio buttons: unchecked normal, hot, pressed, disabled (1 to 4), then the same
// checked (5 to 8).
constexpr int CBS_UNCHECKEDNORMAL = 1;
constexpr int CBS_UNCHECKEDHOT = 2;
constexpr int CBS_UNCHECKEDPRESSED = 3;
constexpr int CBS_UNCHECKEDDISABLED = 4;
constexpr int CBS_CHECKEDNORMAL = 5;
constexpr int CBS_CHECKEDHOT = 6;
constexpr int CBS_CHECKEDPRESSED = 7;
constexpr int CBS_CHECKEDDISABLED = 8;
constexpr int RBS_UNCHECKEDNORMAL = 1;
constexpr int RBS_CHECKEDNORMAL = 5;
// "header"
constexpr int HP_HEADERITEM = 1;
constexpr int HIS_NORMAL = 1;
constexpr int HIS_HOT = 2;
constexpr int HIS_PRESSED = 3;
constexpr int HIS_SORTEDNORMAL = 4;
constexpr int HIS_SORTEDHOT = 5;
constexpr int HIS_SORTEDPRESSED = 6;
// "listview": an item (states normal, hot, selected, disabled, selected without focus, hot and
// selected) and the control's border, part 5, whose content rectangle is the client area.
constexpr int LVP_LISTITEM = 1;
constexpr int LVP_BORDER = 5;
constexpr int LISS_NORMAL = 1;
constexpr int LISS_HOT = 2;
constexpr int LISS_SELECTED = 3;
constexpr int LISS_DISABLED = 4;
constexpr int LISS_SELECTEDNOTFOCUS = 5;
constexpr int LISS_HOTSELECTED = 6;
// "treeview": the expand button.
constexpr int TVP_GLYPH = 2;
constexpr int GLPS_CLOSED = 1;
constexpr int GLPS_OPENED = 2;
// "combobox": the drop-down button (normal, hot, pressed, disabled).
constexpr int CP_DROPDOWNBUTTON = 1;
constexpr int CBXS_NORMAL = 1;
constexpr int CBXS_HOT = 2;
constexpr int CBXS_PRESSED = 3;
constexpr int CBXS_DISABLED = 4;
// "explorerbar": a group's background.
constexpr int EBP_NORMALGROUPBACKGROUND = 5;

// GetThemeColor's properties.
constexpr int TMT_BORDERCOLOR = 3801;
constexpr int TMT_FILLCOLOR = 3802;
constexpr int TMT_TEXTCOLOR = 3803;

enum THEMESIZE { TS_MIN = 0, TS_TRUE = 1, TS_DRAW = 2 };

// The application uses themes and the desktop has them on: both follow the layer's one switch.
bool IsAppThemed();
bool IsThemeActive();

// A handle for the first class of a semicolon-separated list that the layer knows ("button",
// "listview", "header", "treeview", "explorerbar", "combobox", "edit", "rebar", "window",
// "taskband", "taskbar", "scrollbar", "progress"; case does not matter); nil when themes are off
// or no class is known. Every handle is closed once with CloseThemeData.
HTHEME OpenThemeData(HWND wnd, StringView classList);
HRESULT CloseThemeData(HTHEME theme);

// Draws the part in `rect` (logical coordinates of the DC), limited to `clip` when given.
HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const TRect* rect, const TRect* clip);
// The part's inside, where its content goes.
HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const TRect* bounds,
                                      TRect* content);
HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, const TRect* rect, THEMESIZE size,
                         TSize* out);
HRESULT GetThemeColor(HTHEME theme, int part, int state, int propId, COLORREF* color);

namespace gdi {
// The switch itself, without telling the windows (the window layer's SetThemesActive does both).
void SetThemeSwitch(bool active);
}  // namespace gdi

namespace testing {
// The classes of the handles opened since the last clear, in order; the handles open now.
const std::vector<String>& OpenedThemeClasses();
int ClosedThemeCount();
int LiveThemeCount();
void ClearThemeLog();
}  // namespace testing

}  // namespace pf
