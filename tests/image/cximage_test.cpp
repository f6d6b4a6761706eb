#include "image/cximage.h"

#include <gtest/gtest.h>

TEST(CxImageCreate, RefusesZeroSize) {
    CxImage img;
    EXPECT_EQ(img.Create(0, 10, 24, 0), nullptr);
    EXPECT_STREQ(img.LastError(), "CxImage::Create : width and height must be greater than zero");
}
