// Window classes: the registry RegisterClass fills, and the layer's own classes of the standard
// controls, which present a toolkit widget instead of a surface.

#include <map>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"
#include "platform/user/Layer_p.h"

namespace pf {

namespace {

std::map<String, std::shared_ptr<TWindowClass>> gClasses;  // by upper-case name
std::shared_ptr<TWindowClass> gPlain;
ATOM gNextAtom = 0xC000;  // where the platform's registered atoms start

std::shared_ptr<TWindowClass> Add(const WNDCLASS& wc, bool system, TWindowKind kind) {
  auto cls = std::make_shared<TWindowClass>();
  cls->Name = wc.lpszClassName;
  cls->Atom = gNextAtom++;
  cls->Style = wc.style;
  cls->Proc = wc.lpfnWndProc;
  cls->Cursor = wc.hCursor;
  cls->Background = wc.hbrBackground;
  cls->System = system;
  cls->Kind = kind;
  gClasses[UpperCase(wc.lpszClassName)] = cls;
  return cls;
}

}  // namespace

namespace layer {

std::shared_ptr<TWindowClass> FindClass(StringView name) {
  auto it = gClasses.find(UpperCase(name));
  return it == gClasses.end() ? nullptr : it->second;
}

std::shared_ptr<TWindowClass> PlainClass() {
  if (!gPlain) {
    gPlain = std::make_shared<TWindowClass>();
    gPlain->Cursor = LoadCursor(IDC_ARROW);
  }
  return gPlain;
}

TWindowKind KindOf(const TWindowClass& cls, DWORD style) {
  switch (cls.Kind) {
    case TWindowKind::Edit:
    case TWindowKind::Memo:
      return (style & ES_MULTILINE) ? TWindowKind::Memo : TWindowKind::Edit;
    case TWindowKind::Button:
    case TWindowKind::CheckBox:
      return (style & 0xF) == BS_AUTOCHECKBOX ? TWindowKind::CheckBox : TWindowKind::Button;
    default:
      return cls.Kind;
  }
}

void RegisterSystemClasses() {
  // The standard controls' class styles and cursors are the platform's.
  HCURSOR arrow = LoadCursor(IDC_ARROW);
  Add(WNDCLASS{CS_DBLCLKS | CS_PARENTDC, {}, LoadCursor(IDC_IBEAM), nullptr, u"EDIT"}, true, TWindowKind::Edit);
  Add(WNDCLASS{CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, {}, arrow, nullptr, u"BUTTON"}, true,
      TWindowKind::Button);
  Add(WNDCLASS{CS_DBLCLKS | CS_PARENTDC, {}, arrow, nullptr, u"STATIC"}, true, TWindowKind::Static);
  Add(WNDCLASS{CS_DBLCLKS | CS_SAVEBITS, {}, arrow, GetSysColorBrush(COLOR_BTNFACE), u"#32770"}, true,
      TWindowKind::Custom);
}

void DropClasses() {
  gClasses.clear();
  gPlain.reset();
}

}  // namespace layer

ATOM RegisterClass(const WNDCLASS& wc) {
  Assert(IsGuiThread(), u"RegisterClass called outside the GUI thread");
  if (wc.lpszClassName.empty() || layer::FindClass(wc.lpszClassName)) return 0;
  return Add(wc, false, TWindowKind::Custom)->Atom;
}

bool UnregisterClass(StringView className) {
  auto it = gClasses.find(UpperCase(className));
  if (it == gClasses.end() || it->second->System || it->second->LiveWindows > 0) return false;
  gClasses.erase(it);
  return true;
}

bool GetClassInfo(StringView className, WNDCLASS* wc) {
  std::shared_ptr<TWindowClass> cls = layer::FindClass(className);
  if (!cls || !wc) return false;
  *wc = WNDCLASS{cls->Style, cls->Proc, cls->Cursor, cls->Background, cls->Name};
  return true;
}

String GetClassName(HWND h) {
  TWindowObj* w = layer::Find(h);
  return w ? w->ClassName : String();
}

}  // namespace pf
