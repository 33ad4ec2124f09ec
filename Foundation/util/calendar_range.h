#pragma once

#include <charconv>
#include <string_view>

#include "core/check_fail.h"
#include "util/datetime.h"

namespace korvex::details {

// Raises Error at `where` unless `d` lies in the years 1 to 9999 that calendars and the
// calendar-field day counts serve (datetime::is_in_calendar_range). The message gives the
// serial value in its shortest exact form, since a far date has no calendar text.
inline void require_calendar_range(const datetime& d, const SourceLocation& where)
{
    if (d.is_in_calendar_range())
        return;
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, d.as_float()).ptr;
    check_fail(where, concat("serial date ", std::string_view(text, end - text),
                             " is outside the years 1 to 9999"));
}

}  // namespace korvex::details
