#pragma once

#include <sstream>
#include <string>

#include "core/core_export.h"
#include "core/source_location.h"

namespace korvex::details {

// Reports a failed check by throwing `Error`; never returns.
[[noreturn]] KORVEX_CORE_API void check_fail(
    const char* function, const char* file, int line, const char* message);
[[noreturn]] KORVEX_CORE_API void check_fail(
    const char* function, const char* file, int line, const std::string& message);

[[noreturn]] inline void check_fail(const SourceLocation& location, const std::string& message)
{
    check_fail(location.function, location.file, location.line, message);
}

// Streams every argument into one text, in order, with nothing between them.
template <class... Parts>
std::string concat(const Parts&... parts)
{
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

}  // namespace korvex::details

// The message of a tested condition: "Expected <condition> to be true, but got false."
#define KORVEX_EXPECTATION_TEXT(condition) "Expected " #condition " to be true, but got false."

// KORVEX_CHECK(location, condition): fails at `location` with the expectation text.
#define KORVEX_CHECK(location, condition)                                                  \
    do {                                                                                   \
        if (!(condition))                                                                  \
            ::korvex::details::check_fail((location), KORVEX_EXPECTATION_TEXT(condition)); \
    } while (false)

// KORVEX_CHECK_MSG(location, condition, parts...): the expectation text, two blanks, then
// the streamed parts.
#define KORVEX_CHECK_MSG(location, condition, ...)                                        \
    do {                                                                                  \
        if (!(condition))                                                                 \
            ::korvex::details::check_fail(                                                \
                (location),                                                               \
                ::korvex::details::concat(KORVEX_EXPECTATION_TEXT(condition) "  ", __VA_ARGS__)); \
    } while (false)
