#pragma once
// The price-list download: the worker thread that fetches the lab's price list for the price-list
// dialog, the version test, and copying a received list into the order model.

#include "order/uSettings.h"
#include "platform/rtl/Threads.h"
#include "platform/user/User.h"

namespace app {

using namespace pf;

// Posted by TDownloadThread to the price-list dialog (WM_APP + 932, + 933).
// lParam: the loaded order::TSettings, an owned payload the receiver takes.
constexpr UINT WM_PRICELISTREADY = 0x8000 + 932;
// lParam: the error text, a boxed string (order::BoxString).
constexpr UINT WM_PRICELISTERROR = 0x8000 + 933;

inline const String NoPricesText = u"Не удалось получить данные о стоимости услуг";

// Fetches the price list once and reports to MsgWnd. The dialog that makes it owns it and joins
// it; terminating it aborts a transfer under way, so a closing dialog never waits for the network.
class TDownloadThread : public TThread {
  PF_CLASS(TDownloadThread)
protected:
  void Create(HWND MsgWnd);
  void Execute() override;

private:
  void PostError(const String& Text);
  HWND FMsgWnd{nullptr};
};

// The program's own version, compared with the price list's "LastVersion".
inline const String ProgramVersion = u"3.0";

// "major.minor" as major * 100 + minor, each part trimmed and read as a decimal integer (0 when it
// is not one); a text without "." is 0.
Int64 VersionNumber(const String& Version);
// The program is current unless LastVersion is a higher number than its own.
bool IsCurrentVersion(const String& LastVersion);

// Copies the received price list into the order model when the program is current: the upload
// address, the minimum order, the valid cities and print sizes. Otherwise only UpdateURL takes the
// installer's address and the model stays empty. Answers whether the program is current.
bool ApplyPriceList(const order::TSettings& Settings);

}  // namespace app
