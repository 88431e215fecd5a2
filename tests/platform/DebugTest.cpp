#include "platform/Debug.h"

#include <gtest/gtest.h>

TEST(Format, Basic)
{
    EXPECT_EQ(platform::Format(u"%d-%s", 5, u"x"), u"5-x");
}
