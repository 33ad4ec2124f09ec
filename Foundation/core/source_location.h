#pragma once

#include <string_view>

namespace korvex {

// Where a failure was detected: enclosing function, source path (project-relative, without
// extension) and line. Each failure site keeps its location as a named constant, so the
// reported place is part of the interface and does not move when a file is edited.
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
