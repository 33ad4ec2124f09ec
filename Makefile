# Set-up and build entry points. `make demo` and `make test` work on a fresh Debian machine.
JOBS ?= $(shell nproc)
CMAKE_RELEASE := build/release
CMAKE_TEST := build/test
CMAKE_TEST_NATIVE := build/test-native
CMAKE_BENCH := build/bench

.PHONY: all deps demo test bench release clean install

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
# optimised for this machine (-O3 -march=native), as users build the libraries.
test: deps
	$(call run_suite,$(CMAKE_TEST),-DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON)
	$(call run_suite,$(CMAKE_TEST_NATIVE),-DCMAKE_BUILD_TYPE=Release -DKORVEX_NATIVE=ON)

bench:
	bash scripts/install-deps.sh --bench
	cmake -S . -B $(CMAKE_BENCH) -DCMAKE_BUILD_TYPE=Release -DKORVEX_BUILD_BENCHMARKS=ON
	cmake --build $(CMAKE_BENCH) -j $(JOBS)
	bash scripts/run-benchmarks.sh $(CMAKE_BENCH)

install: release
	cmake --install $(CMAKE_RELEASE) --prefix $(or $(PREFIX),/usr/local)

clean:
	rm -rf build
