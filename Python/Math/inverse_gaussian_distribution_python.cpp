// korvexmodules.Math.inverseGaussianDistribution over inverse_gaussian_distribution.
#include "Math.h"
#include "math/inverse_gaussian_distribution.h"
#include "wrapped_class.h"

namespace korvex::details {
namespace {

constexpr char density_name[] = "density";
constexpr char cumulative_name[] = "cumulative";

PyMethodDef methods[] = {
    {density_name, wrap_binary<density_name, &inverse_gaussian_distribution::density>,
     static_method,
     "density(x:float, lambda_:float) -> float\n"
     "C++: static double density(double x, double lambda)"},
    {cumulative_name, wrap_binary<cumulative_name, &inverse_gaussian_distribution::cumulative>,
     static_method,
     "cumulative(x:float, lambda_:float) -> float\n"
     "C++: static double cumulative(double x, double lambda)"},
    {nullptr, nullptr, 0, nullptr}};

PyTypeObject type =
    static_function_class("korvexmodules.Math.inverseGaussianDistribution",
                          "inverse_gaussian_distribution - no description provided.\n\n");

}  // namespace
}  // namespace korvex::details

void PyKORVEXAddFile_inverse_gaussian_distribution(PyObject* dict)
{
    using namespace korvex::details;
    add_class(dict, &type, methods, nullptr, nullptr, "inverseGaussianDistribution");
}
