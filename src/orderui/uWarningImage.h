#pragma once
// The warning sign drawn beside a photo whose resolution is too low for its print.

#include "platform/gdi/Bitmap.h"

namespace order {

// Loaded at start-up from the program's embedded resource "WARNING" (type RCDATA, a PNG); an empty
// picture when the program carries no such resource. Null before start-up and after shut-down.
pf::TBitmap* WarningImage();

namespace uWarningImage {
// Counted start-up and shut-down of the unit: the first Initialize loads the picture, the last
// Finalize frees it.
void Initialize();
void Finalize();
}  // namespace uWarningImage

}  // namespace order
