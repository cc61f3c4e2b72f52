// Runs in a process of its own: the binding must not have been chosen before the test.
#include "Binding.h"
#include "Status.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(BindingFirstUse, firstCallChoosesFromTheVariableWithoutFallingBack)
{
    setenv("QUILLAN_RECORD_MANAGER", "/nonexistent/libpsqlmif.so", 1);
    BtrCallFn fn = btrieve::recordManager();
    ASSERT_NE(fn, nullptr);
    EXPECT_NE(fn, &QuillanEngineCall);
    uint8_t positionBlock[128] = {};
    uint8_t clientId[16] = {};
    char key[256] = "FILE.DDF";
    uint32_t length = 0;
    EXPECT_EQ(fn(0, positionBlock, nullptr, &length, key, 255, 0, clientId),
              btr::StatusRecordManagerInactive);
    EXPECT_EQ(btrieve::recordManagerDescription().rfind("unavailable: QUILLAN_RECORD_MANAGER: ", 0), 0u);
}
