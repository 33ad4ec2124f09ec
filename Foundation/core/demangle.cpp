#include "core/demangle.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace korvex {

std::string demangle(const char* mangled)
{
    if (mangled == nullptr)
        return {};
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    if (status != 0 || !readable)
        return mangled;
    return readable.get();
}

}  // namespace korvex
