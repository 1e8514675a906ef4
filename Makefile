# The two commands of the README, and the steps they are made of.
JOBS ?= $(shell nproc)

.PHONY: all deps build build-asan test test-normal test-asan demo clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

# Every test, in a normal build and again in an AddressSanitizer + UBSan build.
test: test-normal test-asan

test-normal: build
	ctest --preset default -j $(JOBS)

test-asan: build-asan
	ctest --preset asan -j $(JOBS)

# The main job on this machine, with a throwaway data folder and registry.
demo: build
	tools/demo build/default

clean:
	rm -rf build
