# make run   - install what is missing, build, start the camera application
#              on the simulated camera
# make test  - install what is missing, build, run every test (release and
#              sanitizer builds)
# make bench - build and run the benchmarks
JOBS ?= $(shell nproc)

.PHONY: setup build run test test-release test-sanitize bench clean

setup:
	@scripts/setup.sh

build: setup
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

run: build
	@scripts/run.sh build/release

test-release: build
	ctest --preset release -j $(JOBS)

test-sanitize: setup
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

test: test-release test-sanitize

bench: build
	@for b in $$(find build/release -name '*_bench_*' -type f -executable | sort); do echo "== $$b"; $$b; done

clean:
	rm -rf build
