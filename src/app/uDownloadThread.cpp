#include "app/uDownloadThread.h"

#include <limits>

#include "order/uLists.h"
#include "order/uUploader.h"
#include "order/uUtils.h"
#include "platform/inet/Http.h"
#include "platform/rtl/Strings.h"

namespace app {

using namespace order;

void TDownloadThread::Create(HWND MsgWnd) {
  FMsgWnd = MsgWnd;
  TThread::Create(false);
}

void TDownloadThread::PostError(const String& Text) {
  // A dialog that is already gone makes the post fail; the queue then frees the box.
  PostMessage(FMsgWnd, WM_PRICELISTERROR, 0, BoxString(Text));
}

void TDownloadThread::Execute() {
  Owned<TUploader> uploader(TUploader::New());
  // Terminating the thread (the dialog is closing) aborts the transfer instead of waiting for it.
  uploader->SetCancelFlag(&TerminatedFlag());
  Owned<TMemoryStream> stream(TMemoryStream::New());
  if (!uploader->Initialize()) {
    PostError(String());
    return;
  }
  String response;
  if (!uploader->DownloadURL(PriceListURL(), stream.get(), response)) {
    PostError(response);
    return;
  }
  if (Terminated()) return;
  stream->SetPosition(0);
  Owned<TSettings> settings(TSettings::New());
  settings->LoadFromStream(stream.get());
  if (settings->GetSizeCount() < 1) {
    PostError(NoPricesText);
    return;
  }
  PostMessage(FMsgWnd, WM_PRICELISTREADY, 0, Owned<TObject>(settings.release()));
}

namespace {
// An optional sign and decimal digits that fit an Integer; anything else is not a number.
Integer DecimalOrZero(const String& Text) {
  String s = Trim(Text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  if (i == s.size()) return 0;
  Int64 value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < u'0' || s[i] > u'9') return 0;
    value = value * 10 + (s[i] - u'0');
    if (value > Int64{1} << 31) return 0;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<Integer>::max() || value < std::numeric_limits<Integer>::min()) return 0;
  return static_cast<Integer>(value);
}
}  // namespace

Int64 VersionNumber(const String& Version) {
  size_t dot = Version.find(u'.');
  if (dot == String::npos) return 0;
  return Int64{DecimalOrZero(Version.substr(0, dot))} * 100 + DecimalOrZero(Version.substr(dot + 1));
}

bool IsCurrentVersion(const String& LastVersion) {
  return VersionNumber(LastVersion) <= VersionNumber(ProgramVersion);
}

bool ApplyPriceList(const TSettings& Settings) {
  if (!IsCurrentVersion(Settings.GetLastVersion())) {
    UpdateURL = Trim(Settings.GetDownloadURL());
    return false;
  }
  UploadScriptURL = Settings.GetUploadScript();
  MinPrice = Settings.GetMinPrice();
  // Every city and size index below the counts, skipping those without a single entry (they would
  // be dropped as nameless): a count of two thousand million costs nothing.
  for (Integer i : Settings.CityIndexes()) Cities()->Add(Settings.GetCity(i).release());
  for (Integer i : Settings.SizeIndexes()) PhotoSizes()->Add(Settings.GetPhotoSize(i).release());
  return true;
}

}  // namespace app
