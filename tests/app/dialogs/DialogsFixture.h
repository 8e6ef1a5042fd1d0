#pragma once
// What the dialogs' tests share: a price list of two sizes and two cities, photo files of given
// sizes in a temporary folder, and screenshots when PO_SCREENSHOT_DIR names a folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/uItems.h"
#include "platform/classlib/Forms.h"
#include "platform/rtl/Format.h"

namespace dlgtest {

using namespace app;

// 10x15: 1800 × 1200, glossy 12.5, matte 14. 15x20: 2400 × 1800, glossy 20 only.
// Two cities: "Тихоград" with two places (the first described on two lines), "Озёрск" with one.
void SetUpPriceList();
void ResetPriceList();

// A photo file of W × H (a gradient with a mark in the top-left corner); the extension chooses
// the format (".jpg", ".png", ".bmp").
std::string WritePhoto(const std::filesystem::path& Dir, const std::string& Name, int W, int H);

// A thumbnail of W × H whose pixel (x, y) holds (x, y, 7) in its blue, green and red bytes.
TDIB* PatternThumb(int W, int H);

// Saves the form's picture as Name.png into PO_SCREENSHOT_DIR, when that is set.
void Shot(TWinControl* Form, const std::string& Name);

class DialogsTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  std::filesystem::path Dir;
  TFormatSettings Saved;
};

}  // namespace dlgtest
