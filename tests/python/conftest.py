"""Shared helpers of the korvexmodules tests."""

import os
import subprocess
import sys

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
