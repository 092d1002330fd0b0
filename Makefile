# Front door: every target installs what is missing, configures and builds first.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
WERROR ?= OFF
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

TAVRO := $(BUILD_DIR)/app/cli/tavro
SAMPLES := $(BUILD_DIR)/samples

.PHONY: all deps configure build test demo bench sanitize-test fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTAVRO_WERROR=$(WERROR) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# Converts the generated sample pair into a copy of the target, printing the report.
demo: build
	mkdir -p $(BUILD_DIR)/demo
	cp $(SAMPLES)/tavro2.state $(BUILD_DIR)/demo/converted.state
	$(TAVRO) convert $(SAMPLES)/tavro1.state $(BUILD_DIR)/demo/converted.state

bench: build
	bash bench/run.sh $(BUILD_DIR)

# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize-test: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVRO_SANITIZE=ON -DTAVRO_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# Each libFuzzer harness for FUZZ_SECONDS, from the seed corpus in fuzz/corpus.
FUZZ_SECONDS ?= 60
fuzz: deps
	CC=clang-19 CXX=clang++-19 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTAVRO_FUZZ=ON -DTAVRO_BUILD_GUI=OFF -DTAVRO_BUILD_TESTS=OFF -DTAVRO_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) build-asan build-fuzz

-include mk/*.mk
