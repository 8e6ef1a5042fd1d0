#pragma once
// What the upload, the order dialog, the main window and the preview share about one photo's
// print: the crop frame's type, the snapshot of a photo item handed to the upload thread, and the
// geometry of the crop frame and of the white borders.

#include "order/uLists.h"
#include "order/uTypes.h"

namespace app {

using namespace pf;
using order::TPaperType;
using order::TPhotoSize;

class TImageItemEx;

// How the crop frame sits on a thumbnail.
enum TFrameType : uint8_t {
  ftNone,      // no crop: the photo has the print's shape, or is printed with borders
  ftMoveHorz,  // the frame spans the thumbnail's height; FrameOffset is its left edge
  ftMoveVert,  // the frame spans the thumbnail's width; FrameOffset is its top edge
};

// The snapshot of one photo item for the upload.
struct TInfo {
  bool Uploaded{false};  // set by the upload thread for each photo the lab accepted
  bool WithBorders{false};
  String FileName;
  String SizeName;
  TFrameType FrameType{ftNone};
  TPaperType PaperType{order::ptGlossy};
  Integer RotateAngle{0};
  Integer PhotoCount{0};
  Integer FrameOffset{0};
  Integer FrameWidth{0};   // thumbnail pixels
  Integer FrameHeight{0};  // thumbnail pixels
  Integer PhotoSize{0};    // index into PhotoSizes
  Integer PhotoWidth{0};   // the print's longer side in pixels
  Integer PhotoHeight{0};  // the print's shorter side in pixels
  Integer ThumbWidth{0};
  Integer ThumbHeight{0};
  TImageItemEx* ImageItemEx{nullptr};  // not owned
  double TotalPrice{0};
};

// Round(A × B / C) with the product formed in 64 bits: thumbnail pixels scaled to photo pixels
// and back.
Integer MulDivRound(Integer A, Integer B, Integer C);

// The larger of A and B divided by the smaller.
double GetAR(Integer A, Integer B);

// The crop frame of the print size's shape on a ThumbW × ThumbH picture. PhotoSize indexes
// PhotoSizes; the overloads take the size itself.
Integer CalcFrameWidth(Integer ThumbW, Integer ThumbH, Integer PhotoSize);
Integer CalcFrameHeight(Integer ThumbW, Integer ThumbH, Integer PhotoSize);
Integer CalcFrameWidth(Integer ThumbW, Integer ThumbH, const TPhotoSize& Size);
Integer CalcFrameHeight(Integer ThumbW, Integer ThumbH, const TPhotoSize& Size);

// Box: the print-shaped box, oriented like the picture, as large as fits AreaW × AreaH; Fit: the
// picture's size shrunk (or enlarged) to fit inside the box. Callers centre Fit in Box.
void CalcBorderedSize(Integer AreaW, Integer AreaH, Integer PictureW, Integer PictureH,
                      Integer PhotoSize, TPoint& Box, TPoint& Fit);
void CalcBorderedSize(Integer AreaW, Integer AreaH, Integer PictureW, Integer PictureH,
                      const TPhotoSize& Size, TPoint& Box, TPoint& Fit);

}  // namespace app
