# Front door: every target installs what its purpose needs (and only that),
# configures and builds first. `make run` and `make demo` build the programs
# alone; `make test` adds the tests, `make bench` the benchmarks.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
WERROR ?= OFF
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# What scripts/install-deps.sh installs, and which parts are built; targets
# that need more set these for themselves and what they build on.
PURPOSES = build
TESTS = OFF
BENCH = OFF

TAVRO := $(BUILD_DIR)/app/cli/tavro
SAMPLES := $(BUILD_DIR)/samples

.PHONY: all deps configure build test demo bench sanitize-test fuzz format-check clean

all: build

deps:
	@bash scripts/install-deps.sh $(PURPOSES)

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTAVRO_WERROR=$(WERROR) \
	  -DTAVRO_BUILD_TESTS=$(TESTS) -DTAVRO_BUILD_BENCH=$(BENCH) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: PURPOSES = build test
test: TESTS = ON
test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Converts the generated sample pair into a copy of the target, printing the report.
demo: build
	mkdir -p $(BUILD_DIR)/demo
	cp $(SAMPLES)/tavro2.state $(BUILD_DIR)/demo/converted.state
	$(TAVRO) convert $(SAMPLES)/tavro1.state $(BUILD_DIR)/demo/converted.state

bench: PURPOSES = build bench
bench: BENCH = ON
bench: build
	bash bench/run.sh $(BUILD_DIR)

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: PURPOSES = build test
sanitize-test: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRO_SANITIZE=ON -DTAVRO_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# Each libFuzzer harness for FUZZ_SECONDS, from the seed corpus in fuzz/corpus.
FUZZ_SECONDS ?= 60
fuzz: PURPOSES = build fuzz
fuzz: deps
	CC=clang-19 CXX=clang++-19 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTAVRO_FUZZ=ON -DTAVRO_BUILD_GUI=OFF -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

# Whether every C++ file is laid out as .clang-format says (formats nothing).
format-check: PURPOSES = format
format-check: deps
	bash scripts/check-format.sh

clean:
	rm -rf $(BUILD_DIR) build-asan build-fuzz

-include mk/*.mk
