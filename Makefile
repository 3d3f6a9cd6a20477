# SPDX-License-Identifier: GPL-3.0-or-later
# The two commands of the README:
#   make demo   runs the client against the bundled station simulator; it
#               installs and builds only what the demo runs (the client, the
#               simulator and the demo directory writer)
#   make test   runs every test: the normal build, the ASan+UBSan build and the fuzz smoke run
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_DEB  ?= build-deb
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
# WERROR=ON turns every compiler warning into an error (.ci/run sets it).
WERROR     ?= OFF
# make test fails when tests pass this share (percent) of all C++ code lines.
# The project's band is a quarter to a third; above 35 % the suite is
# growing faster than the code it checks.
TEST_SHARE_MAX ?= 35

.PHONY: all deps demo-deps demo-build build build-asan build-fuzz test test-main test-asan test-checks test-ratio fuzz demo \
        demo-test screenshot bench \
        package-deps package package-test clean

all: build

deps:
	@scripts/install-deps

# The demo's packages alone: what the three demo programs need to build and
# run (no test servers, checkers or packaging tools).
demo-deps:
	@scripts/install-deps demo

RELEASE_CONFIG := -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
# The demo's programs only: `make build` (and so `make test`) turns the tests
# and benchmarks on again in the same build folder.
DEMO_TARGETS := volnar volnar-station volnar-demo-db

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) $(RELEASE_CONFIG) -DVOLNAR_BUILD_TESTS=ON \
	  -DVOLNAR_BUILD_BENCH=ON -DVOLNAR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo-build: demo-deps
	@cmake -S . -B $(BUILD) $(CMAKE_GEN) $(RELEASE_CONFIG) -DVOLNAR_BUILD_TESTS=OFF \
	  -DVOLNAR_BUILD_BENCH=OFF -DVOLNAR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)

build-asan: deps
	@cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DVOLNAR_SANITIZE=ON \
	  -DVOLNAR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD_ASAN) -j $(JOBS)

test-main: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	@cd $(BUILD_ASAN) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS) -LE bench

# Every libFuzzer target runs for FUZZ_SECONDS under ASan+UBSan (clang).
FUZZ_SECONDS ?= 60
build-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVOLNAR_FUZZ=ON -DVOLNAR_SANITIZE=ON -DVOLNAR_BUILD_TESTS=OFF -DVOLNAR_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzzers

fuzz: build-fuzz
	@set -e; passed=0; for f in $(BUILD_FUZZ)/fuzz/*/volnar-fuzz-*; do \
	  [ -f "$$f" ] && [ -x "$$f" ] || continue; echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  mkdir -p $(BUILD_FUZZ)/corpus/$$(basename $$f); \
	  log=$(BUILD_FUZZ)/$$(basename $$f).log; \
	  QT_QPA_PLATFORM=offscreen $$f -max_total_time=$(FUZZ_SECONDS) \
	    $(BUILD_FUZZ)/corpus/$$(basename $$f) >$$log 2>&1 || { cat $$log; exit 1; }; \
	  grep -E '^Done [0-9]+ runs' $$log || true; passed=$$((passed + 1)); \
	done; echo "fuzz: $$passed passed, 0 failed"

# Checks of the tree itself: formatting, the layer direction of includes and
# the share of test code.
test-checks: deps
	@scripts/check-format
	@scripts/check-layers
	@scripts/test-ratio --max $(TEST_SHARE_MAX)

test-ratio:
	@scripts/test-ratio

test: test-checks test-main test-asan fuzz

demo: demo-build
	@scripts/demo $(BUILD)

# A fresh Debian 12 (minbase chroot) runs make demo-build and the demo on the
# offscreen platform, and checks that no test server was installed; prints
# the time to the first answer. Needs root and the Debian mirror; outside
# make test.
demo-test:
	@scripts/demo-test

screenshot: build
	@scripts/screenshot $(BUILD)
	@scripts/screenshot-fleet $(BUILD)

bench: build
	@for b in $(BUILD)/bench/volnar-bench-*; do echo "== $$b"; $$b; done

# The Debian package (volnar_<version>_amd64.deb in $(BUILD_DEB)), checked by
# lintian, appstreamcli and desktop-file-validate; package-test installs it
# into a fresh Debian 12 chroot and runs it there (needs root and network to
# the Debian mirror; outside make test).
package-deps:
	@scripts/install-deps package

package: package-deps
	@scripts/package $(BUILD_DEB) $(JOBS)

package-test: package
	@scripts/package-test $(BUILD_DEB)

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_DEB)
