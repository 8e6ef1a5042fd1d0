#pragma once
// The thumbnail thread of the add-photos dialog: checks each file of a batch and makes its
// thumbnail, reporting to the dialog in file order. The decoding is spread over a fixed set of
// workers, one per processor, so a batch takes the time of its files divided among the cores.

#include <vector>

#include "app/uItems.h"
#include "platform/rtl/Threads.h"
#include "platform/user/User.h"

namespace app {

// WM_APP + 982: wParam the file's TImageItem; lParam the new TDIB (an owned payload the receiver
// takes), or 0 when the file was rejected.
constexpr UINT WM_THUMBREADY = 0x8000 + 982;
// WM_APP + 983: the thread has reported every file (or was stopped) and ends.
constexpr UINT WM_THUMBSDONE = 0x8000 + 983;

struct TItemData {
  String FileName;
  TImageItem* Item{nullptr};  // the dialog's list item of the file, not owned
};
using TItemList = std::vector<TItemData>;

class TThumbThread : public TThread {
  PF_CLASS(TThumbThread)
public:
  // How many files may be decoded at once; 0 (the default) is one per processor. Benchmarks and
  // tests set it before making a thread.
  static unsigned Workers;

protected:
  // Owns List from now on; the thread writes each file's full size into its item before the
  // item's WM_THUMBREADY is posted, and the dialog reads it only after that.
  void Create(HWND MsgWnd, TItemList List);
  void Execute() override;

private:
  HWND FMsgWnd{nullptr};
  TItemList FList;
};

}  // namespace app
