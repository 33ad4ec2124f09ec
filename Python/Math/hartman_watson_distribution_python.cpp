// korvexmodules.Math.hartmanWatsonDistribution over hartman_watson_distribution, with the
// enumeration hartman_watson_distribution_type.
#include "Math.h"
#include "math/hartman_watson_distribution.h"
#include "runtime/PyKORVEXEnum.h"
#include "wrapped_class.h"

namespace korvex::details {
namespace {

constexpr char log_distribution_asymptotique_name[] = "log_distribution_asymptotique";
constexpr const char* enumeration_name = "hartman_watson_distribution_type";
constexpr int mixture = 3;
constexpr double default_max_bound = 37.0;

PyObject* distribution(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "distribution");
        call_temporaries temporaries;
        double t = 0.0, max_bound = default_max_bound;
        int type = mixture;
        if (!reader.CheckArgCount(5, 7))
            return nullptr;
        auto results = read_output_vector(reader, temporaries);
        if (!results || !reader.GetValue(t))
            return nullptr;
        const vector<double>* x = read_input_vector(reader, temporaries);
        const vector<double>* roots = x ? read_input_vector(reader, temporaries) : nullptr;
        const vector<double>* weights = roots ? read_input_vector(reader, temporaries) : nullptr;
        if (weights == nullptr)
            return nullptr;
        if (reader.ArgsLeft()) {
            bool ok = false;
            type = reader.GetArgAsEnum(enumeration_name, ok);
            if (!ok)
                return nullptr;
        }
        if ((reader.ArgsLeft() && !reader.GetValue(max_bound)) ||
            !prepare_outputs(reader, x->size(), results))
            return nullptr;
        hartman_watson_distribution::distribution(
            results->target(), t, *x, *roots, *weights,
            static_cast<hartman_watson_distribution_type>(type), max_bound);
        return commit_outputs(reader, results) ? none_result() : nullptr;
    });
}

PyObject* cheyette_density(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "cheyette_density");
        call_temporaries temporaries;
        double t = 0.0;
        if (!reader.CheckArgCount(7, 7))
            return nullptr;
        auto density = read_output_vector(reader, temporaries);
        auto u = density ? read_output_vector(reader, temporaries) : std::nullopt;
        if (!u || !reader.GetValue(t))
            return nullptr;
        const vector<double>* inputs[4] = {};
        for (auto& input : inputs) {
            input = read_input_vector(reader, temporaries);
            if (input == nullptr)
                return nullptr;
        }
        // Both outputs receive one value per node of the rule.
        if (!prepare_outputs(reader, inputs[0]->size(), density, u))
            return nullptr;
        hartman_watson_distribution::cheyette_density(density->target(), u->target(), t,
                                                      *inputs[0], *inputs[1], *inputs[2],
                                                      *inputs[3]);
        return commit_outputs(reader, density, u) ? none_result() : nullptr;
    });
}

PyObject* distribution_numerical(PyObject*, PyObject* args)
{
    return guarded_call([args]() -> PyObject* {
        korvexPythonArgs reader(args, "distribution_numerical");
        call_temporaries temporaries;
        double x = 0.0, t = 0.0;
        if (!reader.CheckArgCount(4, 4) || !reader.GetValue(x) || !reader.GetValue(t))
            return nullptr;
        const vector<double>* roots = read_input_vector(reader, temporaries);
        const vector<double>* weights = roots ? read_input_vector(reader, temporaries) : nullptr;
        if (weights == nullptr)
            return nullptr;
        return float_result(hartman_watson_distribution::distribution_numerical(x, t, *roots,
                                                                                *weights));
    });
}

PyMethodDef methods[] = {
    {"distribution", distribution, static_method,
     "distribution(results:vector_IdE, t:float, x:vector_IdE,\n"
     "    roots:vector_IdE, weights:vector_IdE,\n"
     "    type:hartmanWatsonDistributionType=..., max_bound:float=...)\n"
     "    -> None\n"
     "C++: static void distribution(vector<double> &results, double t,\n"
     "    const vector<double> &x, const vector<double> &roots,\n"
     "    const vector<double> &weights,\n"
     "    hartman_watson_distribution_type type=hartman_watson_distribution_type::MIXTURE,\n"
     "     double max_bound=HARTMAN_WATSON_DISTRIBUTION_MAX_BOUND)"},
    {"cheyette_density", cheyette_density, static_method,
     "cheyette_density(density:vector_IdE, U:vector_IdE, t:float,\n"
     "    roots:vector_IdE, weights:vector_IdE,\n"
     "    hartman_watson_roots:vector_IdE,\n"
     "    hartman_watson_weights:vector_IdE) -> None\n"
     "C++: static void cheyette_density(vector<double> &density,\n"
     "    vector<double> &U, double t, const vector<double> &roots,\n"
     "    const vector<double> &weights,\n"
     "    const vector<double> &hartman_watson_roots,\n"
     "    const vector<double> &hartman_watson_weights)"},
    {log_distribution_asymptotique_name,
     wrap_binary<log_distribution_asymptotique_name,
                 &hartman_watson_distribution::log_distribution_asymptotique>,
     static_method,
     "log_distribution_asymptotique(x:float, t:float) -> float\n"
     "C++: static double log_distribution_asymptotique(double x,\n"
     "    double t)"},
    {"distribution_numerical", distribution_numerical, static_method,
     "distribution_numerical(x:float, t:float, roots:vector_IdE,\n"
     "    weights:vector_IdE) -> float\n"
     "C++: static double distribution_numerical(const double x,\n"
     "    const double t, const vector<double> &roots,\n"
     "    const vector<double> &weights)"},
    {nullptr, nullptr, 0, nullptr}};

PyTypeObject type =
    static_function_class("korvexmodules.Math.hartmanWatsonDistribution",
                          "hartman_watson_distribution - no description provided.\n\n");

// The enumeration: an int subclass that Python cannot instantiate, whose values live in its
// dictionary.
PyTypeObject make_enumeration_type()
{
    PyTypeObject enumeration = blank_type_object();
    enumeration.tp_name = "korvexmodules.Math.hartman_watson_distribution_type";
    enumeration.tp_basicsize = sizeof(PyLongObject);
    enumeration.tp_flags = Py_TPFLAGS_DISALLOW_INSTANTIATION;
    enumeration.tp_base = &PyLong_Type;
    enumeration.tp_free = PyObject_Free;
    return enumeration;
}

PyTypeObject enumeration_type = make_enumeration_type();

struct enumeration_value
{
    const char* name;
    hartman_watson_distribution_type value;
};

constexpr enumeration_value enumeration_values[] = {
    {"FULLY_ASYMPTOTIC", hartman_watson_distribution_type::FULLY_ASYMPTOTIC},
    {"NUMERICAL_INTEGRAL", hartman_watson_distribution_type::NUMERICAL_INTEGRAL},
    {"MIXTURE", hartman_watson_distribution_type::MIXTURE}};

// Installs a new dictionary holding what the ready type had, plus the values.
void add_enumeration(PyObject* module_dict)
{
    PyType_Ready(&enumeration_type);
    PyObject* values = PyDict_New();
    if (values == nullptr)
        return;
    if (enumeration_type.tp_dict != nullptr)
        PyDict_Update(values, enumeration_type.tp_dict);
    Py_XSETREF(enumeration_type.tp_dict, values);
    for (const auto& [name, value] : enumeration_values) {
        if (PyObject* item = PyKORVEXEnum_New(&enumeration_type, static_cast<int>(value))) {
            PyDict_SetItemString(values, name, item);
            Py_DECREF(item);
        }
    }
    PyType_Modified(&enumeration_type);
    PyKORVEXEnum_Add(&enumeration_type, enumeration_name);
    PyObject* published = reinterpret_cast<PyObject*>(&enumeration_type);
    Py_INCREF(published);
    if (PyDict_SetItemString(module_dict, enumeration_name, published) != 0)
        Py_DECREF(published);
}

}  // namespace
}  // namespace korvex::details

void PyKORVEXAddFile_hartman_watson_distribution(PyObject* dict)
{
    using namespace korvex::details;
    add_class(dict, &type, methods, nullptr, nullptr, "hartmanWatsonDistribution");
    add_enumeration(dict);
}
