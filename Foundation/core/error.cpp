#include "core/error.h"

#include <utility>

namespace korvex {

namespace {
std::string describe(const SourceLocation& location, const std::string& message)
{
    return message + " [" + location.function + " at " + location.file + ":" +
           std::to_string(location.line) + "]";
}
}  // namespace

Error::Error(const SourceLocation& location, std::string message)
    : location_(location), message_(std::move(message)), what_(describe(location_, message_))
{
}

NotImplementedError::NotImplementedError(const SourceLocation& location)
    : Error(location, "not implemented")
{
}

}  // namespace korvex
