"""How the korvexmodules.Math wrappers read their arguments: counts, scalar and vector
conversions, outputs, the overloaded cdfnorminv and the Laplace inverter's constructors."""

import array

import numpy as np
import pytest

from korvexmodules import Core
from korvexmodules.Math import (gammaDistribution, gaussianQuadrature, hartmanWatsonDistribution,
                                hartman_watson_distribution_type, inverseGaussianDistribution,
                                laplaceInverterGaverStehfest, normalDistribution)
from korvexmodules.Vectorization import vector_IdE

V = vector_IdE
N = normalDistribution
Q = gaussianQuadrature
HW = hartmanWatsonDistribution
MIXTURE = hartman_watson_distribution_type.MIXTURE


def legendre(n):
    points, weights = V(), V()
    Q.gauss_legendre_coefficients(n, points, weights)
    return points, weights


def raises(error, text, call, *args, **kwargs):
    with pytest.raises(error) as raised:
        call(*args, **kwargs)
    assert str(raised.value) == text


# (method, [valid arguments], minimum count, maximum count)
def signatures():
    roots, weights = legendre(8)
    x = V([1.0])
    return [
        (gammaDistribution.lgamma, [1.5], 1, 1),
        (gammaDistribution.gamma, [1.5], 1, 1),
        (inverseGaussianDistribution.density, [1.0, 2.0], 2, 2),
        (inverseGaussianDistribution.cumulative, [1.0, 2.0], 2, 2),
        (N.density_function, [0.5], 1, 1),
        (N.cdfnorm, [0.5], 1, 1),
        (N.cdf_over_density, [0.5], 1, 1),
        (N.cdfnorminv_fast, [0.5], 1, 1),
        (HW.log_distribution_asymptotique, [1.0, 0.5], 2, 2),
        (HW.distribution_numerical, [1.0, 1.0, roots, weights], 4, 4),
        (HW.distribution, [V(1), 1.0, x, roots, weights, MIXTURE, 37.0], 5, 7),
        (HW.cheyette_density, [V(), V(), 1.0, roots, weights, roots, weights], 7, 7),
        (Q.gauss_legendre_coefficients, [3, V(), V(), 1e-14], 3, 4),
        (Q.gauss_kronrod, [3, V(), V(), V(), 1e-14, 20], 4, 6),
        (Q.gauss_laguerre_coefficients, [0.0, 3, V(), V(), 1e-15, 20], 4, 6),
        (Q.gauss_hermite_coefficients, [3, V(), V(), True, 1e-15, 20], 3, 6),
    ]


def count_text(name, minimum, maximum, given):
    bound = "exactly" if minimum == maximum else "at least" if given < minimum else "at most"
    expected = minimum if given < minimum else maximum
    return f"{name}() takes {bound} {expected} argument{'' if expected == 1 else 's'} ({given} given)"


@pytest.mark.parametrize("index", range(16))
def test_argument_counts(index):
    method, valid, minimum, maximum = signatures()[index]
    for count in (minimum - 1, maximum + 1):
        args = (valid + [valid[-1]])[:count]
        raises(TypeError, count_text(method.__name__, minimum, maximum, count), method, *args)
    result = method(*valid[:minimum])
    assert result is None or isinstance(result, float)


@pytest.mark.parametrize("method", [N.cdfnorm, Q.gauss_kronrod, HW.distribution])
def test_keyword_arguments_are_refused(method):
    raises(TypeError, f"{method.__name__}() takes no keyword arguments", method, x=1.0)


@pytest.mark.parametrize("count", [0, 2, 4])
def test_cdfnorminv_overload_counts(count):
    raises(TypeError, f"no overload of cdfnorminv() takes {count} argument{'' if count == 1 else 's'}",
           N.cdfnorminv, *([1] * count))


@pytest.mark.parametrize("call, error, text", [
    (lambda: N.cdfnorm("0"), TypeError, "cdfnorm() argument 1: must be real number, not str"),
    (lambda: N.cdfnorm(None), TypeError, "cdfnorm() argument 1: must be real number, not NoneType"),
    (lambda: N.cdfnorm(10**400), OverflowError,
     "cdfnorm() argument 1: int too large to convert to float"),
    (lambda: inverseGaussianDistribution.density(1.0, [2.0]), TypeError,
     "density() argument 2: must be real number, not list"),
    (lambda: Q.gauss_legendre_coefficients(2.0, V(), V()), TypeError,
     "gauss_legendre_coefficients() argument 1: 'float' object cannot be interpreted as an integer"),
    (lambda: Q.gauss_legendre_coefficients(-1, V(), V()), OverflowError,
     "gauss_legendre_coefficients() argument 1: can't convert negative int to unsigned"),
    (lambda: Q.gauss_legendre_coefficients(2**64, V(), V()), OverflowError,
     "gauss_legendre_coefficients() argument 1: int too big to convert"),
    (lambda: Q.gauss_hermite_coefficients(3, V(), V(), "yes"), TypeError,
     "gauss_hermite_coefficients() argument 4: must be bool, not str"),
    (lambda: Q.gauss_kronrod(3, V(), V(), V(), 1e-14, 2.5), TypeError,
     "gauss_kronrod() argument 6: 'float' object cannot be interpreted as an integer"),
    (lambda: HW.distribution(V(1), 1.0, V([1.0]), *legendre(4), 3), TypeError,
     "distribution() argument 6: must be hartman_watson_distribution_type, not int"),
    (lambda: HW.distribution(V(1), 1.0, V([1.0]), *legendre(4), MIXTURE, "37"), TypeError,
     "distribution() argument 7: must be real number, not str"),
])
def test_scalar_conversion_errors(call, error, text):
    raises(error, text, call)


@pytest.mark.parametrize("argument, text", [
    ([0.0, 0.0], "argument 2: cannot pass list as a non-const vector_IdE reference"),
    ((0.0, 0.0), "argument 2: cannot pass tuple as a non-const vector_IdE reference"),
    (np.zeros(2), "argument 2: cannot pass ndarray as a non-const vector_IdE reference"),
    ("ab", "argument 2: method requires a vector_IdE, a str was provided."),
    ([None], "argument 2: method requires a vector_IdE, a list was provided."),
    (2, "argument 2: method requires a vector_IdE, a int was provided."),
    (None, "argument 2: method requires a vector_IdE, a NoneType was provided."),
    (laplaceInverterGaverStehfest(10, 0.0),
     "argument 2: method requires a vector_IdE, a laplaceInverterGaverStehfest was provided."),
])
def test_output_vector_errors(argument, text):
    raises(TypeError, "gauss_legendre_coefficients() " + text,
           Q.gauss_legendre_coefficients, 2, argument, V())


@pytest.mark.parametrize("argument, text", [
    ("ab", "distribution_numerical() argument 3: method requires a vector_IdE, a str was provided."),
    (1.0, "distribution_numerical() argument 3: method requires a vector_IdE, a float was provided."),
    ({1.0: 2.0}, "distribution_numerical() argument 3: method requires a vector_IdE, a dict was provided."),
])
def test_input_vector_errors(argument, text):
    raises(TypeError, text, HW.distribution_numerical, 1.0, 1.0, argument, V([1.0]))


def test_input_vectors_convert_sequences_and_buffers():
    roots, weights = legendre(16)
    expected = HW.distribution_numerical(1.0, 1.0, roots, weights)
    read_only = lambda v: np.frombuffer(np.asarray(v).tobytes())
    for convert in (list, tuple, np.array, read_only, lambda v: array.array("d", v)):
        assert HW.distribution_numerical(1.0, 1.0, convert(roots), convert(weights)) == expected


def test_subclass_of_vector_is_accepted_as_output():
    class Tagged(vector_IdE):
        pass
    points, weights = Tagged(), Tagged()
    Q.gauss_legendre_coefficients(3, points, weights)
    assert len(points) == 3 and len(weights) == 3


# Outputs of another size: an owning, unshared vector takes the new size; a shared one raises
# BufferError and keeps its memory.
def test_owning_output_takes_the_new_size():
    points, weights = V(7), V()
    Q.gauss_legendre_coefficients(4, points, weights)
    assert len(points) == 4 and len(weights) == 4


def shared_text(index, before, after):
    return (f"gauss_legendre_coefficients() argument {index}: cannot resize vector_IdE from "
            f"{before} to {after} values while its memory is shared (a view of another "
            f"object's buffer, or a buffer of it is exported)")


def test_exported_output_is_not_resized():
    points, weights = V(2), V()
    exported = np.asarray(points)
    raises(BufferError, shared_text(2, 2, 5), Q.gauss_legendre_coefficients, 5, points, weights)
    assert len(points) == 2 and np.shares_memory(exported, np.asarray(points))
    del exported
    Q.gauss_legendre_coefficients(5, points, weights)
    assert len(points) == 5


def test_view_output_is_not_resized():
    target = np.full(3, 7.0)
    view = V(target)
    raises(BufferError, shared_text(3, 3, 4), Q.gauss_legendre_coefficients, 4, V(), view)
    assert list(target) == [7.0, 7.0, 7.0] and len(view) == 3


def test_views_of_the_right_size_receive_the_results():
    points, weights = np.zeros(5), np.zeros(5)
    held = np.asarray(V([0.0] * 5))
    Q.gauss_legendre_coefficients(5, V(points), V(weights))
    expected_points, expected_weights = legendre(5)
    assert list(points) == list(expected_points) and list(weights) == list(expected_weights)
    assert held.sum() == 0.0


# cdfnorminv(size, uniform, gaussian)
UNIFORMS = [0.1, 0.5, 0.975, 0.3]


def expected_gaussians(values):
    return [N.cdfnorminv(p) for p in values]


@pytest.mark.parametrize("make_uniform", [list, tuple, np.array, V, lambda v: np.array(v, np.float32)])
@pytest.mark.parametrize("make_gaussian", [list, np.array, V])
def test_cdfnorminv_sequences(make_uniform, make_gaussian):
    uniform = make_uniform(UNIFORMS)
    gaussian = make_gaussian([9.0] * 5)
    assert N.cdfnorminv(3, uniform, gaussian) is None
    expected = expected_gaussians(np.asarray(UNIFORMS[:3], dtype=np.asarray(uniform).dtype)) + [9.0, 9.0]
    assert list(gaussian) == expected


def test_cdfnorminv_in_place_and_overlapping():
    values = np.array(UNIFORMS)
    N.cdfnorminv(4, values, values)
    assert list(values) == expected_gaussians(UNIFORMS)
    block = np.array(UNIFORMS + [0.0])
    N.cdfnorminv(4, block[:4], block[1:])
    assert list(block) == [UNIFORMS[0]] + expected_gaussians(UNIFORMS)


def test_cdfnorminv_list_unchanged_is_not_written():
    gaussian = [0.0] * 4
    N.cdfnorminv(4, UNIFORMS, gaussian)
    again = list(gaussian)
    N.cdfnorminv(4, UNIFORMS, again)
    assert all(a is b for a, b in zip(again, gaussian))
    untouched = [1.0, 2.0]
    N.cdfnorminv(0, [], untouched)
    assert untouched == [1.0, 2.0]


@pytest.mark.parametrize("args, error, text", [
    ((5, [0.5] * 3, [0.0] * 6), ValueError, "cdfnorminv() size 5 exceeds the length of uniform (3)"),
    ((5, [0.5] * 6, [0.0] * 2), ValueError, "cdfnorminv() size 5 exceeds the length of gaussian (2)"),
    ((5, np.full(3, 0.5), np.zeros(6)), ValueError,
     "cdfnorminv() size 5 exceeds the length of uniform (3)"),
    ((1, np.full(3, 0.5), V(0)), ValueError, "cdfnorminv() size 1 exceeds the length of gaussian (0)"),
    ((1, 0.5, [0.0]), TypeError, "cdfnorminv() argument 2: must be a sequence of floats, not float"),
    ((1, [0.5], None), TypeError, "cdfnorminv() argument 3: must be a sequence of floats, not NoneType"),
    ((1, ["a"], [0.0]), TypeError, "cdfnorminv() argument 2: must be real number, not str"),
    ((1, [0.9], (0.0,)), TypeError,
     "cdfnorminv() argument 3: 'tuple' object does not support item assignment"),
    ((-1, [0.5], [0.0]), OverflowError, "cdfnorminv() argument 1: can't convert negative int to unsigned"),
])
def test_cdfnorminv_sequence_errors(args, error, text):
    raises(error, text, N.cdfnorminv, *args)


def test_cdfnorminv_refused_uniform_leaves_gaussian_alone():
    for gaussian in ([1.0, 2.0], np.array([1.0, 2.0])):
        with pytest.raises(Core.Error):
            N.cdfnorminv(2, [0.5, 1.5], gaussian)
        assert list(gaussian) == [1.0, 2.0]


def test_cdfnorminv_read_only_buffer_output():
    gaussian = np.zeros(2)
    gaussian.flags.writeable = False
    raises(ValueError, "cdfnorminv() argument 3: assignment destination is read-only",
           N.cdfnorminv, 2, [0.5, 0.9], gaussian)


# laplaceInverterGaverStehfest constructors
def test_laplace_constructors():
    first = laplaceInverterGaverStehfest(10, 0.0)
    second = laplaceInverterGaverStehfest(first)
    assert type(second) is laplaceInverterGaverStehfest
    wrapped = lambda obj: repr(obj).split(" wrapping ")[1]
    assert wrapped(first) != wrapped(second)
    assert laplaceInverterGaverStehfest(np.uint8(12), 1) is not None
    del first
    assert laplaceInverterGaverStehfest(second) is not None


@pytest.mark.parametrize("args, kwargs, error, text", [
    ((), {"size": 10, "shift": 0.0}, TypeError, "this function takes no keyword arguments"),
    ((10,), {"shift": 0.0}, TypeError, "this function takes no keyword arguments"),
    ((10, 0.0, 1), {}, TypeError, "no overload of laplace_inverter_gaver_stehfest() takes 3 arguments"),
    ((), {}, TypeError, "no overload of laplace_inverter_gaver_stehfest() takes 0 arguments"),
    ((10,), {}, TypeError, "laplace_inverter_gaver_stehfest() argument 1: method requires a "
                           "laplaceInverterGaverStehfest, a int was provided."),
    ((V(2),), {}, TypeError, "laplace_inverter_gaver_stehfest() argument 1: method requires a "
                             "laplaceInverterGaverStehfest, a vector_IdE was provided."),
    (("10", 0.0), {}, TypeError,
     "laplace_inverter_gaver_stehfest() argument 1: 'str' object cannot be interpreted as an integer"),
    ((10, "0"), {}, TypeError, "laplace_inverter_gaver_stehfest() argument 2: must be real number, not str"),
    ((-2, 0.0), {}, OverflowError,
     "laplace_inverter_gaver_stehfest() argument 1: can't convert negative int to unsigned"),
])
def test_laplace_constructor_errors(args, kwargs, error, text):
    raises(error, text, laplaceInverterGaverStehfest, *args, **kwargs)
