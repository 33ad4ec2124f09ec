#pragma once

#include <string>

#include "core/core_export.h"

namespace korvex {

// The readable name of a type from its run-time name (typeid(x).name()), for example
// "korvex::currency". A name that cannot be demangled is returned unchanged.
KORVEX_CORE_API std::string demangle(const char* mangled);

}  // namespace korvex
