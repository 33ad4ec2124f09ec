#include "pricing_bindings.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

namespace py = pybind11;

namespace korvex::python {

std::string float_text(double value) { return py::repr(py::float_(value)).cast<std::string>(); }

py::tuple pickled_fields(py::handle state, std::size_t size, const char* type_name)
{
    if (!py::isinstance<py::tuple>(state) || py::len(state) != size)
        throw py::value_error(std::string("a pickled ") + type_name + " is a tuple of " + std::to_string(size) +
                              " items, not " + py::repr(state).cast<std::string>());
    return py::reinterpret_borrow<py::tuple>(state);
}

std::shared_ptr<const pricing::market> market_from(py::handle market, const char* function)
{
    if (!py::isinstance<pricing::market>(market))
        throw py::type_error(std::string(function) + "() argument 'market' must be a market, not " +
                             Py_TYPE(market.ptr())->tp_name);
    return market.cast<std::shared_ptr<pricing::market>>();
}

py::array_t<double> array_view(const std::vector<double>& values, py::handle owner)
{
    py::array_t<double> view(static_cast<py::ssize_t>(values.size()), values.data(), owner);
    view.attr("setflags")(py::arg("write") = false);
    return view;
}

batch_result::batch_result(std::size_t n)
    : price(n, std::numeric_limits<double>::quiet_NaN()), delta(price), gamma(price), theta(price), vega(price),
      errors(n)
{
}

std::size_t thread_count(std::size_t n, std::size_t threads)
{
    // The rows are pure computation: threads beyond the cores would only share them.
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted = threads == 0 ? cores : std::min(threads, cores);
    return std::max<std::size_t>(1, std::min(wanted, n));
}

namespace {

std::string error_text()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// Rows are taken one at a time from a shared counter: their costs differ by orders of
// magnitude (an American option against a European one), so fixed chunks would leave
// threads idle.
void price_from_counter(std::atomic<std::size_t>& next, std::size_t n, const row_pricer& price_row,
                        batch_result& result)
{
    for (std::size_t i = next++; i < n; i = next++) {
        try {
            price_row(i, result);
        } catch (...) {
            result.price[i] = result.delta[i] = result.gamma[i] = result.theta[i] = result.vega[i] =
                std::numeric_limits<double>::quiet_NaN();
            result.errors[i] = error_text();
        }
    }
}

}  // namespace

batch_result price_rows(std::size_t n, std::size_t threads, const row_pricer& price_row)
{
    batch_result result(n);
    std::atomic<std::size_t> next{0};
    const std::size_t count = thread_count(n, threads);
    py::gil_scoped_release unlocked;
    std::vector<std::thread> helpers;
    helpers.reserve(count - 1);
    try {
        for (std::size_t t = 1; t < count; ++t)
            helpers.emplace_back([&] { price_from_counter(next, n, price_row, result); });
    } catch (const std::system_error&) {
        // No more threads to be had: those started and this one share the rows.
    }
    price_from_counter(next, n, price_row, result);
    for (std::thread& helper : helpers)
        helper.join();
    return result;
}

}  // namespace korvex::python

namespace korvex::python {

namespace {

std::size_t failed_count(const batch_result& r)
{
    return static_cast<std::size_t>(
        std::count_if(r.errors.begin(), r.errors.end(), [](const std::string& e) { return !e.empty(); }));
}

py::list error_list(const batch_result& r)
{
    py::list errors(r.errors.size());
    for (std::size_t i = 0; i < r.errors.size(); ++i)
        errors[i] = py::str(r.errors[i]);
    return errors;
}

}  // namespace

void add_batch_result(py::module_& module)
{
    const auto column = array_property<batch_result>;
    py::class_<batch_result>(module, "batch_result",
                             "The prices and Greeks of a list of instruments priced in one call, as read-only\n"
                             "float64 arrays over the result's own memory, in the list's order. errors[i] is ''\n"
                             "for a priced instrument; for one that could not be priced it holds the error's text\n"
                             "(\"<message> [<function> at <file>:<line>]\") and its values are NaN.")
        .def_property_readonly("price", column(&batch_result::price))
        .def_property_readonly("delta", column(&batch_result::delta))
        .def_property_readonly("gamma", column(&batch_result::gamma))
        .def_property_readonly("theta", column(&batch_result::theta))
        .def_property_readonly("vega", column(&batch_result::vega))
        .def_property_readonly("errors", &error_list, "The error texts, a list of str.")
        .def_property_readonly("failed", &failed_count, "How many instruments could not be priced.")
        .def("__len__", [](const batch_result& r) { return r.price.size(); })
        .def("__repr__", [](const batch_result& r) {
            return "batch_result(" + std::to_string(r.price.size()) + " instruments, " +
                   std::to_string(failed_count(r)) + " failed)";
        });
}

}  // namespace korvex::python
