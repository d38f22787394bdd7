#pragma once
// A component's halt: its line on standard error, then EProgramHalt on its way out through main.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/app.h"

#define EXPECT_HALT(statement, lineRegex)                                                   \
  do {                                                                                      \
    ::testing::internal::CaptureStderr();                                                   \
    EXPECT_THROW(statement, EProgramHalt);                                                  \
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::ContainsRegex(lineRegex)); \
  } while (false)
