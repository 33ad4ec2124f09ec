// korvexmodules.Math.gammaDistribution over gamma_distribution.
#include "Math.h"
#include "math/gamma_distribution.h"
#include "wrapped_class.h"

namespace korvex::details {
namespace {

constexpr char lgamma_name[] = "lgamma";
constexpr char gamma_name[] = "gamma";

PyMethodDef methods[] = {
    {lgamma_name, wrap_unary<lgamma_name, &gamma_distribution::lgamma>, static_method,
     "lgamma(x:float) -> float\n"
     "C++: static double lgamma(double x)"},
    {gamma_name, wrap_unary<gamma_name, &gamma_distribution::gamma>, static_method,
     "gamma(x:float) -> float\n"
     "C++: static double gamma(double x)"},
    {nullptr, nullptr, 0, nullptr}};

PyTypeObject type = static_function_class("korvexmodules.Math.gammaDistribution",
                                          "gamma_distribution - no description provided.\n\n");

}  // namespace
}  // namespace korvex::details

void PyKORVEXAddFile_gamma_distribution(PyObject* dict)
{
    using namespace korvex::details;
    add_class(dict, &type, methods, nullptr, nullptr, "gammaDistribution");
}
