// Tests of vorn::Image<T>: sharing, conversions, access, channels and regions.
#include "quarl/image.h"

#include <gtest/gtest.h>

TEST(Image, EmptyImageOwnsNoBuffer) {
  vorn::Image<float> a;
  EXPECT_EQ(a.getDataPtr(), nullptr);
}
