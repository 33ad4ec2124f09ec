#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "serialization/test_support.h"

namespace korvex::testing {

// Runs `action` and checks that it raises Error with exactly `message` at `where`.
template <class Action>
void expect_failure(Action&& action, const SourceLocation& where, const std::string& message)
{
    const Error error = error_of(action);
    EXPECT_EQ(error.message(), message);
    EXPECT_STREQ(error.location().function, where.function);
    EXPECT_STREQ(error.location().file, where.file);
    EXPECT_EQ(error.location().line, where.line);
}

}  // namespace korvex::testing
