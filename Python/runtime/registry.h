#pragma once

#include <map>
#include <string>
#include <vector>

#include "runtime/PyKORVEXSpecialType.h"

namespace korvex::details {

// The run-time's process-wide tables. They are filled while modules are imported, always
// with the interpreter lock held, and live until the process ends.
struct registry
{
    std::map<std::string, PyKORVEXSpecialType, std::less<>> classes;
    std::map<std::string, PyTypeObject*, std::less<>> enumerations;
    std::vector<std::string> modules;
    PyObject* error_type = nullptr;
};

registry& the_registry();

}  // namespace korvex::details
