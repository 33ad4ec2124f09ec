"""Shared helpers of the korvexmodules tests."""

import gc
import os
import subprocess
import sys
import threading
import time
import tracemalloc

import pytest


def run_python(code, env=None, cwd=None, executable=sys.executable):
    """Runs `code` in a fresh interpreter and returns the completed process (text output)."""
    return subprocess.run([executable, "-c", code], capture_output=True, text=True,
                          env=env if env is not None else os.environ.copy(), cwd=cwd,
                          timeout=600)


@pytest.fixture
def fresh_python():
    """Runs code in a fresh interpreter that sees the built package; fails on a crash."""
    def run(code):
        result = run_python(code)
        assert result.returncode == 0, result.stderr
        return result.stdout
    return run


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def reference_counts(args):
    # Small ints and other shared constants change their counts with any code that runs.
    return [sys.getrefcount(a) for a in args if sys.getrefcount(a) < 10**6]


def run_calls(function, args, times):
    for _ in range(times):
        try:
            function(*args)
        except Exception:
            pass


def assert_memory_flat(function, args, calls=100_000):
    """Calling function(*args) `calls` times (refusals included) leaves the reference counts of
    the arguments, the Python objects alive and the resident size as they were."""
    run_calls(function, args, 2000)
    gc.collect()
    references = reference_counts(args)
    total = sys.gettotalrefcount() if hasattr(sys, "gettotalrefcount") else None
    resident = resident_bytes()
    tracemalloc.start()
    run_calls(function, args, calls)
    gc.collect()
    traced, _ = tracemalloc.get_traced_memory()
    tracemalloc.stop()
    assert reference_counts(args) == references
    if total is not None:
        assert abs(sys.gettotalrefcount() - total) < 100
    assert traced < 64 * 1024, f"{traced} bytes of Python objects still alive"
    assert resident_bytes() - resident < 2**20


def results_of_threads(work, count=4):
    """work() run by `count` threads started together; their results in a list."""
    results = [None] * count

    def run(i):
        results[i] = work()

    threads = [threading.Thread(target=run, args=(i,)) for i in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


def gil_pause_during(call):
    """(longest pause of another Python thread, duration of call()): the pause is about the whole
    call when the call keeps the GIL, a few milliseconds at most when it releases it."""
    longest, last = [0.0], [0.0]
    running, done = threading.Event(), threading.Event()

    def spin():
        last[0] = time.perf_counter()
        running.set()
        while not done.is_set():
            now = time.perf_counter()
            longest[0] = max(longest[0], now - last[0])
            last[0] = now

    spinner = threading.Thread(target=spin)
    spinner.start()
    running.wait()
    start = time.perf_counter()
    call()
    duration = time.perf_counter() - start
    done.set()
    spinner.join()
    return longest[0], duration
