"""The package outside the build folder: `cmake --install` under a prefix, and pip from a copy of
the source tree into a virtual environment that sees Debian's packages, offline."""

import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import run_python

# The build and source folders come from CTest; run elsewhere, there is nothing to install.
if "KORVEX_BUILD_DIR" not in os.environ or "KORVEX_SOURCE_DIR" not in os.environ:
    pytest.skip("needs the folders of a CMake build (run through ctest)", allow_module_level=True)

SOURCE_DIR = Path(os.environ["KORVEX_SOURCE_DIR"])
BUILD_DIR = Path(os.environ["KORVEX_BUILD_DIR"])
CMAKE = os.environ.get("KORVEX_CMAKE", "cmake")
PYTHON_VERSION = f"python{sys.version_info.major}.{sys.version_info.minor}"

# Imports the package, computes with every module, checks the typing files and tells where the
# package and the korvex math, Market and Pricing libraries were loaded from.
PROBE = """
import os, korvexmodules, korvexmodules.Math as M
from korvexmodules import Analytics, Market, Pricing
from korvexmodules.Vectorization import vector_IdE
points, weights = vector_IdE(), vector_IdE()
M.gaussianQuadrature.gauss_legendre_coefficients(5, points, weights)
curve = Market.discount_curve_flat(0.0, 0.0)
spot = Market.equity_spot(0.0, 100.0)
put = Pricing.price_black_scholes(Pricing.vanilla_option("put", 100.0, 365.0),
                                  Pricing.black_scholes_market(spot, curve, curve, 0.2)).price
print(M.normalDistribution.cdfnorm(0.0), round(sum(weights), 12), Analytics.norm_cdf(0.0), curve.df(365.0),
      round(put, 3))
folder = os.path.dirname(korvexmodules.__file__)
assert all(os.path.exists(os.path.join(folder, f)) for f in
           ["py.typed"] + [m + ".pyi" for m in korvexmodules.__all__])
print(korvexmodules.__file__)
maps = open('/proc/self/maps').read().splitlines()
libraries = {line.split()[-1] for line in maps if any(name in line for name in ('libkorvex_math', 'libMarket', 'libPricing'))}
print(' '.join(sorted({os.path.dirname(path) for path in libraries})), len(libraries))
"""


def plain_environment():
    """The environment without the sanitizer preload, for programs built without it."""
    return {key: value for key, value in os.environ.items()
            if key not in ("LD_PRELOAD", "ASAN_OPTIONS", "PYTHONPATH")}


def probe(executable, env, cwd):
    result = run_python(PROBE, env=env, cwd=cwd, executable=executable)
    assert result.returncode == 0, result.stdout + result.stderr
    values, package, libraries = result.stdout.splitlines()
    assert values == "0.5 2.0 0.5 1.0 7.966"
    folder, count = libraries.split()
    assert count == "3"  # the three libraries, from the one folder
    return Path(package), Path(folder) / "libkorvex_math.so"


def test_cmake_install_under_a_prefix(tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run([CMAKE, "--install", str(BUILD_DIR), "--prefix", str(prefix)], check=True,
                   capture_output=True, env=plain_environment())
    env = os.environ.copy()
    env["PYTHONPATH"] = str(prefix / "lib" / PYTHON_VERSION / "site-packages")
    package, library = probe(sys.executable, env, tmp_path)
    assert package == prefix / "lib" / PYTHON_VERSION / "site-packages" / "korvexmodules" / "__init__.py"
    assert library.parent.resolve() == (prefix / "lib").resolve()


def copy_sources(target):
    ignored = shutil.ignore_patterns("build", ".git", ".venv", "*.egg-info", "__pycache__")
    shutil.copytree(SOURCE_DIR, target, ignore=ignored)


# The wheel is the same plain optimised build whichever suite runs this, so `make test` builds
# it once, in the optimised suite, rather than again beside the sanitized one.
@pytest.mark.skipif("LD_PRELOAD" in os.environ, reason="built by the optimised suite")
def test_pip_install_into_a_virtual_environment(tmp_path):
    sources = tmp_path / "korvex"
    copy_sources(sources)
    # A plain interpreter: the wheel is an optimised build without the sanitizers.
    env = plain_environment()
    env.update(PIP_DISABLE_PIP_VERSION_CHECK="1", KORVEX_BUILD_JOBS="2")
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", str(venv)],
                   check=True, env=env)
    pip = subprocess.run([str(venv / "bin" / "pip"), "install", "--no-build-isolation",
                          "--no-index", str(sources)], env=env, capture_output=True, text=True)
    assert pip.returncode == 0, pip.stdout[-5000:] + pip.stderr[-5000:]
    site = venv / "lib" / PYTHON_VERSION / "site-packages" / "korvexmodules"
    package, library = probe(str(venv / "bin" / "python"), env, tmp_path)
    assert package == site / "__init__.py"
    assert library.parent == site
