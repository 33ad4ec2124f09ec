# Set-up and build entry points. `make demo` and `make test` work on a fresh Debian machine.
JOBS ?= $(shell nproc)
CMAKE_RELEASE := build/release
CMAKE_TEST := build/test
CMAKE_TEST_NATIVE := build/test-native
CMAKE_BENCH := build/bench
CMAKE_FUZZ := build/fuzz
CMAKE_TSAN := build/tsan
FUZZ_SECONDS ?= 60

.PHONY: all deps demo test test-threads bench fuzz release clean install

all: release

deps:
	bash scripts/install-deps.sh

release: deps
	cmake -S . -B $(CMAKE_RELEASE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(CMAKE_RELEASE) -j $(JOBS)

demo: release
	for d in $(CMAKE_RELEASE)/examples/demo_*; do echo "== $$d"; "$$d" || exit 1; done

# run_suite(build folder, CMake options): configures, builds and runs the test suite there.
define run_suite
	cmake -S . -B $(1) $(2) -DKORVEX_BUILD_TESTS=ON
	cmake --build $(1) -j $(JOBS)
	ctest --test-dir $(1) --output-on-failure -j $(JOBS)
endef

# The suite runs in two builds: under AddressSanitizer and UndefinedBehaviorSanitizer, and
# optimised for this machine (-O3 -march=native), as users build the libraries; then the
# concurrency test runs under ThreadSanitizer.
test: deps
	$(call run_suite,$(CMAKE_TEST),-DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON)
	$(call run_suite,$(CMAKE_TEST_NATIVE),-DCMAKE_BUILD_TYPE=Release -DKORVEX_NATIVE=ON)
	$(MAKE) test-threads

# The concurrency test under ThreadSanitizer; only what it needs is built.
test-threads:
	cmake -S . -B $(CMAKE_TSAN) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE_THREAD=ON \
	  -DKORVEX_BUILD_TESTS=ON -DKORVEX_BUILD_EXAMPLES=OFF
	cmake --build $(CMAKE_TSAN) --target test_market_threads -j $(JOBS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $(CMAKE_TSAN)/tests/Market/test_market_threads

bench:
	bash scripts/install-deps.sh --bench
	cmake -S . -B $(CMAKE_BENCH) -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_BENCHMARKS=ON
	cmake --build $(CMAKE_BENCH) -j $(JOBS)
	bash scripts/run-benchmarks.sh $(CMAKE_BENCH)

# libFuzzer targets built with clang, each run for FUZZ_SECONDS from its committed corpus.
fuzz:
	bash scripts/install-deps.sh --fuzz
	cmake -S . -B $(CMAKE_FUZZ) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKORVEX_FUZZ=ON -DKORVEX_BUILD_EXAMPLES=OFF -DKORVEX_NATIVE=OFF
	cmake --build $(CMAKE_FUZZ) --target korvex_fuzz_targets -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/run-fuzz.sh $(CMAKE_FUZZ)

install: release
	cmake --install $(CMAKE_RELEASE) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf build
