// Thumbnails of a batch of photos the way the customer adds them: the add-photos dialog with its
// thumbnail thread, from the moment the dialog gets the files to the moment the check is done.
//
//     thumb_tool LIST    LIST holds one photo file name a line
//
// Prints "<seconds> <thumbnails> <filtered>" on success.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/uDlgAdd.h"
#include "app/uProgram.h"
#include "order/uLists.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Strings.h"

using namespace pf;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: thumb_tool LIST\n");
    return 2;
  }
  TProgramSession session(argc, argv, [] { app::RegisterProgramUnits(); });
  Application->Initialize();
  auto* size = order::TPhotoSize::New();
  size->Name = u"10x15";
  size->Width = 1800;
  size->Height = 1200;
  size->Prices[order::ptGlossy] = 12.5;
  order::PhotoSizes()->Add(size);

  Owned<TStringList> files(TStringList::New());
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);)
    if (!line.empty()) files->Add(Utf8ToString(line));

  Owned<app::TDlgAdd> dialog(app::TDlgAdd::New(Application));
  // The dialog closes itself the moment its check is done.
  HWND watcher = CreateWindowEx(0, u"ThumbBench", u"", 0, 0, 0, 1, 1, nullptr);
  SetTimer(watcher, 1, 1, [&](HWND, UINT, UINT_PTR, DWORD) {
    if (!dialog->Checking()) dialog->SetModalResult(mrOk);
  });
  const auto start = std::chrono::steady_clock::now();
  const bool ok = dialog->Execute(files.get());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DestroyWindow(watcher);
  std::printf("%.3f %d %d\n", seconds, static_cast<int>(dialog->Added()), static_cast<int>(dialog->Ignored()));
  return ok ? 0 : 1;
}
