// A window of the program's layer. With file names it drags them out with DoDragDrop once the left
// button is held and moved, and prints how the drag ended; with --receive it registers a drop
// target and prints the names of the files dropped on it. Used by run.sh under a virtual display.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/CommonDataObject.h"
#include "platform/ole/DragDrop.h"
#include "platform/rtl/Strings.h"

using namespace common;

namespace {

class Source final : public IDropSource {
public:
  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (!(keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) return DRAGDROP_S_DROP;
    return escape ? DRAGDROP_S_CANCEL : S_OK;
  }
  HRESULT GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// Prints the files of a drop, as the main window reads them.
class Target final : public IDropTarget {
public:
  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT DragEnter(IDataObject* data, DWORD, TPoint, DWORD* effect) override {
    FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FAccept = data->QueryGetData(&f) == S_OK;
    *effect = FAccept ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT DragOver(DWORD, TPoint, DWORD* effect) override {
    *effect = FAccept ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT DragLeave() override { return S_OK; }
  HRESULT Drop(IDataObject* data, DWORD, TPoint, DWORD* effect) override {
    Owned<TCommonHDrop> drop(TCommonHDrop::New());
    Owned<TStringList> names(TStringList::New());
    if (drop->LoadFromDataObject(data)) drop->FileNamesW(names.get());
    for (Integer i = 0; i < names->Count(); ++i) std::printf("DROPPED %s\n", StringToCodePage(names->Get(i), 65001).c_str());
    std::fflush(stdout);
    *effect = DROPEFFECT_COPY;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
    return S_OK;
  }

private:
  bool FAccept{false};
};

std::vector<String> gFiles;
TPoint gDown;
bool gPressed = false;

void Drag() {
  ComPtr<IDataObject> obj(TCommonDataObject::New(true)->AsDataObject());
  Owned<TStringList> list(TStringList::New());
  for (const String& f : gFiles) list->Add(f);
  Owned<TCommonHDrop> drop(TCommonHDrop::New());
  drop->AssignFilesW(list.get());
  drop->SaveToDataObject(obj.Get());
  Source source;
  DWORD effect = 0;
  HRESULT hr = DoDragDrop(obj.Get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect);
  std::printf("%s effect=%u\n", hr == DRAGDROP_S_DROP ? "DROP" : hr == DRAGDROP_S_CANCEL ? "CANCEL" : "ERROR",
              static_cast<unsigned>(effect));
  std::fflush(stdout);
  // The receiver reads the data after the drop: the program goes on serving it for a while.
  SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
}

}  // namespace

int main(int argc, char** argv) {
  StartLayer(argc, argv);
  bool receive = argc > 1 && std::string(argv[1]) == "--receive";
  for (int i = receive ? 2 : 1; i < argc; ++i) gFiles.push_back(CodePageToString(argv[i], 65001));
  InitializeCommonDataObject();
  HWND h = CreateWindowEx(0, u"DragOutSource", u"layer peer", WS_VISIBLE, 0, 0, 300, 300, nullptr,
                          [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
                            if (m == WM_LBUTTONDOWN) {
                              gPressed = true;
                              gDown = TPoint{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
                            } else if (m == WM_LBUTTONUP) {
                              gPressed = false;
                            } else if (m == WM_MOUSEMOVE && gPressed && (w & MK_LBUTTON) &&
                                       std::abs(GET_X_LPARAM(l) - gDown.X) + std::abs(GET_Y_LPARAM(l) - gDown.Y) > 8) {
                              gPressed = false;
                              Drag();
                              return 0;
                            } else if (m == WM_DESTROY) {
                              PostQuitMessage(0);
                            }
                            return DefWindowProc(h, m, w, l);
                          });
  Target target;
  if (receive) RegisterDragDrop(h, &target);
  MSG msg;
  while (GetMessage(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  if (receive) RevokeDragDrop(h);
  if (IsWindow(h)) DestroyWindow(h);
  FinalizeCommonDataObject();
  FinishLayer();
  return 0;
}
