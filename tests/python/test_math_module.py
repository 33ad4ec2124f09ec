"""korvexmodules.Math as a module: its classes, method tables, documentation, enumeration and
start-up, and the start-up of its sibling modules."""

import sys
import weakref

import numpy as np
import pytest

import korvexmodules.Math as Math
from korvexmodules import Core
from conftest import run_python, gil_pause_during
from korvexmodules.Vectorization import vector_IdE

CLASSES = {
    "gammaDistribution": ["lgamma", "gamma"],
    "hartmanWatsonDistribution": ["distribution", "cheyette_density",
                                  "log_distribution_asymptotique", "distribution_numerical"],
    "inverseGaussianDistribution": ["density", "cumulative"],
    "normalDistribution": ["density_function", "cdfnorm", "cdf_over_density", "cdfnorminv",
                           "cdfnorminv_fast"],
    "gaussianQuadrature": ["gauss_hermite_coefficients", "gauss_laguerre_coefficients",
                           "gauss_legendre_coefficients", "gauss_kronrod"],
    "laplaceInverterGaverStehfest": [],
}
STATIC_CLASSES = [name for name in CLASSES if name != "laplaceInverterGaverStehfest"]

CLASS_DOCS = {
    "gammaDistribution": "gamma_distribution - no description provided.\n\n",
    "hartmanWatsonDistribution": "hartman_watson_distribution - no description provided.\n\n",
    "inverseGaussianDistribution": "inverse_gaussian_distribution - no description provided.\n\n",
    "normalDistribution": "normal_distribution - no description provided.\n\n",
    "gaussianQuadrature": "gaussian_quadrature - no description provided.\n\n",
    "laplaceInverterGaverStehfest": (
        "laplace_inverter_gaver_stehfest(size:int, shift:float)\n"
        "    -> laplace_inverter_gaver_stehfest\n"
        "C++: laplace_inverter_gaver_stehfest(size_t size, double shift)\n"
        "laplace_inverter_gaver_stehfest(__a:laplaceInverterGaverStehfest)\n"
        "    -> laplace_inverter_gaver_stehfest\n"
        "C++: laplace_inverter_gaver_stehfest(\n"
        "    const &laplace_inverter_gaver_stehfest)\n"
        "\n"
        "laplace_inverter_gaver_stehfest - no description provided.\n"
        "\n"),
}

METHOD_DOCS = {
    "lgamma": (
        "lgamma(x:float) -> float\n"
        "C++: static double lgamma(double x)"),
    "gamma": (
        "gamma(x:float) -> float\n"
        "C++: static double gamma(double x)"),
    "density": (
        "density(x:float, lambda_:float) -> float\n"
        "C++: static double density(double x, double lambda)"),
    "cumulative": (
        "cumulative(x:float, lambda_:float) -> float\n"
        "C++: static double cumulative(double x, double lambda)"),
    "density_function": (
        "density_function(x:float) -> float\n"
        r"C++: static double density_function(double x)//tex: // "
        r"$$n(x)=\frac{\exp{(-\frac{z^2}{2})}}{\sqrt{2\pi}}$$*"),
    "cdfnorm": (
        "cdfnorm(z:float) -> float\n"
        "C++: static double cdfnorm(double z)//tex:\n"
        r"//$$N(x)=\int_{-\infty}^{x}\frac{\exp{(-\frac{u^2}{2})}}{qrt{2\pi}}du$$*"),
    "cdf_over_density": (
        "cdf_over_density(z:float) -> float\n"
        r"C++: static double cdf_over_density(double z)//tex: //$$\frac{N(x)}{n(x)}$$*"),
    "cdfnorminv": (
        "cdfnorminv(p:float) -> float\n"
        "C++: static double cdfnorminv(double p)\n"
        "cdfnorminv(size:int, uniform:(float, ...), gaussian:[float, ...])\n"
        "-> None\n"
        "C++: static void cdfnorminv(size_t size, const double *uniform,\n"
        "    double *gaussian)//tex: //$$N^{-1}(x)$$*"),
    "cdfnorminv_fast": (
        "cdfnorminv_fast(p:float) -> float\n"
        "C++: static double cdfnorminv_fast(double p)"),
    "log_distribution_asymptotique": (
        "log_distribution_asymptotique(x:float, t:float) -> float\n"
        "C++: static double log_distribution_asymptotique(double x,\n"
        "    double t)"),
    "distribution_numerical": (
        "distribution_numerical(x:float, t:float, roots:vector_IdE,\n"
        "    weights:vector_IdE) -> float\n"
        "C++: static double distribution_numerical(const double x,\n"
        "    const double t, const vector<double> &roots,\n"
        "    const vector<double> &weights)"),
    "distribution": (
        "distribution(results:vector_IdE, t:float, x:vector_IdE,\n"
        "    roots:vector_IdE, weights:vector_IdE,\n"
        "    type:hartmanWatsonDistributionType=..., max_bound:float=...)\n"
        "    -> None\n"
        "C++: static void distribution(vector<double> &results, double t,\n"
        "    const vector<double> &x, const vector<double> &roots,\n"
        "    const vector<double> &weights,\n"
        "    hartman_watson_distribution_type type=hartman_watson_distribution_type::MIXTURE,\n"
        "     double max_bound=HARTMAN_WATSON_DISTRIBUTION_MAX_BOUND)"),
    "cheyette_density": (
        "cheyette_density(density:vector_IdE, U:vector_IdE, t:float,\n"
        "    roots:vector_IdE, weights:vector_IdE,\n"
        "    hartman_watson_roots:vector_IdE,\n"
        "    hartman_watson_weights:vector_IdE) -> None\n"
        "C++: static void cheyette_density(vector<double> &density,\n"
        "    vector<double> &U, double t, const vector<double> &roots,\n"
        "    const vector<double> &weights,\n"
        "    const vector<double> &hartman_watson_roots,\n"
        "    const vector<double> &hartman_watson_weights)"),
    "gauss_legendre_coefficients": (
        "gauss_legendre_coefficients(n:int, points:vector_IdE,\n"
        "    weights:vector_IdE, tolerance:float=1.e-14) -> None\n"
        "C++: static void gauss_legendre_coefficients(size_t n,\n"
        "    vector<double> &points, vector<double> &weights,\n"
        "    double tolerance=1.e-14)"),
    "gauss_kronrod": (
        "gauss_kronrod(n:int, x:vector_IdE, w1:vector_IdE, w2:vector_IdE,\n"
        "    tolerance:float=1.e-14, max_iter:int=20) -> None\n"
        "C++: static void gauss_kronrod(size_t n, vector<double> &x,\n"
        "    vector<double> &w1, vector<double> &w2,\n"
        "    double tolerance=1.e-14, size_t max_iter=20)"),
    "gauss_laguerre_coefficients": (
        "gauss_laguerre_coefficients(alpha:float, n:int, points:vector_IdE,\n"
        "     weights:vector_IdE, tolerance:float=..., max_iter:int=20)\n"
        "    -> None\n"
        "C++: static void gauss_laguerre_coefficients(double alpha,\n"
        "    size_t n, vector<double> &points, vector<double> &weights,\n"
        "    double tolerance=std::numeric_limits<double>::epsilon(),\n"
        "    size_t max_iter=20)"),
    "gauss_hermite_coefficients": (
        "gauss_hermite_coefficients(np:int, points:vector_IdE,\n"
        "    weights:vector_IdE, use_precomputed:bool=True,\n"
        "    tolerance:float=..., max_iter:int=20) -> None\n"
        "C++: static void gauss_hermite_coefficients(size_t np,\n"
        "    vector<double> &points, vector<double> &weights,\n"
        "    bool use_precomputed=true,\n"
        "    double tolerance=std::numeric_limits<double>::epsilon(),\n"
        "    size_t max_iter=20)"),
}


def test_module_has_only_the_classes_and_the_enumeration():
    public = {name for name in dir(Math) if not name.startswith("__")}
    assert public == set(CLASSES) | {"hartman_watson_distribution_type"}
    assert Math.__name__ == "korvexmodules.Math" and Math.__doc__ is None
    assert {"__doc__", "__file__", "__loader__", "__name__", "__package__", "__spec__"} <= set(dir(Math))


@pytest.mark.parametrize("name", CLASSES)
def test_class_layout_and_documentation(name):
    cls = getattr(Math, name)
    assert cls.__module__ == "korvexmodules.Math" and cls.__name__ == name
    assert cls.__doc__ == CLASS_DOCS[name]
    assert (cls.__basicsize__, cls.__itemsize__) == (72, 0)
    assert (cls.__weakrefoffset__, cls.__dictoffset__) == (48, 56)
    assert cls.__hash__ is None
    methods = [key for key, value in vars(cls).items() if isinstance(value, staticmethod)]
    assert methods == CLASSES[name]


@pytest.mark.parametrize("cls, method", [(cls, m) for cls in CLASSES for m in CLASSES[cls]])
def test_method_documentation(cls, method):
    assert getattr(getattr(Math, cls), method).__doc__ == METHOD_DOCS[method]


@pytest.mark.parametrize("name", STATIC_CLASSES)
def test_static_function_classes_cannot_be_instantiated(name):
    with pytest.raises(TypeError) as raised:
        getattr(Math, name)()
    assert str(raised.value) == "this class cannot be instantiated"


def test_methods_are_callable_on_the_class():
    assert Math.normalDistribution.cdfnorm(0.0) == 0.5
    assert Math.gammaDistribution.gamma(5.0) == 24.0


def test_instances_are_unhashable_and_weakly_referable():
    inverter = Math.laplaceInverterGaverStehfest(10, 0.0)
    with pytest.raises(TypeError) as raised:
        hash(inverter)
    assert str(raised.value) == "unhashable type: 'korvexmodules.Math.laplaceInverterGaverStehfest'"
    alive = weakref.ref(inverter)
    del inverter
    assert alive() is None


def test_instance_repr_names_the_type_and_the_wrapped_object():
    inverter = Math.laplaceInverterGaverStehfest(10, 0.0)
    text = repr(inverter)
    assert text.startswith("<korvexmodules.Math.laplaceInverterGaverStehfest object at 0x")
    assert " wrapping 0x" in text and text.endswith(">")


@pytest.mark.parametrize("name, value", [
    ("FULLY_ASYMPTOTIC", 1), ("NUMERICAL_INTEGRAL", 2), ("MIXTURE", 3)])
def test_enumeration_values(name, value):
    enumeration = Math.hartman_watson_distribution_type
    item = getattr(enumeration, name)
    assert type(item) is enumeration and isinstance(item, int) and item == value
    assert enumeration.__name__ == "hartman_watson_distribution_type"
    assert enumeration.__module__ == "korvexmodules.Math" and enumeration.__bases__ == (int,)
    assert enumeration.__basicsize__ == 32


def test_enumeration_cannot_be_instantiated():
    with pytest.raises(TypeError) as raised:
        Math.hartman_watson_distribution_type(3)
    assert str(raised.value) == \
        "cannot create 'korvexmodules.Math.hartman_watson_distribution_type' instances"


def test_modules_are_recorded_in_import_order():
    assert Core.loaded_modules() == ["Core", "Vectorization", "Math"]


# Start-up failures, each in a fresh interpreter where a sibling module cannot be imported
# (None in sys.modules) or is not the package's own.
@pytest.mark.parametrize("prepare, module, error", [
    ("sys.modules['korvexmodules.Vectorization'] = None", "korvexmodules.Math",
     "Failed to load Math: No module named korvexmodules.Vectorization"),
    ("sys.modules['korvexmodules.Core'] = None", "korvexmodules.Math",
     "Failed to load Math: No module named korvexmodules.Core"),
    ("sys.modules['korvexmodules.Core'] = types.ModuleType('korvexmodules.Core')",
     "korvexmodules.Math",
     "Initialization failed for Math, not compatible with korvexmodules.Core"),
    ("sys.modules['korvexmodules.Core'] = None", "korvexmodules.Vectorization",
     "Failed to load Vectorization: No module named korvexmodules.Core"),
])
def test_import_failures(prepare, module, error):
    code = (f"import sys, types\n{prepare}\n"
            f"try:\n    import {module}\nexcept ImportError as e:\n    print(type(e).__name__, e)\n")
    result = run_python(code)
    assert result.returncode == 0, result.stderr
    assert result.stdout == f"ImportError {error}\n"


def test_library_errors_carry_their_location():
    with pytest.raises(Core.Error) as raised:
        Math.normalDistribution.cdfnorminv(1.5)
    error = raised.value
    assert isinstance(error, RuntimeError)
    assert error.message and error.function and error.file.startswith("Foundation/math/")
    assert isinstance(error.line, int) and error.line > 0
    assert str(error).startswith(error.message)


@pytest.mark.parametrize("call", [
    lambda: Math.gaussianQuadrature.gauss_legendre_coefficients(4000, vector_IdE(), vector_IdE()),
    lambda: Math.normalDistribution.cdfnorminv(2_000_000, np.full(2_000_000, 0.3), np.empty(2_000_000)),
], ids=["quadrature", "array inverse"])
def test_long_calls_release_the_gil(call):
    pause, duration = gil_pause_during(call)
    assert pause < duration / 2, (pause, duration)
