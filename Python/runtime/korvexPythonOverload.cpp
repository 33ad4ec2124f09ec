#include "runtime/korvexPythonOverload.h"

#include <string_view>

#include "runtime/PyKORVEXSpecialType.h"
#include "runtime/korvexPythonUtil.h"

namespace korvex {
namespace {

bool is_number_sequence_candidate(PyObject* argument)
{
    return PyObject_CheckBuffer(argument) || PySequence_Check(argument);
}

bool is_wrapped_object_of(std::string_view class_name, PyObject* argument)
{
    const std::string name(class_name);
    const PyKORVEXSpecialType* info = korvexPythonUtil::getInfo(name.c_str());
    return info != nullptr && PyObject_TypeCheck(argument, info->py_type);
}

// Whether the one-argument signature `signature` ("@W name", "@Q", ...) accepts `argument`.
bool accepts(std::string_view signature, PyObject* argument)
{
    if (signature.size() < 2 || signature[0] != '@' || signature[1] == '-')
        return false;
    switch (signature[1]) {
    case 'W': {
        const auto name_start = signature.find_first_not_of(' ', 2);
        return name_start != std::string_view::npos &&
               is_wrapped_object_of(signature.substr(name_start), argument);
    }
    case 'Q':
        return is_number_sequence_candidate(argument);
    case 'd':
        return PyFloat_Check(argument) || PyLong_Check(argument);
    case 'K':
        return PyLong_Check(argument);
    default:
        return false;
    }
}

}  // namespace

PyMethodDef* korvexPythonOverload::FindConversionMethod(PyMethodDef* constructors,
                                                        PyObject* argument)
{
    for (PyMethodDef* entry = constructors; entry != nullptr && entry->ml_meth != nullptr;
         ++entry) {
        if (entry->ml_doc != nullptr && accepts(entry->ml_doc, argument))
            return entry;
    }
    return nullptr;
}

}  // namespace korvex
