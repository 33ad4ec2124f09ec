"""A book priced on Dask: the files read, the partitions and scenarios sent as tasks, the
market sent once to every worker, the result gathered and written atomically."""

import contextlib
import importlib.util
import logging
import os
import uuid
import warnings
from pathlib import Path

import numpy as np
import pandas as pd

from korvexmodules import Market
from korvexmodules.Core import Error

from .partition import IMPLIED_VOLATILITY_COLUMN, PRICE_COLUMNS, Settings, price_partition
from .references import BASE, Scenario
from .schema import BookError, check_columns, parse_numbers

BINARY_MAGIC = b"KORVEXBF"
PARQUET_SUFFIXES = (".parquet", ".pq")
SCENARIO_SHIFTS = ("spot_shift", "volatility_shift", "rate_shift", "carry_shift")
# Rows per task when none is given: a PDE price costs milliseconds, an implied volatility
# about a microsecond; either way a task lasts a few tenths of a second on one core.
DEFAULT_PARTITION = {False: 100, True: 100_000}
IN_PROCESS = "synchronous"


# --- Files -----------------------------------------------------------------------------------

def is_parquet(path):
    return Path(path).suffix.lower() in PARQUET_SUFFIXES


def require_parquet(path):
    """Refuses a Parquet path where pandas has no Parquet engine (Debian packages none)."""
    if is_parquet(path) and not any(importlib.util.find_spec(m) for m in ("pyarrow", "fastparquet")):
        raise BookError(f'Parquet files need pyarrow, which is not installed here; use CSV for "{path}"')


def read_table(path, what):
    """A CSV file (every cell as text, so that the result keeps it as written) or a Parquet
    file, as a DataFrame."""
    require_parquet(path)
    try:
        if is_parquet(path):
            return pd.read_parquet(path)
        return pd.read_csv(path, dtype=str, keep_default_na=False)
    except (OSError, ValueError, pd.errors.ParserError) as error:
        raise BookError(f'Cannot read the {what} "{path}": {error}') from None


def read_market(path):
    """The any_container of a JSON or binary market file (told apart by the binary header)."""
    try:
        with open(path, "rb") as file:
            binary = file.read(len(BINARY_MAGIC)) == BINARY_MAGIC
        return Market.any_container.read_binary(path) if binary else Market.any_container.read_json(path)
    except (OSError, Error) as error:
        raise BookError(f'Cannot read the market "{path}": {error}') from None


def read_scenarios(source):
    """Scenarios from a CSV/Parquet file or a DataFrame: a "scenario" column of distinct names
    and any of the shift columns (empty cells are 0)."""
    table = source if isinstance(source, pd.DataFrame) else read_table(source, "scenarios")
    unknown = [c for c in table.columns if c not in ("scenario",) + SCENARIO_SHIFTS]
    if "scenario" not in table.columns or unknown:
        raise BookError('The scenarios need a column "scenario" and may have '
                        + ", ".join(f'"{c}"' for c in SCENARIO_SHIFTS)
                        + ("; unknown: " + ", ".join(f'"{c}"' for c in unknown) if unknown else ""))
    names = table["scenario"].astype(str).str.strip()
    if names.duplicated().any() or (names == "").any() or len(names) == 0:
        raise BookError("The scenarios need distinct, non-empty names")
    shifts = {}
    for column in SCENARIO_SHIFTS:
        cells = table[column].to_numpy(dtype=object) if column in table else np.full(len(table), "", dtype=object)
        blank = pd.isna(cells) | (cells == "")
        values = np.where(blank, 0.0, parse_numbers(np.where(blank, "", cells)))
        if not np.isfinite(values).all():
            raise BookError(f'The scenario column "{column}" holds a value that is not a finite number')
        shifts[column] = values
    return [Scenario(name, *(float(shifts[c][i]) for c in SCENARIO_SHIFTS)) for i, name in enumerate(names)]


def write_table(frame, path):
    """Writes CSV or Parquet (by the suffix) to a temporary file beside `path`, then renames it:
    `path` holds either its old content or the whole new table, never part of it."""
    path = Path(path)
    temporary = path.parent / f".{path.name}.{uuid.uuid4().hex}.tmp"
    # Created as open() creates files (mode 0666 less the umask), not private as mkstemp's.
    handle = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666)
    try:
        with os.fdopen(handle, "wb") as file:
            if is_parquet(path):
                frame.to_parquet(file, index=False)
            else:
                frame.to_csv(file, index=False)
            file.flush()
            os.fsync(file.fileno())
        os.replace(temporary, path)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise


def check_output(out, *inputs):
    """Refuses, before any work, a result path whose folder cannot be written or that is one of
    the input files (which the result would replace)."""
    out = Path(out)
    require_parquet(out)
    folder = out.parent
    if not folder.is_dir() or not os.access(folder, os.W_OK):
        raise BookError(f'Cannot write the result "{out}": its folder does not exist or is not writable')
    for source in inputs:
        if isinstance(source, (str, os.PathLike)) and out.exists() and Path(source).exists() \
                and out.resolve() == Path(source).resolve():
            raise BookError(f'The result "{out}" would replace the input file "{source}"')


# --- Scheduling ------------------------------------------------------------------------------

@contextlib.contextmanager
def dask_client(scheduler, workers):
    """A distributed Client for `scheduler`: None starts a local cluster of `workers` processes
    (one per core by default) with one thread each, an address connects to a running
    scheduler, a Client is used as it is. IN_PROCESS yields None (Dask's in-process
    scheduler)."""
    if scheduler == IN_PROCESS:
        yield None
        return
    import distributed
    if isinstance(scheduler, distributed.Client):
        yield scheduler
        return
    if scheduler is None:
        cluster = distributed.LocalCluster(n_workers=workers or os.cpu_count(), threads_per_worker=1,
                                           processes=True, dashboard_address=None,
                                           silence_logs=logging.ERROR)
        with cluster, distributed.Client(cluster) as client:
            yield client
        return
    with distributed.Client(scheduler) as client:
        yield client


def run_tasks(client, tasks, container, retries, progress):
    """The results of price_partition(part, container, scenario, settings) for every
    (part, scenario, settings) of `tasks`, in order."""
    if client is None:
        import dask
        from dask.diagnostics import ProgressBar
        delayed = [dask.delayed(price_partition, pure=False)(part, container, *rest) for part, *rest in tasks]
        with ProgressBar() if progress else contextlib.nullcontext(), warnings.catch_warnings():
            # Chosen on purpose even where a distributed client is open in this process.
            warnings.filterwarnings("ignore", "Running on a single-machine scheduler")
            return list(dask.compute(*delayed, scheduler=IN_PROCESS))
    import distributed
    # Every worker receives the market once (pickled as its binary record) and keeps it.
    market = client.scatter(container, broadcast=True, hash=False)
    with warnings.catch_warnings():
        # Each partition travels inside its task, so that the scheduler can run the task again
        # on another worker when its worker dies (data scattered to a dead worker is lost).
        warnings.filterwarnings("ignore", "Large object of size")
        futures = [client.submit(price_partition, part, market, *rest, retries=retries, pure=False)
                   for part, *rest in tasks]
    try:
        if progress:
            distributed.progress(futures, notebook=False)
        return client.gather(futures)
    finally:
        client.cancel(futures + [market])


# --- The book --------------------------------------------------------------------------------

def result_columns(implied_volatility):
    return ((IMPLIED_VOLATILITY_COLUMN,) if implied_volatility else PRICE_COLUMNS) + ("error",)


def price_book(book, market, out=None, *, scheduler=None, workers=None, partition_size=None,
               scenarios=None, implied_volatility=False, accuracy=None, retries=3, progress=False):
    """Prices a book and returns the result table (and writes it to `out` when given).

    book: a CSV/Parquet path or a DataFrame of instruments; market: a market file (JSON or
    binary any_container) or an any_container; scenarios: None, a path or a DataFrame.
    scheduler: None (a local cluster, `workers` processes), "synchronous" (in this process), a
    scheduler address, or a distributed.Client. The result is the book's columns followed by
    price, delta, gamma, theta and vega (implied_volatility with implied_volatility=True) and
    error ("" where priced); with scenarios the book repeats once per scenario after a column
    "scenario". Raises BookError when the inputs cannot be used at all; nothing is written
    then."""
    if out is not None:
        check_output(out, book, market, scenarios)
    if partition_size is not None and (int(partition_size) != partition_size or partition_size < 1):
        raise BookError(f"The partition size must be a positive whole number, not {partition_size}")
    if accuracy is not None and not (np.isfinite(accuracy) and accuracy > 0):
        raise BookError(f"The accuracy must be a positive number, not {accuracy}")
    if int(retries) != retries or retries < 0:
        raise BookError(f"The retries must be a whole number from 0, not {retries}")
    table = book if isinstance(book, pd.DataFrame) else read_table(book, "book")
    check_columns(table, implied_volatility)
    clashes = [c for c in result_columns(implied_volatility) + ("scenario",) if c in table.columns]
    if clashes:
        raise BookError("The book already has the result column " + ", ".join(f'"{c}"' for c in clashes))
    container = market if isinstance(market, Market.any_container) else read_market(market)
    cases = [BASE] if scenarios is None else read_scenarios(scenarios)
    table = table.reset_index(drop=True)
    size = int(partition_size or DEFAULT_PARTITION[implied_volatility])
    parts = [table.iloc[start:start + size] for start in range(0, len(table), size)]
    settings = Settings(implied_volatility, accuracy)
    tasks = [(part, scenario, settings) for scenario in cases for part in parts]
    with dask_client(scheduler, workers) as client:
        computed = run_tasks(client, tasks, container, retries, progress) if tasks else []
    result = assemble(table, parts, cases, computed, implied_volatility, scenarios is not None)
    if out is not None:
        write_table(result, out)
    return result


def assemble(table, parts, cases, computed, implied_volatility, with_scenarios):
    """The book with its result columns, once per scenario."""
    pieces = []
    for k, scenario in enumerate(cases):
        rows = computed[k * len(parts):(k + 1) * len(parts)]
        columns = pd.concat(rows) if rows else pd.DataFrame(columns=result_columns(implied_volatility))
        piece = pd.concat([table, columns.reset_index(drop=True)], axis=1)
        if with_scenarios:
            piece.insert(0, "scenario", scenario.name)
        pieces.append(piece)
    return pd.concat(pieces, ignore_index=True)


def failed_rows(result):
    return int((result["error"] != "").sum())
