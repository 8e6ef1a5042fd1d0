// A window of the program's layer that drags a file list out with DoDragDrop once the left button
// is held and moved. Prints how the drag ended. Used by run.sh under a virtual display.

#include <cstdio>
#include <cstdlib>

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
  for (int i = 1; i < argc; ++i) gFiles.push_back(CodePageToString(argv[i], 65001));
  InitializeCommonDataObject();
  HWND h = CreateWindowEx(0, u"DragOutSource", u"drag-out source", WS_VISIBLE, 0, 0, 300, 300, nullptr,
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
  std::printf("READY\n");
  std::fflush(stdout);
  MSG msg;
  while (GetMessage(&msg, nullptr, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  if (IsWindow(h)) DestroyWindow(h);
  FinalizeCommonDataObject();
  FinishLayer();
  return 0;
}
