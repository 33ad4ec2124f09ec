"""vector_IdE, the vector of doubles the korvex library functions take and fill."""

from collections.abc import Iterable, Iterator
from typing import SupportsFloat, SupportsIndex, overload

class vector_IdE:
    """A vector of doubles.

    vector_IdE()          an empty vector
    vector_IdE(n)         n zeros
    vector_IdE(v)         a copy of another vector_IdE
    vector_IdE(buffer)    a view of a writable, contiguous one-dimensional float64 buffer (a
                          numpy array): no copy; a read-only or strided buffer is copied
    vector_IdE(sequence)  a copy of any other sequence or iterable of numbers

    It exports its memory through the buffer protocol: numpy.asarray(v) shares it.
    """

    @overload
    def __init__(self, /) -> None: ...
    @overload
    def __init__(self, size: SupportsIndex, /) -> None: ...
    @overload
    def __init__(self, values: Iterable[SupportsFloat], /) -> None: ...
    def __len__(self) -> int: ...
    def __getitem__(self, index: SupportsIndex, /) -> float: ...
    def __setitem__(self, index: SupportsIndex, value: SupportsFloat, /) -> None: ...
    def __iter__(self) -> Iterator[float]: ...
    def __buffer__(self, flags: int, /) -> memoryview: ...
