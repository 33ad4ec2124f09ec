"""korvexmodules.batch at scale, on local Dask clusters of 1 and 2 worker processes (one thread
each):

  1. a 10^6-row Black-Scholes implied-volatility book (partitions of 10^5 rows), beside the
     same rows inverted in this process by one vectorised Analytics call per 2^14 rows (what
     a task does, without Dask);
  2. a 10^4-row book of American options priced by the PDE pricer (partitions of 100 rows,
     accuracy 1e-3), beside the vectorised pricer called in this process on 500 of them;
  3. the cluster's cost per task: 2,000 empty tasks on one worker, and the market shipped to
     the workers;
and from these, the workers a 10^7-option book under 100 scenarios needs to finish in a minute,
and the partition sizes that keep the scheduler's share under 5 % and within what one scheduler
dispatches in that minute.

Wall-clock seconds (best of the repetitions) and options per second. Usage:
PYTHONPATH=<build>/python /usr/bin/python3 bench_batch_scale.py [--quick]
"""

import logging
import os
import sys
import time

import numpy as np

from korvexmodules.batch import price_book
from korvexmodules.batch.partition import Settings, price_partition
from korvexmodules.batch.sample import sample_book, sample_implied_volatility_book, sample_market

import distributed

QUICK = "--quick" in sys.argv
REPEATS = 1 if QUICK else 2
IMPLIED_ROWS = 100_000 if QUICK else 1_000_000
AMERICAN_ROWS = 1_000 if QUICK else 10_000
EMPTY_TASKS = 2_000


def best_of(function, repeats=REPEATS):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return min(times)


def american_book(rows):
    book = sample_book(rows, seed=7, heston=False)
    book["exercise"] = "american"
    book[["barrier", "barrier_type"]] = [np.nan, ""]
    return book


def nothing():
    return None


def cluster_of(workers):
    return distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                    dashboard_address=None, silence_logs=logging.ERROR)


def main():
    market = sample_market()
    implied_book = sample_implied_volatility_book(IMPLIED_ROWS)
    pde_book = american_book(AMERICAN_ROWS)
    print(f"korvexmodules.batch on this machine ({os.cpu_count()} cores, shared with other work)")

    in_process = {
        "implied": best_of(lambda: price_partition(implied_book, market, settings=Settings(True))) / IMPLIED_ROWS,
        "pde": best_of(lambda: price_partition(pde_book.head(500), market, settings=Settings(False, 1e-3)), 1) / 500,
    }
    print(f"  one core, no Dask: implied volatility {1 / in_process['implied']:,.0f} options/s, "
          f"American PDE {1 / in_process['pde']:,.1f} options/s")

    rates = {}
    for workers in (1, 2):
        start = time.perf_counter()
        with cluster_of(workers) as cluster, distributed.Client(cluster) as client:
            client.wait_for_workers(workers)
            started = time.perf_counter() - start
            implied = best_of(lambda: price_book(implied_book, market, scheduler=client, partition_size=100_000,
                                                 implied_volatility=True))
            pde = best_of(lambda: price_book(pde_book, market, scheduler=client, partition_size=100,
                                             accuracy=1e-3), 1)
            rates[workers] = (IMPLIED_ROWS / implied, AMERICAN_ROWS / pde)
            if workers == 1:
                futures = [client.submit(nothing, pure=False) for _ in range(EMPTY_TASKS)]
                start = time.perf_counter()
                client.gather(futures)
                per_task = (time.perf_counter() - start) / EMPTY_TASKS
                shipped = best_of(lambda: client.cancel(client.scatter(market, broadcast=True, hash=False)), 3)
        print(f"  {workers} worker(s), cluster started in {started:.1f} s: "
              f"{IMPLIED_ROWS:,} implied volatilities in {implied:.2f} s ({rates[workers][0]:,.0f} options/s); "
              f"{AMERICAN_ROWS:,} American options in {pde:.1f} s ({rates[workers][1]:,.1f} options/s)")
    for i, name in enumerate(("implied volatilities", "American PDE")):
        print(f"  2 workers / 1 worker, {name}: {rates[2][i] / rates[1][i]:.2f}x")
    print(f"  per task: {per_task * 1e3:.2f} ms of cluster time (empty tasks, one worker); "
          f"market sent to every worker in {shipped * 1e3:.1f} ms")

    options = 10**7 * 100
    dispatched = 60.0 / per_task  # tasks one scheduler hands out in a minute
    for i, name in enumerate(("implied volatilities", "American PDE")):
        cost = 1.0 / rates[1][i]  # seconds per option on one worker, the cluster's costs included
        workers = int(np.ceil(1.05 * options * cost / 60.0))
        # Partitions: the task's overhead under 5 % of its rows' time; no more tasks than the
        # scheduler dispatches in the minute; no more rows than one worker prices in a minute.
        fewest_rows = int(np.ceil(max(per_task / (0.05 * cost), options / dispatched)))
        most_rows = int(60.0 / cost)
        print(f"  10^7 options x 100 scenarios, {name}: {cost * 1e6:,.1f} us per option on one worker -> "
              f"{workers:,} workers for one minute; partitions of {fewest_rows:,} to {most_rows:,} rows", end="")
        if fewest_rows > most_rows:
            schedulers = int(np.ceil(options / most_rows / dispatched))
            print(f" cannot be met by one scheduler ({dispatched:,.0f} tasks a minute): "
                  f"{schedulers} clusters with partitions of {most_rows:,} rows")
        else:
            print()

if __name__ == "__main__":
    main()
