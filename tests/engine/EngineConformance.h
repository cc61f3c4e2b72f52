#pragma once
// One conformance suite for every implementation of the record-manager call. A test program
// instantiates it for its implementation with
//
//     QUILLAN_ENGINE_CONFORMANCE(Name, resolver);
//
// where `resolver` is a function `BtrCallFn()` called when the tests run (it may load a
// library); a null result fails the tests. Link the program with quillan_engine_conformance.
#include "BtrCall.h"

#include <gtest/gtest.h>

#include <string>

struct EngineUnderTest {
    const char* name;
    BtrCallFn (*resolve)();
};

class BtrConformance : public ::testing::TestWithParam<EngineUnderTest> {
protected:
    void SetUp() override
    {
        fn = GetParam().resolve();
        ASSERT_NE(fn, nullptr) << "no record manager for " << GetParam().name;
    }
    BtrCallFn fn = nullptr;
};

#define QUILLAN_ENGINE_CONFORMANCE(Name, resolver)                                                           \
    INSTANTIATE_TEST_SUITE_P(                                                                                \
        Name, BtrConformance, ::testing::Values(EngineUnderTest{#Name, resolver}),                           \
        [](const ::testing::TestParamInfo<EngineUnderTest>& info) { return std::string(info.param.name); })
