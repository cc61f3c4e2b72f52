#include "Status.h"
#include <gtest/gtest.h>
TEST(Smoke, statusCodesAreTheRecordManagersOwn) { EXPECT_EQ(btr::StatusDuplicateKey, 5); }
