# Front door: every target installs what is missing, configures and builds first.
BUILD_DIR ?= build
BUILD_TYPE ?= Release
WERROR ?= OFF
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

TAVRO := $(BUILD_DIR)/app/cli/tavro
SAMPLES := $(BUILD_DIR)/samples

.PHONY: all deps configure build test demo bench clean

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

clean:
	rm -rf $(BUILD_DIR)

-include mk/*.mk
