#include "market_bindings.h"

#include <cctype>
#include <string_view>

namespace py = pybind11;

namespace korvex::python {
namespace {

struct day_count_names
{
    day_count_convention_type type;
    const char* name;
    const char* identifier;
};

constexpr day_count_names conventions[] = {
    {act_365_fixed, "ACT/365F", "act_365_fixed"}, {act_360, "ACT/360", "act_360"},
    {thirty_360, "30/360", "thirty_360"},        {act_act_isda, "ACT/ACT ISDA", "act_act_isda"},
    {business_252, "BUS/252", "business_252"}};

bool same_text(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::string path_text(py::handle path)
{
    const py::object text = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(text))
        throw py::type_error("a path must be a str or an os.PathLike of a str");
    return text.cast<std::string>();
}

std::shared_ptr<const day_count_convention> day_count_from(py::handle convention)
{
    if (py::isinstance<day_count_convention>(convention))
        return convention.cast<std::shared_ptr<day_count_convention>>();
    if (py::isinstance<py::str>(convention)) {
        const auto text = convention.cast<std::string>();
        for (const day_count_names& c : conventions)
            if (same_text(text, c.name) || same_text(text, c.identifier))
                return std::make_shared<const day_count_convention>(c.type);
        throw py::value_error("unknown day count convention '" + text +
                              "'; expected ACT/365F, ACT/360, 30/360, ACT/ACT ISDA or BUS/252");
    }
    if (PyLong_Check(convention.ptr()) && !PyBool_Check(convention.ptr()))
        return std::make_shared<const day_count_convention>(
            static_cast<day_count_convention_type>(convention.cast<int>()));
    throw py::type_error(std::string("a day count convention must be a name or a day_count_convention, not ") +
                         Py_TYPE(convention.ptr())->tp_name);
}

const char* day_count_name(const day_count_convention& convention)
{
    for (const day_count_names& c : conventions)
        if (c.type == convention.type())
            return c.name;
    return "unknown";
}

std::string number_text(double value) { return py::repr(py::float_(value)).cast<std::string>(); }

}  // namespace korvex::python
