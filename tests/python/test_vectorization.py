"""korvexmodules.Vectorization.vector_IdE: construction, element access, buffer protocol."""

import array
import gc
import weakref

import numpy as np
import pytest

from korvexmodules.Vectorization import vector_IdE


@pytest.mark.parametrize("source, expected", [
    ((), []),
    ((0,), []),
    ((3,), [0.0, 0.0, 0.0]),
    ((np.int64(2),), [0.0, 0.0]),
    (([1, 2.5, -3],), [1.0, 2.5, -3.0]),
    (((0.5, 1e300),), [0.5, 1e300]),
    ((range(3),), [0.0, 1.0, 2.0]),
    (((x * x for x in range(4)),), [0.0, 1.0, 4.0, 9.0]),
    ((np.arange(4, dtype=np.int32),), [0.0, 1.0, 2.0, 3.0]),
    ((np.arange(6.0)[::2],), [0.0, 2.0, 4.0]),
    ((array.array("d", [7.0, 8.0]),), [7.0, 8.0]),
    ((bytearray(b"\x01\x02"),), [1.0, 2.0]),
])
def test_construction(source, expected):
    v = vector_IdE(*source)
    assert len(v) == len(expected)
    assert list(v) == expected


@pytest.mark.parametrize("args, kwargs, error, text", [
    ((-1,), {}, ValueError, "vector_IdE size must not be negative, got -1"),
    ((2.0,), {}, TypeError, "vector_IdE() takes a size, a sequence of numbers or a buffer, not float"),
    ((None,), {}, TypeError, "vector_IdE() takes a size, a sequence of numbers or a buffer, not NoneType"),
    (("ab",), {}, TypeError, "must be real number, not str"),
    (([1.0, None],), {}, TypeError, "must be real number, not NoneType"),
    ((np.zeros((2, 3)),), {}, TypeError,
     "vector_IdE() takes a one-dimensional buffer, not one of 2 dimensions"),
    ((1, 2), {}, TypeError, "vector_IdE() takes at most 1 argument (2 given)"),
    ((), {"size": 3}, TypeError, "vector_IdE() takes no keyword arguments"),
])
def test_construction_errors(args, kwargs, error, text):
    with pytest.raises(error) as raised:
        vector_IdE(*args, **kwargs)
    assert str(raised.value) == text


def test_impossible_size_is_a_memory_error():
    with pytest.raises(MemoryError):
        vector_IdE(2**62)


def test_float64_array_is_viewed_without_copy():
    a = np.arange(5.0)
    v = vector_IdE(a)
    v[1] = -1.0
    a[2] = 42.0
    assert a[1] == -1.0 and v[2] == 42.0
    assert np.shares_memory(np.asarray(v), a)
    del a
    gc.collect()
    assert list(v) == [0.0, -1.0, 42.0, 3.0, 4.0]  # the view keeps the array alive


@pytest.mark.parametrize("make", [
    lambda a: a[::2],                              # not contiguous
    lambda a: a.astype(np.float32),                # other element type
    lambda a: np.frombuffer(a.tobytes()),          # read-only
])
def test_other_buffers_are_copied(make):
    source = make(np.arange(6.0))
    v = vector_IdE(source)
    v[0] = 99.0
    assert source[0] == 0.0
    assert list(v) == [float(x) for x in [99.0, *source[1:]]]


def test_copy_of_a_vector_is_independent():
    v = vector_IdE([1.0, 2.0])
    w = vector_IdE(v)
    w[0] = 5.0
    assert list(v) == [1.0, 2.0] and list(w) == [5.0, 2.0]


def test_indexing():
    v = vector_IdE([1.0, 2.0, 3.0])
    assert (v[0], v[-1], v[np.int64(1)]) == (1.0, 3.0, 2.0)
    v[-2] = 7
    assert list(v) == [1.0, 7.0, 3.0]
    assert isinstance(v[0], float)


@pytest.mark.parametrize("operation, error, text", [
    (lambda v: v[3], IndexError, "vector_IdE index out of range"),
    (lambda v: v[-4], IndexError, "vector_IdE index out of range"),
    (lambda v: v.__setitem__(3, 1.0), IndexError, "vector_IdE index out of range"),
    (lambda v: v[2**70], IndexError, "cannot fit 'int' into an index-sized integer"),
    (lambda v: v[1.0], TypeError, "vector_IdE indices must be integers, not float"),
    (lambda v: v[0:2], TypeError, "vector_IdE indices must be integers, not slice"),
    (lambda v: v.__setitem__(0, "x"), TypeError, "must be real number, not str"),
    (lambda v: v.__delitem__(0), TypeError, "vector_IdE items cannot be deleted"),
    (lambda v: hash(v), TypeError, "unhashable type: 'korvexmodules.Vectorization.vector_IdE'"),
])
def test_access_errors(operation, error, text):
    v = vector_IdE([1.0, 2.0, 3.0])
    with pytest.raises(error) as raised:
        operation(v)
    assert str(raised.value) == text
    assert list(v) == [1.0, 2.0, 3.0]


@pytest.mark.parametrize("values, text", [
    ([], "vector_IdE([])"),
    ([1.0, -2.5, 0.1], "vector_IdE([1.0, -2.5, 0.1])"),
    (list(range(10)), "vector_IdE([0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0])"),
    (list(range(11)), "vector_IdE([0.0, 1.0, 2.0, ..., 8.0, 9.0, 10.0], size=11)"),
    ([float("nan"), float("inf"), 1e-300], "vector_IdE([nan, inf, 1e-300])"),
])
def test_repr(values, text):
    assert repr(vector_IdE(values)) == text


def test_buffer_protocol_shares_memory():
    v = vector_IdE([1.0, 2.0, 3.0])
    a = np.asarray(v)
    assert a.dtype == np.float64 and a.shape == (3,) and a.flags.writeable
    a[0] = 10.0
    assert v[0] == 10.0
    m = memoryview(v)
    assert (m.format, m.itemsize, m.ndim, m.shape, m.strides, m.readonly) == \
        ("d", 8, 1, (3,), (8,), False)
    assert m.tolist() == [10.0, 2.0, 3.0]
    assert bytes(memoryview(vector_IdE([1.0])).cast("B")) == np.array([1.0]).tobytes()
    assert np.asarray(vector_IdE()).shape == (0,)


def test_array_keeps_vector_alive():
    v = vector_IdE([1.0, 2.0])
    alive = weakref.ref(v)
    a = np.asarray(v)
    del v
    gc.collect()
    assert alive() is not None and list(a) == [1.0, 2.0]
    del a
    gc.collect()
    assert alive() is None


def test_subclasses_keep_the_behaviour():
    class Named(vector_IdE):
        pass
    v = Named([1.0, 2.0])
    v.name = "x"
    assert isinstance(v, vector_IdE) and list(v) == [1.0, 2.0] and v.name == "x"
    assert np.asarray(v).sum() == 3.0

