"""A generated book of 10,000 options (Black-Scholes European and American vanillas, barriers,
Heston Europeans) priced by `python -m korvexmodules.batch` on a local Dask cluster, then
pictures of what the libraries computed, written with matplotlib.

    demo_book_on_dask [output folder] [rows]   (default: $KORVEX_DEMO_OUTPUT or ./demo_output)
"""

import os
import subprocess
import sys
import time
from pathlib import Path

from korvexmodules.batch import pictures, read_table
from korvexmodules.batch.sample import sample_book, sample_market

given = sys.argv[1] if len(sys.argv) > 1 else ""
folder = Path(given or os.environ.get("KORVEX_DEMO_OUTPUT", "demo_output"))
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000
folder.mkdir(parents=True, exist_ok=True)

market = sample_market()
market.write_json(folder / "book_market.json")
sample_book(rows).to_csv(folder / "book.csv", index=False)

print(f"Pricing {rows} options on a local Dask cluster (one worker per core) ...", flush=True)
start = time.perf_counter()
command = [sys.executable, "-m", "korvexmodules.batch", "price", str(folder / "book.csv"),
           "--market", str(folder / "book_market.json"), "--out", str(folder / "book_result.csv"),
           "--accuracy", "1e-3", "--quiet"]
code = subprocess.run(command).returncode
seconds = time.perf_counter() - start
result = read_table(folder / "book_result.csv", "result")
failed = result[result["error"] != ""]
print(f"  {len(result) - len(failed)} priced in {seconds:.1f} s (exit code {code}: rows that failed, capped)")
for text, count in failed["error"].value_counts().items():
    print(f"  {count} rows not priced: {text}")
result["price"] = result["price"].replace("", "nan").astype(float)

written = [pictures.sabr_smile(folder / "sabr_smile.png"),
           pictures.market_curves(market, folder / "market_curves.png"),
           pictures.black_scholes_profile(folder / "black_scholes_profile.png"),
           pictures.price_distribution(result, folder / "book_prices.png")]
heston = pictures.heston_grid()
written += [pictures.heston_surface(folder / "heston_surface.png", heston),
            pictures.heston_error_map(folder / "heston_error_map.png", heston)]
print("Pictures:", *(str(path) for path in written), sep="\n  ")

# Every generated row can be priced: a failure is a fault of the demo.
sys.exit(0 if failed.empty else 1)
