#include "Lib_cpp/core/Diag.h"

#include <gtest/gtest.h>

TEST(IxMulDiv, RoundsHalfUp)
{
    EXPECT_EQ(IxMulDiv(9, 96, 72), 12);
}
