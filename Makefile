# TAVRIview: two commands do everything on a fresh Debian 12 machine.
#   make demo   install packages, build, lay out the tree and start the viewer on the demo
#   make test   the same set-up, then every test
BUILD   ?= build
DIST    ?= $(CURDIR)/dist
PREFIX  ?= $(DIST)
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
TEST_ENV ?=
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# Each set-up stage shows one line; its whole output goes here.
LOG     ?= $(abspath $(BUILD))/setup.log
STAGE   := bash scripts/stage.sh $(LOG)

.PHONY: all deps configure build dist install demo package test bench test-sanitize test-tsan fuzz-build fuzz clean

all: build

deps:
	@$(STAGE) "Packages" bash scripts/install-deps.sh

configure: deps
	@$(STAGE) "Configure" cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRI_DIST_DIR=$(DIST) \
	  -DTAVRI_FUZZ_DIR=$(abspath $(FUZZ_BUILD)) $(CMAKE_FLAGS)

build: configure
	@$(STAGE) "Build" cmake --build $(BUILD) -j $(JOBS)

dist: build
	@$(STAGE) "Install" cmake --install $(BUILD) --prefix $(DIST)
	@$(STAGE) "Demo" bash scripts/make-demo.sh $(DIST) $(BUILD)

install: build
	@$(STAGE) "Install" cmake --install $(BUILD) --prefix $(PREFIX)
	@$(STAGE) "Demo" bash scripts/make-demo.sh $(PREFIX) $(BUILD)

demo: dist
	@bash scripts/run-demo.sh $(DIST)

# tavriview_<version>_amd64.deb in PACKAGE_DIR: the tree under /opt/tavriview with the demo.
PACKAGE_DIR ?= $(CURDIR)
package: build
	@$(STAGE) "Package" bash scripts/make-package.sh $(BUILD) $(PACKAGE_DIR)
	@ls $(PACKAGE_DIR)/tavriview_*_amd64.deb

# The tests include a short pass of every fuzz target; the benchmarks are built with them, so
# that they keep building, and run by make bench.
test: CMAKE_FLAGS += -DTAVRI_BUILD_BENCH=ON
test: dist fuzz-build
	@cd $(BUILD) && $(TEST_ENV) ctest -j $(JOBS) --output-on-failure --timeout 600

bench: deps
	@cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DTAVRI_BUILD_BENCH=ON -DTAVRI_BUILD_TESTS=OFF
	@cmake --build $(BUILD)-bench -j $(JOBS)
	@bash scripts/run-bench.sh $(BUILD)-bench

# Mesa unloads its software rasteriser before the leak check runs, so the few bytes it keeps
# for the life of the process show up as leaks with no name; kept loaded, they are reachable.
MESA_SWRAST := $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so))

test-sanitize: deps
	@$(MAKE) test BUILD=$(BUILD)-asan DIST=$(CURDIR)/dist-asan CMAKE_FLAGS="-DTAVRI_SANITIZE=ON" \
	  TEST_ENV="LD_PRELOAD=$(MESA_SWRAST) ASAN_OPTIONS=verify_asan_link_order=0 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/support/lsan.supp"

# tin's tests under ThreadSanitizer: its worker threads, and the programs they run, race-free.
test-tsan: deps
	@cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRI_SANITIZE_THREAD=ON \
	  -DTAVRI_TEST_TIMEOUT=1200
	@cmake --build $(BUILD)-tsan -j $(JOBS) --target tin tavri_tests_tin
	@cd $(BUILD)-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest -j $(JOBS) -L tin --output-on-failure

# The fuzz targets of tests/fuzz, built with clang, libFuzzer and the sanitizers; only the
# libraries they read with are built.
fuzz-build: deps
	@$(STAGE) "Configure the fuzz targets" cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTAVRI_FUZZ=ON -DTAVRI_BUILD_TESTS=OFF
	@$(STAGE) "Build the fuzz targets" cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)

fuzz: fuzz-build
	@bash scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD)-bench $(BUILD)-asan $(BUILD)-tsan $(FUZZ_BUILD) dist dist-asan
