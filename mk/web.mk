# The web page: the engine compiled to WebAssembly (web/), built in
# build-web/ with its own CMake project.
#   make web        build-web/site/ and the single file build-web/tavro-conversor.html
#   make web-serve  serves build-web/site/ on http://127.0.0.1:$(WEB_PORT)/
#   make web-test   the engine's tests that touch no file, in WebAssembly under
#                   Node's WASI (CTest); the C interface against the native tavro
#                   (node --test); the page in Chromium, Firefox ESR and WebKitGTK
#                   (WEB_ENGINES="chromium firefox webkit" by default)
#   make web-bench  sizes and timings in each engine, printed
#   make web-screenshots  the page's pictures in docs/ (web-*.png)
WEB_DIR ?= build-web
WEB_PORT ?= 8000
WEB_TESTS := tests/web
WEB_ENV = TAVRO=$(abspath $(BUILD_DIR))/app/cli/tavro SAMPLES=$(abspath $(BUILD_DIR))/samples \
  SITE=$(abspath $(WEB_DIR))/site SINGLE=$(abspath $(WEB_DIR))/tavro-conversor.html

.PHONY: web web-deps web-test-deps web-serve web-native web-test web-bench web-screenshots

web-deps: PURPOSES = build web
web-deps: deps

web: web-deps
	cmake -S web -B $(WEB_DIR) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/wasm32-wasi.cmake) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WEB_DIR) -j $(JOBS)

web-serve: web
	python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory $(WEB_DIR)/site

# Only the native program and the samples, in the build folder as it was
# configured (or a new one).
web-native: web-deps
	test -f $(BUILD_DIR)/build.ninja || $(MAKE) configure
	cmake --build $(BUILD_DIR) --target tavro tavro_samples -j $(JOBS)

$(WEB_TESTS)/node_modules/.package-lock.json: $(WEB_TESTS)/package-lock.json
	cd $(WEB_TESTS) && npm ci --no-audit --no-fund

# GoogleTest's sources come with the test purpose's libgtest-dev.
web-test-deps: PURPOSES = build test web
web-test-deps: deps

web-test: web-test-deps web web-native $(WEB_TESTS)/node_modules/.package-lock.json
	cmake -S web -B $(WEB_DIR) -DTAVRO_WEB_ENGINE_TESTS=ON \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=node;--no-warnings;$(abspath $(WEB_TESTS))/wasi_run.mjs"
	cmake --build $(WEB_DIR) --target tavro_engine_wasm_tests -j $(JOBS)
	ctest --test-dir $(WEB_DIR) --output-on-failure -j $(JOBS)
	$(WEB_ENV) node --test $(WEB_TESTS)/interface.test.mjs $(WEB_TESTS)/page.test.mjs $(WEB_TESTS)/engines.test.mjs

# The benchmark of the C interface built for wasm32-wasi and for this machine.
web-bench: web web-native $(WEB_TESTS)/node_modules/.package-lock.json
	cmake --build $(WEB_DIR) --target tavro_web_bench
	cmake -S web -B $(WEB_DIR)-native -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WEB_DIR)-native --target tavro_web_bench
	$(WEB_ENV) BENCH_WASM=$(abspath $(WEB_DIR))/tavro_web_bench.wasm \
	  BENCH_NATIVE=$(abspath $(WEB_DIR))-native/tavro_web_bench node $(WEB_TESTS)/bench.mjs

web-screenshots: web web-native $(WEB_TESTS)/node_modules/.package-lock.json
	$(WEB_ENV) OUT=$(abspath docs) node $(WEB_TESTS)/screenshots.mjs
