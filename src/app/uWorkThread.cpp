#include "app/uWorkThread.h"

#include "order/uLists.h"
#include "order/uUploader.h"
#include "order/uUtils.h"
#include "platform/gdiplus/Print.h"
// TUploader's destructor is inline and needs the session type complete.
#include "platform/inet/Http.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/SysUtils.h"

namespace app {

using gdiplus::RotateFlipType;

namespace {

// The part of the turned W × H photo inside the crop frame, from the frame in thumbnail pixels.
TRect SourceRect(const TInfo& Info, Integer W, Integer H) {
  switch (Info.FrameType) {
    case ftMoveHorz:
      if (Info.ThumbWidth > 0) {
        const Integer left = MulDivRound(Info.FrameOffset, W, Info.ThumbWidth);
        return TRect{left, 0, left + MulDivRound(Info.FrameWidth, W, Info.ThumbWidth), H};
      }
      break;
    case ftMoveVert:
      if (Info.ThumbHeight > 0) {
        const Integer top = MulDivRound(Info.FrameOffset, H, Info.ThumbHeight);
        return TRect{0, top, W, top + MulDivRound(Info.FrameHeight, H, Info.ThumbHeight)};
      }
      break;
    default:
      break;
  }
  return TRect{0, 0, W, H};
}

}  // namespace

RotateFlipType RotationOf(Integer RotateAngle) {
  switch (RotateAngle % 360) {
    case 90:
    case -270:
      return RotateFlipType::Rotate90FlipNone;
    case 180:
    case -180:
      return RotateFlipType::Rotate180FlipNone;
    case 270:
    case -90:
      return RotateFlipType::Rotate270FlipNone;
    default:
      return RotateFlipType::RotateNoneFlipNone;
  }
}

bool TWorkThread::PreparePhoto(const TInfo& Info, TMemoryStream* Stream) {
  try {
    gdiplus::TImageInfo header;
    if (gdiplus::ReadImageInfo(Info.FileName, header) != gdiplus::Status::Ok) return false;
    gdiplus::TPrintJob job;
    job.Turn = RotationOf(Info.RotateAngle);
    const TSize turned = gdiplus::TurnedSize(header.Width, header.Height, job.Turn);
    const Integer W = turned.cx;
    const Integer H = turned.cy;
    // Rounding may put the frame a pixel past the photo's edge; it is moved back inside, so no
    // print shows a seam sampled from outside the photo.
    job.Source = gdiplus::ClampRect(SourceRect(Info, W, H), W, H);
    // Every print is drawn the way round its part of the photo is, and stored landscape.
    if (job.Source.Width() <= job.Source.Height()) {
      job.Width = Info.PhotoHeight;
      job.Height = Info.PhotoWidth;
    } else {
      job.Width = Info.PhotoWidth;
      job.Height = Info.PhotoHeight;
    }
    job.Target = TRect{0, 0, job.Width, job.Height};
    if (Info.WithBorders) {
      TPhotoSize size;
      size.Width = Info.PhotoWidth;
      size.Height = Info.PhotoHeight;
      TPoint box, fit;
      CalcBorderedSize(job.Width, job.Height, W, H, size, box, fit);
      const Integer x = (box.X - fit.X) / 2;
      const Integer y = (box.Y - fit.Y) / 2;
      job.Target = TRect{x, y, x + fit.X, y + fit.Y};
    }
    job.StoreLandscape = true;
    job.Quality = 90;
    job.Dpi = 300;
    RawBytes jpeg;
    if (gdiplus::RenderPrint(Info.FileName, job, jpeg) != gdiplus::Status::Ok) return false;
    Stream->Clear();
    Stream->WriteBytes(jpeg);
    Stream->SetPosition(0);
    return true;
  } catch (...) {
    return false;
  }
}

void TWorkThread::Create(TUploadMessageSink Sink, TInfoList* List, const String& Text) {
  TThread::Create(false);
  FSink = std::move(Sink);
  FList = List;
  FText = Text;
  order::TPhotoSizeList* sizes = order::PhotoSizes();
  for (Integer i = 0; i < sizes->Count(); ++i) FSizeNames.push_back(sizes->Items(i)->Name);
}

void TWorkThread::Create(HWND MsgWnd, TInfoList* List, const String& Text) {
  FMsgWnd = MsgWnd;
  Create(TUploadMessageSink(), List, Text);
}

void TWorkThread::Post(UINT Msg, WPARAM W, Owned<TObject> Payload) {
  if (FSink) return FSink(Msg, W, std::move(Payload));
  // A payload the window does not take, or one posted after the dialog is gone, is freed by the
  // queue.
  if (Payload)
    PostMessage(FMsgWnd, Msg, W, std::move(Payload));
  else
    PostMessage(FMsgWnd, Msg, W, LPARAM{0});
}

void TWorkThread::Log(const String& Text) { Post(WM_UPLOADLOG, 0, order::BoxString(Text)); }

void TWorkThread::LogFmt(StringView Fmt, std::initializer_list<TVarRec> Args) { Log(Format(Fmt, Args)); }

bool TWorkThread::Start(order::TUploader& Uploader) {
  String response;
  if (Uploader.Initialize() && Uploader.PostTA(order::atStart, response)) return true;
  Log(u"Не удалось начать отправку фотографий на сайт фотолаборатории. " + response);
  return false;
}

void TWorkThread::SendPhoto(order::TUploader& Uploader, TMemoryStream& Stream, size_t Index) {
  Stream.Clear();
  const TInfo info = (*FList)[Index];
  const String name = ExtractFileName(info.FileName);
  if (!PreparePhoto(info, &Stream)) {
    Post(WM_UPLOADSKIPPED);
    LogFmt(u"Ошибка при обработке фотографии %s, она будет пропущена!", {name});
    return;
  }
  const size_t sizes = FPrintCounts.size();
  Integer& photoIndex = FPhotoIndexes.at(static_cast<size_t>(info.PaperType) * sizes +
                                         static_cast<size_t>(info.PhotoSize));
  Integer& printCount = FPrintCounts.at(static_cast<size_t>(info.PhotoSize));
  // A photo given up later keeps its number: the next one of the pair takes the next.
  ++photoIndex;
  // Whether some attempt reached the lab without a clear answer: the lab may hold the photo then.
  bool mayBeStored = false;
  for (int attempt = 1; attempt <= Attempts; ++attempt) {
    if (Terminated()) break;
    String response;
    if (Uploader.PostImage(info.PaperType, photoIndex, info.PhotoCount, info.SizeName, &Stream, response)) {
      FTotal += info.TotalPrice;
      printCount += info.PhotoCount;
      ++FAccepted;
      (*FList)[Index].Uploaded = true;
      Post(WM_UPLOADSENT);
      break;
    }
    mayBeStored = mayBeStored || Uploader.GetLastOutcome() == order::TRequestOutcome::Unknown;
    LogFmt(u"Фотография %s: %s", {name, response});
    if (attempt == Attempts && mayBeStored) {
      // The lab commits every photo it holds: one the customer is told was not sent could be
      // printed. The whole order is rolled back instead, and the customer's list keeps it all.
      FPhotoMayBeStored = true;
    } else if (attempt == Attempts) {
      Post(WM_UPLOADSKIPPED);
      LogFmt(u"Не удалось отправить фотографию %s, она будет пропущена!", {name});
    } else {
      SleepInterruptible(RetryDelayMs);
    }
  }
}

void TWorkThread::SendPhotos(order::TUploader& Uploader, TMemoryStream& Stream) {
  for (size_t i = 0; i < FList->size(); ++i) {
    if (Terminated()) return;
    const Integer sentBefore = FAccepted;
    try {
      SendPhoto(Uploader, Stream, i);
    } catch (...) {
      // A photo that raised is a photo that could not be prepared: the dialog counts it as
      // skipped, so no order is reported as complete while a photo is missing.
      if (FAccepted == sentBefore) {
        try {
          Post(WM_UPLOADSKIPPED);
          LogFmt(u"Ошибка при обработке фотографии %s, она будет пропущена!",
                 {ExtractFileName((*FList)[i].FileName)});
        } catch (...) {
        }
      }
    }
    Post(WM_UPLOADPROGRESS, static_cast<WPARAM>(i + 1));
    if (FPhotoMayBeStored) return;
  }
}

String TWorkThread::Summary() const {
  String summary;
  for (size_t i = 0; i < FSizeNames.size() && i < FPrintCounts.size(); ++i)
    if (FPrintCounts[i] > 0) summary += Format(u"%s: %d шт.", {FSizeNames[i], FPrintCounts[i]}) + u"\r\n";
  return summary + Format(u"Сумма заказа: %s руб.", {order::FormatMoney(FTotal)});
}

void TWorkThread::SendText(order::TUploader& Uploader) {
  FText = FText + u"\r\n" + Summary();
  for (int attempt = 1; attempt <= Attempts; ++attempt) {
    if (Terminated()) return;
    String response;
    if (Uploader.PostText(FText, response)) {
      FTextSent = true;
      return;
    }
    LogFmt(u"Не удалось отправить данные о заказчике: %s", {response});
    if (attempt == Attempts)
      Log(u"Не удалось отправить данные о заказчике, заказ будет отменён!");
    else
      SleepInterruptible(RetryDelayMs);
  }
}

void TWorkThread::ForgetUploaded() {
  for (TInfo& info : *FList) info.Uploaded = false;
}

void TWorkThread::Commit(order::TUploader& Uploader) {
  String response;
  bool unknown = false;
  for (int attempt = 1; attempt <= Attempts; ++attempt) {
    if (Uploader.PostTA(order::atCommit, response)) {
      Post(WM_UPLOADDONE, 0, order::BoxString(Uploader.GetOrderNumber()));
      return;
    }
    unknown = unknown || Uploader.GetLastOutcome() == order::TRequestOutcome::Unknown;
    // A cancel ends the waits between attempts: nobody waits out a lab that does not answer.
    if (attempt == Attempts || !clock::Wait(RetryDelayMs, &TerminatedFlag())) break;
  }
  ForgetUploaded();
  if (!unknown) {
    Post(WM_UPLOADFAILED, Terminated() ? 0 : 1);
    Uploader.PostTA(order::atRollback, response);
    return;
  }
  // Some commit reached the lab without an answer, so the lab may have taken the order: only a
  // rollback it accepts says it did not. The failure is reported once that is known.
  const bool rolledBack = Uploader.PostTA(order::atRollback, response);
  if (!rolledBack)
    LogFmt(u"Заказ № %s мог быть принят фотолабораторией: подтверждение не получено.", {Uploader.GetOrderNumber()});
  Post(WM_UPLOADFAILED, rolledBack && Terminated() ? 0 : 1);
}

void TWorkThread::Finish(order::TUploader& Uploader) {
  // From here on no request is cut short: a commit under way gets its answer, and a rollback is
  // sent whole even after a cancel.
  Uploader.SetCancelFlag(nullptr);
  // No customer is told an order was accepted before the lab has confirmed it, and an order
  // without a single photo, or with a photo the lab may hold unknown to the customer, is not
  // committed.
  if (FTextSent && !Terminated() && FAccepted > 0 && !FPhotoMayBeStored) return Commit(Uploader);
  ForgetUploaded();
  Post(WM_UPLOADFAILED, Terminated() && !FPhotoMayBeStored ? 0 : 1);
  String response;
  Uploader.PostTA(order::atRollback, response);
}

void TWorkThread::Execute() {
  Owned<order::TUploader> uploader;
  try {
    uploader.reset(order::TUploader::New());
    Owned<TMemoryStream> stream(TMemoryStream::New());
    const size_t sizes = FSizeNames.size();
    FPhotoIndexes.assign(sizes * order::PaperTypeCount, 0);
    FPrintCounts.assign(sizes, 0);
    // A cancel also aborts a photo or text request under way; the order is rolled back anyway.
    uploader->SetCancelFlag(&TerminatedFlag());
    if (Start(*uploader) && !Terminated()) {
      SendPhotos(*uploader, *stream);
      if (!FPhotoMayBeStored) SendText(*uploader);
    }
  } catch (...) {
    // The end below runs on every path.
  }
  try {
    if (uploader) {
      Finish(*uploader);
    } else {
      Post(WM_UPLOADFAILED, Terminated() ? 0 : 1);
    }
  } catch (...) {
  }
}

}  // namespace app
