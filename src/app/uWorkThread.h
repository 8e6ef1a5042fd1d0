#pragma once
// The upload thread: sends one order to the lab. It opens a transaction, turns each photo into a
// print-ready JPEG and posts it with retries, posts the customer text with an order summary, and
// commits or rolls back. It reports to the order dialog by messages only and touches no window.

#include <functional>
#include <initializer_list>
#include <vector>

#include "app/uPrintGeometry.h"
#include "platform/gdiplus/Photo.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Threads.h"
#include "platform/user/User.h"

namespace order {
class TUploader;
}

namespace app {

// Messages to the order dialog (WM_APP + 830 ...).
constexpr UINT WM_UPLOADLOG = 0x8000 + 830;       // lParam: a boxed line for the log
constexpr UINT WM_UPLOADSENT = 0x8000 + 831;      // one photo was accepted
constexpr UINT WM_UPLOADSKIPPED = 0x8000 + 832;   // one photo was given up
constexpr UINT WM_UPLOADPROGRESS = 0x8000 + 833;  // wParam: photos processed so far
constexpr UINT WM_UPLOADDONE = 0x8000 + 834;      // lParam: the boxed, padded order number
constexpr UINT WM_UPLOADFAILED = 0x8000 + 835;    // wParam: 1 failed, 0 cancelled

using TInfoList = std::vector<TInfo>;

// Where the thread's messages go; called on the thread. The order dialog's sink posts them to
// its window, each payload travelling with its message.
using TUploadMessageSink = std::function<void(UINT Msg, WPARAM W, Owned<TObject> Payload)>;

// The quarter turn of a rotation in degrees: the angle modulo 360 (the remainder keeps the
// angle's sign), 90 or -270 clockwise, 180 or -180 half, 270 or -90 counter-clockwise, any other
// value none.
gdiplus::RotateFlipType RotationOf(Integer RotateAngle);

class TWorkThread : public TThread {
  PF_CLASS(TWorkThread)
public:
  // Writes the print-ready JPEG of one photo into Stream; false when the photo cannot be made.
  static bool PreparePhoto(const TInfo& Info, TMemoryStream* Stream);

  // The lab's rule: a request is tried this often, this far apart.
  static constexpr int Attempts = 10;
  static constexpr Int64 RetryDelayMs = 3000;

protected:
  // List is the dialog's (not owned); the thread sets Uploaded in the records of accepted photos,
  // which the dialog reads only after WM_UPLOADDONE. The messages are posted to MsgWnd.
  void Create(HWND MsgWnd, TInfoList* List, const String& Text);
  // The same with the messages handed to Sink.
  void Create(TUploadMessageSink Sink, TInfoList* List, const String& Text);
  void Execute() override;

  void Log(const String& Text);
  void LogFmt(StringView Fmt, std::initializer_list<TVarRec> Args);

private:
  void Post(UINT Msg, WPARAM W = 0, Owned<TObject> Payload = nullptr);
  bool Start(order::TUploader& Uploader);
  void SendPhotos(order::TUploader& Uploader, TMemoryStream& Stream);
  void SendPhoto(order::TUploader& Uploader, TMemoryStream& Stream, size_t Index);
  void SendText(order::TUploader& Uploader);
  void Finish(order::TUploader& Uploader);
  void Commit(order::TUploader& Uploader);
  // After a rollback no photo of the order is at the lab.
  void ForgetUploaded();
  String Summary() const;

  HWND FMsgWnd{nullptr};
  TUploadMessageSink FSink;  // instead of the window, when one is given
  TInfoList* FList{nullptr};
  String FText;
  // The price list's print sizes by name, read where the thread is made: the lists belong to the
  // GUI thread, which this thread never reads behind.
  std::vector<String> FSizeNames;
  // Working state of one run.
  std::vector<Integer> FPhotoIndexes;  // per paper and size: paper × sizes + size
  std::vector<Integer> FPrintCounts;   // per size
  double FTotal{0};
  Integer FAccepted{0};
  bool FTextSent{false};
  // A photo was given up after an attempt without a clear answer: the lab may hold it.
  bool FPhotoMayBeStored{false};
};

}  // namespace app
