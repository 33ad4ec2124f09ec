"""python -m korvexmodules.batch price BOOK --market MARKET --out RESULT [options]

Exit code: 0 when every row is priced; otherwise the number of rows whose error column is
filled, capped at 124 (so 124 means 124 or more); 125 when nothing was priced (bad arguments,
an unreadable book, market or scenario file, a cluster that failed), in which case no result
file is written. Codes from 126 up stay with the shell (not executable, not found, signals)."""

import argparse
import sys

from .run import failed_rows, price_book
from .schema import BookError

MOST_FAILED_ROWS = 124
NOTHING_PRICED = 125


class Parser(argparse.ArgumentParser):
    def error(self, message):
        self.print_usage(sys.stderr)
        self.exit(NOTHING_PRICED, f"{self.prog}: error: {message}\n")


def positive_int(text):
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"{text} is not a positive whole number")
    return value


def parser():
    main = Parser(prog="python -m korvexmodules.batch", description="Prices books of options on Dask.")
    commands = main.add_subparsers(dest="command", required=True, parser_class=Parser)
    price = commands.add_parser("price", help="price a book, or find the implied volatilities of its prices",
                                description=__doc__.split("\n\n", 1)[1], formatter_class=argparse.RawDescriptionHelpFormatter)
    price.add_argument("book", help="CSV or Parquet table of instruments")
    price.add_argument("--market", required=True, help="market data container file (JSON or binary)")
    price.add_argument("--out", required=True, help="result file, CSV or Parquet (by its suffix), written atomically")
    price.add_argument("--scheduler", default=None,
                       help="address of a running Dask scheduler, or 'synchronous' to run in this process "
                            "(default: a local cluster with one worker per core)")
    price.add_argument("--workers", type=positive_int, default=None, help="workers of the local cluster")
    price.add_argument("--partition-size", type=positive_int, default=None,
                       help="rows per task (default 100 for prices, 100000 for implied volatilities)")
    price.add_argument("--scenarios", default=None, help="CSV or Parquet table of scenarios; each prices the whole book")
    price.add_argument("--implied-volatility", action="store_true",
                       help="read the column price, write the column implied_volatility")
    price.add_argument("--accuracy", type=float, default=None, help="absolute price accuracy of the PDE pricer")
    price.add_argument("--retries", type=int, default=3, help="times a failed task is run again (default 3)")
    price.add_argument("--quiet", action="store_true", help="no progress bar")
    return main


def main(argv=None):
    arguments = parser().parse_args(argv)
    try:
        result = price_book(arguments.book, arguments.market, arguments.out, scheduler=arguments.scheduler,
                            workers=arguments.workers, partition_size=arguments.partition_size,
                            scenarios=arguments.scenarios, implied_volatility=arguments.implied_volatility,
                            accuracy=arguments.accuracy, retries=arguments.retries, progress=not arguments.quiet)
    except BookError as error:
        print(f"error: {error}", file=sys.stderr)
        return NOTHING_PRICED
    except Exception as error:  # a cluster or worker failure: nothing was written
        print(f"error: the book could not be priced: {type(error).__name__}: {error}", file=sys.stderr)
        return NOTHING_PRICED
    failed = failed_rows(result)
    print(f"{len(result) - failed} of {len(result)} rows priced, {failed} failed; result in {arguments.out}",
          file=sys.stderr)
    return min(failed, MOST_FAILED_ROWS)


if __name__ == "__main__":
    sys.exit(main())
