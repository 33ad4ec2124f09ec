#pragma once

#include <exception>
#include <string>

#include "core/core_export.h"
#include "core/source_location.h"

namespace korvex {

// The exception of the whole system. `message()` is the bare message callers compare;
// `what()` adds the location: "<message> [<function> at <file>:<line>]".
class KORVEX_CORE_API Error : public std::exception
{
public:
    Error(const SourceLocation& location, std::string message);

    const SourceLocation& location() const noexcept { return location_; }
    const std::string& message() const noexcept { return message_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    SourceLocation location_;
    std::string message_;
    std::string what_;
};

// Raised by operations that exist only as declarations; the message is "not implemented".
class KORVEX_CORE_API NotImplementedError : public Error
{
public:
    explicit NotImplementedError(const SourceLocation& location);
};

}  // namespace korvex
