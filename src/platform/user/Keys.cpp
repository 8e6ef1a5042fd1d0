// Key tables and key state: the toolkit's keys as virtual-key codes and back, and the state
// GetKeyState (as of the message being handled) and GetAsyncKeyState (right now) answer.

#include <QKeyEvent>

#include <array>
#include <cstring>

#include "platform/user/Layer_p.h"

namespace pf {

namespace {

std::array<uint8_t, 256> gKeys{};   // as of the message being handled
std::array<uint8_t, 256> gAsync{};  // right now

void SetKey(std::array<uint8_t, 256>& table, int vk, bool down) {
  if (vk <= 0 || vk > 255) return;
  uint8_t& k = table[static_cast<size_t>(vk)];
  if (down && !(k & 0x80)) k ^= 0x01;  // the toggle flips on each press
  k = down ? static_cast<uint8_t>(k | 0x80) : static_cast<uint8_t>(k & ~0x80);
}

// The sided keys also move the plain one, as the platform reports both.
void SetKeyBoth(std::array<uint8_t, 256>& table, int vk, bool down) {
  SetKey(table, vk, down);
  if (vk == VK_LSHIFT || vk == VK_RSHIFT) SetKey(table, VK_SHIFT, down);
  if (vk == VK_LCONTROL || vk == VK_RCONTROL) SetKey(table, VK_CONTROL, down);
  if (vk == VK_LMENU || vk == VK_RMENU) SetKey(table, VK_MENU, down);
}

}  // namespace

namespace layer {

void SetAsyncKey(int vk, bool down) { SetKey(gAsync, vk, down); }

void UpdateKeyStateAt(const MSG& m) {
  switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      SetKeyBoth(gKeys, static_cast<int>(m.wParam), true);
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      SetKeyBoth(gKeys, static_cast<int>(m.wParam), false);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: SetKey(gKeys, VK_LBUTTON, true); break;
    case WM_LBUTTONUP: SetKey(gKeys, VK_LBUTTON, false); break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: SetKey(gKeys, VK_RBUTTON, true); break;
    case WM_RBUTTONUP: SetKey(gKeys, VK_RBUTTON, false); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: SetKey(gKeys, VK_MBUTTON, true); break;
    case WM_MBUTTONUP: SetKey(gKeys, VK_MBUTTON, false); break;
    default: break;
  }
}

void ResetKeyTables() {
  gKeys.fill(0);
  gAsync.fill(0);
}

int VirtualKeyOf(int key, int scanCode) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Plus: case Qt::Key_Equal: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    default: break;
  }
  // Letters of another keyboard layout (Cyrillic, say) keep the key's Latin code, as virtual keys
  // name keys, not characters: read the physical key from the X keyboard code.
  static const char* const rows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static const int firsts[] = {24, 38, 52};  // X codes of Q, A and Z
  for (int r = 0; r < 3; ++r) {
    int i = scanCode - firsts[r];
    if (i >= 0 && i < static_cast<int>(strlen(rows[r]))) return rows[r][i];
  }
  return 0;
}

int KeypadVirtualKeyOf(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Slash: return VK_DIVIDE;
    case Qt::Key_Period:
    case Qt::Key_Comma: return VK_DECIMAL;
    default: return 0;
  }
}

int QtKeyOf(int vk) {
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return Qt::Key_0 + (vk - VK_NUMPAD0);
  switch (vk) {
    case VK_ADD: return Qt::Key_Plus;
    case VK_SUBTRACT: return Qt::Key_Minus;
    case VK_MULTIPLY: return Qt::Key_Asterisk;
    case VK_DIVIDE: return Qt::Key_Slash;
    case VK_DECIMAL: return Qt::Key_Period;
    default: break;
  }
  if (vk >= VK_F1 && vk <= VK_F1 + 23) return Qt::Key_F1 + (vk - VK_F1);
  for (int k : {Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Insert, Qt::Key_Delete,
                Qt::Key_Pause, Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down,
                Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Shift, Qt::Key_Control, Qt::Key_Alt, Qt::Key_Menu,
                Qt::Key_Space})
    if (VirtualKeyOf(k, 0) == vk) return k;
  return Qt::Key_unknown;
}

}  // namespace layer

int16_t GetKeyState(int vk) {
  if (vk <= 0 || vk > 255) return 0;
  uint8_t k = gKeys[static_cast<size_t>(vk)];
  return static_cast<int16_t>(((k & 0x80) ? 0xFF80 : 0) | (k & 0x01));
}

int16_t GetAsyncKeyState(int vk) {
  if (vk <= 0 || vk > 255) return 0;
  return static_cast<int16_t>((gAsync[static_cast<size_t>(vk)] & 0x80) ? 0x8000 : 0);
}

namespace testing {

void SetKeyDown(int vk, bool down) {
  SetKeyBoth(gKeys, vk, down);
  SetKeyBoth(gAsync, vk, down);
}

void ResetKeyState() { layer::ResetKeyTables(); }

}  // namespace testing

}  // namespace pf
