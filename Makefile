# make run   - install what is missing, build, start the camera application
#              on the simulated camera
# make test  - install what is missing, check the source style, build, run
#              every test (release and sanitizer builds), the fuzz targets'
#              short runs and, under ThreadSanitizer, the tests that start
#              threads; the release builds of GCC and clang treat warnings
#              as errors
# make bench - build and run the benchmarks
# make fuzz  - run every fuzz target for FUZZ_SECONDS (default 300) each
# make soak  - the camera application under load for SOAK_SECONDS (default 600)
JOBS ?= $(shell nproc)
# ccache (when installed) rewrites paths below the checkout as relative ones,
# so that another clone of the tree reuses the same cache entries.
export CCACHE_BASEDIR ?= $(CURDIR)

.PHONY: setup build run test check-format test-release test-clang test-sanitize test-tsan test-fuzz fuzz bench soak clean

setup:
	@scripts/setup.sh

# Warnings as errors only where make test builds: a developer's build goes
# on past a warning a newer compiler brings.
build: setup
	cmake --preset release -DQDV_WERROR=OFF
	cmake --build --preset release -j $(JOBS)

run: build
	@scripts/run.sh build/release

test-release: setup
	cmake --preset release -DQDV_WERROR=ON
	cmake --build --preset release -j $(JOBS)
	ctest --preset release -j $(JOBS)

# clang warns where GCC does not: the release tree built by clang, warnings
# as errors. Built only; the tests run in the GCC builds.
test-clang: setup
	cmake --preset clang-release
	cmake --build --preset clang-release -j $(JOBS)

test-sanitize: setup
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

# ThreadSanitizer: only the test programs labelled "threads" are built and run.
test-tsan: setup
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -L threads -j $(JOBS)

# Fuzz targets (clang): each replays its seeds, then fuzzes for 20 seconds.
test-fuzz: setup
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)

FUZZ_SECONDS ?= 300
fuzz: setup
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	QDV_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz -j $(JOBS) --timeout $$(( $(FUZZ_SECONDS) + 120 ))

# clang-format and include paths (scripts/check-format.sh --fix formats).
check-format: setup
	@scripts/check-format.sh

test: check-format test-release test-clang test-sanitize test-tsan test-fuzz

bench: build
	@for b in $$(find build/release -name '*_bench_*' -type f -executable | sort); do echo "== $$b"; $$b; done

SOAK_SECONDS ?= 600
soak: build
	QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen} build/release/APP/APP_soak $(SOAK_SECONDS)

clean:
	rm -rf build
