// Assertion helpers for the run-time error numbers the automation layer raises.
#pragma once

#include "platform/automation/AutomationError.h"

#include <gtest/gtest.h>

#define EXPECT_VB_ERROR(expr, number)                                              \
    do {                                                                           \
        try {                                                                      \
            (void)(expr);                                                          \
            ADD_FAILURE() << #expr << " raised no error, expected " << (number);   \
        } catch (const ::qz::AutomationError& e_) {                                \
            EXPECT_EQ(e_.Number, (number)) << #expr << ": " << e_.Description;     \
        }                                                                          \
    } while (0)
