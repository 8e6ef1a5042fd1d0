// The warning picture loaded from the program's embedded resources.
#include <gtest/gtest.h>

#include "orderui/uWarningImage.h"

namespace {

using namespace order;

TEST(WarningImage, LoadedFromTheResourceAndFreedByTheLastFinalize) {
  ASSERT_EQ(WarningImage(), nullptr);
  uWarningImage::Initialize();
  uWarningImage::Initialize();
  ASSERT_NE(WarningImage(), nullptr);
  // assets/warning.png is a 75 x 75 picture.
  EXPECT_EQ(WarningImage()->GetWidth(), 75);
  EXPECT_EQ(WarningImage()->GetHeight(), 75);
  uWarningImage::Finalize();
  EXPECT_NE(WarningImage(), nullptr);
  uWarningImage::Finalize();
  EXPECT_EQ(WarningImage(), nullptr);
}

}  // namespace
