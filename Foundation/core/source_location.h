#pragma once

#include <string_view>

namespace korvex {

// Where a failure was detected: enclosing function, source path (project-relative, without
// extension) and line. A site whose reported place is part of the published interface keeps
// it as a named constant; every other site names the line of its check with __LINE__.
// The two texts must have static storage duration (string literals).
struct SourceLocation
{
    const char* function = "";
    const char* file = "";
    int line = 0;
};

constexpr bool operator==(const SourceLocation& a, const SourceLocation& b) noexcept
{
    return std::string_view(a.function) == std::string_view(b.function) &&
           std::string_view(a.file) == std::string_view(b.file) && a.line == b.line;
}

}  // namespace korvex
