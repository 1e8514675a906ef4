# The two commands of the README, and the steps they are made of.
JOBS ?= $(shell nproc)

.PHONY: all deps build build-asan test test-normal test-asan format-check fuzz demo package clean

all: build

deps:
	scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

build-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)

# Every test, in a normal build and again in an AddressSanitizer + UBSan build, after the format check.
test: format-check test-normal test-asan

# Every tracked C++ file as .clang-format writes it; `clang-format -i FILE` mends one.
format-check: deps
	git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

# A failure's output is shown again at the end, where a long log's reader looks first.
test-normal: build
	ctest --preset default -j $(JOBS) || { scripts/failed-test-output build/default; exit 1; }

test-asan: build-asan
	ctest --preset asan -j $(JOBS) || { scripts/failed-test-output build/asan; exit 1; }

# Every fuzz target of tests/fuzz, built with clang and libFuzzer, run for FUZZ_SECONDS each
# over a copy of its corpus; findings land in build/fuzz/fuzz-work/<target>/findings.
FUZZ_SECONDS ?= 600

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	scripts/run-fuzz build/fuzz/fuzz-targets.tsv $(FUZZ_SECONDS)

# The Debian package of the normal build, ovex-kelvo_<version>_<arch>.deb, put here.
package: build
	rm -f build/default/ovex-kelvo_*.deb
	cmake --build --preset default --target package
	cp build/default/ovex-kelvo_*.deb .

# The main job on this machine, with a throwaway data folder and registry.
demo: build
	tools/demo build/default

clean:
	rm -rf build
