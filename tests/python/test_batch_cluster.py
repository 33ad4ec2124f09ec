"""korvexmodules.batch on a local Dask cluster of two worker processes, shared by the module:
prices equal to the last bit to the in-process run and to the pricer called row by row, a
worker killed during a run, and the command connecting to a running scheduler."""

import logging
import os
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pandas as pd
import pytest

from korvexmodules.batch import IN_PROCESS, price_book
from korvexmodules.batch.partition import PRICE_COLUMNS
from korvexmodules.batch.sample import sample_book, sample_implied_volatility_book, sample_market
from test_batch import assert_same_volatilities, price_one_by_one

distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                                  silence_logs=logging.CRITICAL) as cluster, distributed.Client(cluster) as client:
        yield client


@pytest.fixture(scope="module")
def market():
    return sample_market()


def assert_same_results(result, expected):
    assert list(result.columns) == list(expected.columns)
    for column in result.columns:
        if column == "implied_volatility":
            assert_same_volatilities(result[column].to_numpy(), expected[column].to_numpy())
        else:
            np.testing.assert_array_equal(result[column].to_numpy(), expected[column].to_numpy(), err_msg=column)


def test_prices_on_the_cluster_equal_one_by_one_calls(client, market):
    book = sample_book(12, seed=11, heston=False)
    book.loc[[4], "volatility"] = -0.2
    on_cluster = price_book(book, market, scheduler=client, partition_size=3, accuracy=1e-3)
    assert_same_results(on_cluster, price_book(book, market, scheduler=IN_PROCESS, accuracy=1e-3))
    assert list(on_cluster["error"] != "") == [i == 4 for i in range(12)]
    good = book.drop(index=4).fillna("").astype(str)
    expected = price_one_by_one(good, market)
    for column in PRICE_COLUMNS:
        np.testing.assert_array_equal(on_cluster[column].drop(index=4), expected[column], err_msg=column)


def test_a_killed_worker_has_its_partitions_recomputed(client, market):
    book = sample_implied_volatility_book(200_000)
    expected = price_book(book, market, scheduler=IN_PROCESS, partition_size=200_000, implied_volatility=True)
    pids = client.run(os.getpid)
    outcome = {}
    run = threading.Thread(target=lambda: outcome.update(result=price_book(
        book, market, scheduler=client, partition_size=5_000, implied_volatility=True)))
    run.start()
    busy = []
    while run.is_alive() and not busy:
        busy = [worker for worker, tasks in client.processing().items() if tasks]
        time.sleep(0.005)
    assert busy, "the run ended before a worker could be killed"
    os.kill(pids[busy[0]], signal.SIGKILL)
    run.join()
    assert_same_results(outcome["result"], expected)
    client.wait_for_workers(2, timeout=120)


def test_command_connects_to_a_running_scheduler(client, market, tmp_path):
    sample_implied_volatility_book(50).to_csv(tmp_path / "book.csv", index=False)
    market.write_binary(tmp_path / "market.bin")
    done = subprocess.run([sys.executable, "-m", "korvexmodules.batch", "price", str(tmp_path / "book.csv"),
                           "--market", str(tmp_path / "market.bin"), "--out", str(tmp_path / "result.csv"),
                           "--scheduler", client.scheduler.address, "--implied-volatility", "--quiet"],
                          capture_output=True, text=True, timeout=600)
    assert done.returncode == 0, done.stderr
    assert len(pd.read_csv(tmp_path / "result.csv")) == 50
