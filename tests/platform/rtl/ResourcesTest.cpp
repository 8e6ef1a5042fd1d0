#include <gtest/gtest.h>

#include "platform/rtl/Resources.h"

using namespace pf;

TEST(Resources, EmbeddedPictureIsFoundByTypeAndNameInAnyCase) {
  auto warning = FindResource("RCDATA", "warning");
  ASSERT_TRUE(warning.has_value());
  ASSERT_GE(warning->size(), 8u);
  EXPECT_EQ(warning->substr(0, 8), std::string_view("\x89PNG\r\n\x1a\n", 8));
  EXPECT_FALSE(FindResource("RCDATA", "NO-SUCH").has_value());
  EXPECT_FALSE(FindResource("BITMAP", "WARNING").has_value());
}
